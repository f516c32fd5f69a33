// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/coffscreencontext.h"
#include "gui/portable/pixel_surface.h"
#include "probe_view.h"
#include "resources/embedded_resources.h"

#include <gtest/gtest.h>

using namespace gui;
using editor_test::makeSolidBitmap;

namespace {

constexpr CColor kGreen{0, 255, 0, 255};

struct Canvas : ::testing::Test {
    portable::PixelSurface surface{20, 20, 0x123456};
    CDrawContext* context = new CDrawContext(nullptr, &surface);
    ~Canvas() override { context->forget(); }

    int countPixels(uint32_t color) const
    {
        int n = 0;
        for (uint32_t p : surface.pixels)
            n += p == color;
        return n;
    }
};

TEST_F(Canvas, FillRectLeavesTheLeftColumnAndTopRow)
{
    context->setFillColor(kGreen);
    context->fillRect(CRect(0, 0, 10, 10));
    EXPECT_EQ(countPixels(0x00ff00), 81);
    EXPECT_EQ(surface.at(1, 1), 0x00ff00u);
    EXPECT_EQ(surface.at(9, 9), 0x00ff00u);
    EXPECT_EQ(surface.at(0, 5), 0x123456u);
    EXPECT_EQ(surface.at(5, 0), 0x123456u);
    EXPECT_EQ(surface.at(10, 10), 0x123456u);
}

TEST_F(Canvas, DrawRectOutlinesToRightAndBottomMinusOne)
{
    context->setFrameColor(kGreen);
    context->drawRect(CRect(0, 0, 10, 10));
    // The outline of a 10 x 10 square has 36 pixels.
    EXPECT_EQ(countPixels(0x00ff00), 36);
    EXPECT_EQ(surface.at(0, 0), 0x00ff00u);
    EXPECT_EQ(surface.at(9, 9), 0x00ff00u);
    EXPECT_EQ(surface.at(9, 0), 0x00ff00u);
    EXPECT_EQ(surface.at(0, 9), 0x00ff00u);
    EXPECT_EQ(surface.at(5, 5), 0x123456u);
    EXPECT_EQ(surface.at(10, 10), 0x123456u);
}

TEST_F(Canvas, ClipRectIsReadAndWrittenInTheContextsOwnCoordinates)
{
    context->offset = CPoint(5, 3);
    context->setClipRect(CRect(0, 0, 4, 4));
    CRect clip;
    EXPECT_EQ(context->getClipRect(clip), CRect(0, 0, 4, 4));
    context->offset = CPoint(0, 0);
    EXPECT_EQ(context->getClipRect(clip), CRect(5, 3, 9, 7));

    context->setFillColor(kGreen);
    context->fillRect(CRect(0, 0, 20, 20));
    EXPECT_EQ(countPixels(0x00ff00), 16);
    EXPECT_EQ(surface.at(5, 3), 0x00ff00u);
    EXPECT_EQ(surface.at(9, 7), 0x123456u);
}

TEST_F(Canvas, UnchangedColoursAndClipsCostNoPlatformCall)
{
    context->setFillColor(kGreen);
    context->setFrameColor(kGreen);
    context->setClipRect(CRect(1, 1, 5, 5));
    const uint32_t before = context->getPlatformChangeCount();
    context->setFillColor(kGreen);
    context->setFrameColor(kGreen);
    context->setClipRect(CRect(1, 1, 5, 5));
    context->setLineWidth(1);
    context->setLineStyle(kLineSolid);
    EXPECT_EQ(context->getPlatformChangeCount(), before);
    context->setFillColor(CColor{0, 255, 0, 0}); // alpha counts too
    EXPECT_EQ(context->getPlatformChangeCount(), before + 1);
}

TEST_F(Canvas, BitmapBlitsOpaqueTransparentAndBlended)
{
    auto* bitmap = makeSolidBitmap(4, 1, 0xffffff);
    auto* pixels = static_cast<portable::PixelSurface*>(bitmap->getPlatformBitmap());
    pixels->at(1, 0) = 0x102030;
    pixels->at(2, 0) = 0xfffffe;

    bitmap->drawTransparent(context, CRect(0, 0, 4, 1));
    EXPECT_EQ(surface.at(0, 0), 0x123456u); // pure white is the transparent colour
    EXPECT_EQ(surface.at(1, 0), 0x102030u);
    EXPECT_EQ(surface.at(2, 0), 0xfffffeu);

    bitmap->draw(context, CRect(0, 1, 4, 2));
    EXPECT_EQ(surface.at(0, 1), 0xffffffu);

    // Constant alpha 255 replaces, 0 keeps; 51 of 255 moves a fifth of the way.
    bitmap->drawAlphaBlend(context, CRect(0, 2, 1, 3), CPoint(), 255);
    EXPECT_EQ(surface.at(0, 2), 0xffffffu);
    bitmap->drawAlphaBlend(context, CRect(0, 3, 1, 4), CPoint(), 0);
    EXPECT_EQ(surface.at(0, 3), 0x123456u);
    bitmap->drawAlphaBlend(context, CRect(0, 4, 1, 5), CPoint(), 51);
    const uint32_t expected = portable::packRgb(0x12 + (255 - 0x12) / 5, 0x34 + (255 - 0x34) / 5,
                                                0x56 + (255 - 0x56) / 5);
    EXPECT_NEAR(double(surface.at(0, 4) >> 16), double(expected >> 16), 1.0);
    EXPECT_NEAR(double(surface.at(0, 4) & 0xff), double(expected & 0xff), 1.0);
    bitmap->forget();
}

TEST_F(Canvas, MissingResourceGivesAnEmptyBitmapThatDrawsNothing)
{
    CBitmap bitmap(4711);
    EXPECT_EQ(bitmap.getWidth(), 0);
    EXPECT_EQ(bitmap.getHeight(), 0);
    bitmap.draw(context, CRect(0, 0, 20, 20));
    EXPECT_EQ(countPixels(0x123456), 400);
}

TEST(OffscreenContextTest, StartsFilledWithItsBackgroundColour)
{
    COffscreenContext offscreen(nullptr, 7, 5, kGreen);
    const auto* pixels = static_cast<const portable::PixelSurface*>(offscreen.getSystemContext());
    for (uint32_t p : pixels->pixels)
        ASSERT_EQ(p, 0x00ff00u);
}

TEST(EmbeddedBitmapTest, PanelAndFilmStripHaveTheirSizesAndFormats)
{
    CBitmap panel(101);
    EXPECT_EQ(panel.getWidth(), 680);
    EXPECT_EQ(panel.getHeight(), 120);
    CBitmap strip(102);
    EXPECT_EQ(strip.getWidth(), 50);
    EXPECT_EQ(strip.getHeight(), 12800);
    // Bits per pixel sit at byte 28 of the file.
    EXPECT_EQ(quarvine::resources::findBitmap(101)[28], 24);
    EXPECT_EQ(quarvine::resources::findBitmap(102)[28], 8);
}

} // namespace
