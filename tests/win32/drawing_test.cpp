// SPDX-License-Identifier: GPL-3.0-or-later
// GDI draw contexts and bitmaps: the pixel rules of lines, fills, offscreen buffers and the
// three ways of drawing a bitmap.
#include "gui_test_support.h"

#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "gui/coffscreencontext.h"
#include "gui/win32/win32_module.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace win32_test {

namespace {

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kWhite = 0xFFFFFF;

Picture pixelsOf(gui::COffscreenContext& context)
{
    return captureDc(static_cast<HDC>(context.getSystemContext()), context.getWidth(), context.getHeight());
}

// A bitmap whose left half is pure white and right half (10, 20, 30).
gui::CBitmap* makeHalfWhiteBitmap(int width, int height)
{
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT left{0, 0, width / 2, height};
    RECT right{width / 2, 0, width, height};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    HBRUSH colour = CreateSolidBrush(RGB(10, 20, 30));
    FillRect(memory, &left, white);
    FillRect(memory, &right, colour);
    DeleteObject(white);
    DeleteObject(colour);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    auto* result = new gui::CBitmap(0);
    result->setPlatformBitmap(bitmap, width, height);
    return result;
}

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(moduleInstanceSet);
        parent = makeWindow(nullptr, 50, 50, 100, 100);
        // The frame loads the blend entries and lends its window to offscreen buffers.
        frame = new gui::CFrame(gui::CRect(0, 0, 100, 100), parent, nullptr);
    }
    void TearDown() override
    {
        frame->forget();
        DestroyWindow(parent);
    }

    HWND parent = nullptr;
    gui::CFrame* frame = nullptr;
};

TEST_F(DrawingTest, FillLeavesTheLeftColumnAndTopRowAndOutlineCoversTheEdges)
{
    gui::COffscreenContext fill(frame, 20, 20, gui::kBlackCColor);
    fill.setFillColor(gui::CColor{255, 0, 0, 255});
    fill.fillRect(gui::CRect(0, 0, 10, 10));
    const Picture filled = pixelsOf(fill);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 1 && x <= 9 && y >= 1 && y <= 9;
            ASSERT_EQ(filled.at(x, y), inside ? kRed : 0u) << x << "," << y;
        }

    gui::COffscreenContext outline(frame, 20, 20, gui::kBlackCColor);
    outline.setFrameColor(gui::CColor{0, 0, 255, 255});
    outline.drawRect(gui::CRect(0, 0, 10, 10));
    const Picture drawn = pixelsOf(outline);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool edge = x <= 9 && y <= 9 && (x == 0 || x == 9 || y == 0 || y == 9);
            ASSERT_EQ(drawn.at(x, y), edge ? kBlue : 0u) << x << "," << y;
        }
}

TEST_F(DrawingTest, OffscreenBufferStartsEntirelyInItsBackgroundColour)
{
    // White is also the context's initial pen colour: the outline must still be drawn in it.
    for (const gui::CColor background : {gui::kWhiteCColor, gui::CColor{0, 128, 255, 255}}) {
        gui::COffscreenContext context(frame, 13, 7, background);
        const Picture picture = pixelsOf(context);
        const uint32_t expected = (uint32_t(background.red) << 16) | (background.green << 8) | background.blue;
        int wrong = 0;
        for (uint32_t pixel : picture.pixels)
            wrong += pixel != expected;
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(DrawingTest, OffsetMovesDrawingAndClipBoundsIt)
{
    gui::COffscreenContext context(frame, 30, 30, gui::kBlackCColor);
    context.offset = gui::CPoint(10, 5);
    context.setClipRect(gui::CRect(0, 0, 5, 5)); // device (10, 5) to (15, 10)
    context.setFillColor(gui::CColor{255, 0, 0, 255});
    context.fillRect(gui::CRect(-1, -1, 20, 20));
    gui::CRect clip;
    context.getClipRect(clip);
    EXPECT_EQ(clip, gui::CRect(0, 0, 5, 5));
    const Picture picture = pixelsOf(context);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 10 && x < 15 && y >= 5 && y < 10;
            ASSERT_EQ(picture.at(x, y), inside ? kRed : 0u) << x << "," << y;
        }
}

TEST_F(DrawingTest, RepeatedSettingsMakeNoPlatformCall)
{
    gui::CDrawContext* context = frame->createDrawContext();
    context->setFillColor(gui::CColor{1, 2, 3, 255});
    context->setFrameColor(gui::CColor{4, 5, 6, 255});
    context->setClipRect(gui::CRect(1, 1, 50, 50));
    const uint32_t changes = context->getPlatformChangeCount();
    context->setFillColor(gui::CColor{1, 2, 3, 255});
    context->setFrameColor(gui::CColor{4, 5, 6, 255});
    context->setLineWidth(1);
    context->setLineStyle(gui::kLineSolid);
    context->setClipRect(gui::CRect(1, 1, 50, 50));
    EXPECT_EQ(context->getPlatformChangeCount(), changes);
    // Alpha alone is a different colour.
    context->setFillColor(gui::CColor{1, 2, 3, 0});
    EXPECT_EQ(context->getPlatformChangeCount(), changes + 1);
    context->forget();
}

TEST_F(DrawingTest, ResourceBitmapsLoadWithTheirSizesAndMissingOnesStayEmpty)
{
    gui::CBitmap background(101);
    EXPECT_EQ(background.getWidth(), 680);
    EXPECT_EQ(background.getHeight(), 120);
    gui::CBitmap strip(102);
    EXPECT_EQ(strip.getWidth(), 50);
    EXPECT_EQ(strip.getHeight(), 12800);

    gui::CBitmap missing(4711);
    EXPECT_EQ(missing.getWidth(), 0);
    EXPECT_EQ(missing.getHeight(), 0);
    EXPECT_EQ(missing.getPlatformBitmap(), nullptr);
    gui::COffscreenContext context(frame, 10, 10, gui::kBlackCColor);
    missing.draw(&context, gui::CRect(0, 0, 10, 10));
    missing.drawTransparent(&context, gui::CRect(0, 0, 10, 10));
    missing.drawAlphaBlend(&context, gui::CRect(0, 0, 10, 10));
    for (uint32_t pixel : pixelsOf(context).pixels)
        ASSERT_EQ(pixel, 0u);
}

TEST_F(DrawingTest, BackgroundBitmapDrawsTheFilesPixels)
{
    const Picture file = readBmp(std::string(QUARVINE_SOURCE_DIR) + "/resources/background.bmp");
    ASSERT_EQ(file.width, 680);
    gui::CBitmap background(101);
    gui::COffscreenContext context(frame, 40, 30, gui::kBlackCColor);
    background.draw(&context, gui::CRect(0, 0, 40, 30), gui::CPoint(300, 60));
    const Picture picture = pixelsOf(context);
    int wrong = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            wrong += picture.at(x, y) != file.at(300 + x, 60 + y);
    EXPECT_EQ(wrong, 0);
}

TEST_F(DrawingTest, TransparentDrawingKeepsTheDestinationUnderWhiteOnBothPaths)
{
    gui::CBitmap* bitmap = makeHalfWhiteBitmap(8, 6);
    auto& state = gui::win32::moduleState();
    const auto platformEntry = state.transparentBlt;
    for (bool maskPath : {false, true}) {
        state.transparentBlt = maskPath ? nullptr : platformEntry;
        gui::COffscreenContext context(frame, 12, 10, gui::CColor{0, 0, 255, 255});
        context.offset = gui::CPoint(2, 2);
        bitmap->drawTransparent(&context, gui::CRect(0, 0, 8, 6));
        const Picture picture = pixelsOf(context);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool coloured = x >= 6 && x < 10 && y >= 2 && y < 8;
                ASSERT_EQ(picture.at(x, y), coloured ? 0x0A141Eu : kBlue)
                    << (maskPath ? "mask path " : "platform path ") << x << "," << y;
            }
    }
    state.transparentBlt = platformEntry;
    bitmap->forget();
}

TEST_F(DrawingTest, AlphaBlendMixesWithTheConstantAlpha)
{
    ASSERT_NE(gui::win32::moduleState().alphaBlend, nullptr);
    gui::CBitmap* bitmap = makeHalfWhiteBitmap(8, 6);
    gui::COffscreenContext context(frame, 8, 6, gui::CColor{0, 0, 255, 255});
    bitmap->drawAlphaBlend(&context, gui::CRect(0, 0, 8, 6), gui::CPoint(), 128);
    const Picture picture = pixelsOf(context);
    // Source over with a = 128/255: out = src * a + dst * (1 - a), per channel.
    const double a = 128.0 / 255.0;
    const auto mix = [a](double source, double destination) { return source * a + destination * (1 - a); };
    const uint32_t right = picture.at(6, 3);
    EXPECT_NEAR((right >> 16) & 0xFF, mix(10, 0), 1.5);
    EXPECT_NEAR((right >> 8) & 0xFF, mix(20, 0), 1.5);
    EXPECT_NEAR(right & 0xFF, mix(30, 255), 1.5);
    const uint32_t left = picture.at(1, 3);
    EXPECT_NEAR((left >> 16) & 0xFF, mix(255, 0), 1.5);
    EXPECT_NEAR(left & 0xFF, mix(255, 255), 1.5);
    bitmap->forget();
}

TEST_F(DrawingTest, WindowContextTakesTheWindowsDeviceAndItsScreenOffset)
{
    HWND window = static_cast<HWND>(frame->getSystemWindow());
    gui::CDrawContext* context = frame->createDrawContext();
    EXPECT_NE(context->getSystemContext(), nullptr);
    EXPECT_EQ(WindowFromDC(static_cast<HDC>(context->getSystemContext())), window);
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(context->offsetScreen, gui::CPoint(rect.left, rect.top));
    gui::CRect clip;
    EXPECT_EQ(context->getClipRect(clip), gui::CRect(0, 0, 100, 100));
    context->forget();
}

} // namespace

} // namespace win32_test
