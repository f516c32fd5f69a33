// SPDX-License-Identifier: GPL-3.0-or-later
// The cabinet selector and the name plate's line of text: the glyphs of the font strip where the
// text says, a long text cut within its rectangle, steps by click and wheel as single edits, and
// the host's value or the effect's status shown on the editor's thread only.
#include "effect/cabinet_choice.h"
#include "gui/cbitmap.h"
#include "gui/cframe.h"
#include "gui/cstepselector.h"
#include "gui/ctextview.h"
#include "gui/portable/portable_window.h"
#include "recording_host.h"
#include "scripted_input.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using namespace gui;
using editor_test::RecordingHost;
using editor_test::ScriptedInput;

namespace {

int dummyParent;
constexpr VstInt32 kCabinet = 7;
constexpr int32_t kGlyphWidth = 5;
constexpr uint32_t kMarker = 0x00FF00FF;

struct CabinetFixture : ::testing::Test {
    ScriptedInput input;
    RecordingHost host;
    QuarvineEditor& editor = host.editor();
    CFrame* frame = nullptr;
    const CRect selector = AmpPanel::cabinetSelectorRect();
    const CRect text = AmpPanel::cabinetTextRect();

    CabinetFixture()
    {
        editor.open(&dummyParent);
        frame = editor.getFrame();
        portable::paint(*frame, CRect(0, 0, 680, 120));
        host.calls.clear();
    }

    // The tests mark pixels to see which ones a redraw covers.
    portable::PixelSurface& window() { return const_cast<portable::PixelSurface&>(*portable::windowPixels(*frame)); }

    void click(int32_t x)
    {
        input.script(kLButton, {});
        portable::buttonDown(*frame, CPoint(x, selector.top + selector.height() / 2));
    }
    void expectOneEdit(float value) { editor_test::expectOneEdit(host, kCabinet, value); }
    std::string shown() { return editor.getCabinetText()->getText(); }

    // The window holds the font strip's glyph of each character of `expected`, side by side from x,
    // and the display's colour elsewhere in the text's rectangle.
    void expectGlyphs(const std::string& expected, int32_t x)
    {
        static CBitmap font(AmpPanel::kFontBitmapId);
        const auto& glyphs = *static_cast<const portable::PixelSurface*>(font.getPlatformBitmap());
        ASSERT_EQ(glyphs.width, 95 * kGlyphWidth);
        ASSERT_EQ(glyphs.height, text.height());
        const uint32_t display = glyphs.at(0, 0); // the space's cell
        int wrong = 0;
        for (int32_t row = 0; row < text.height(); ++row)
            for (int32_t column = text.left; column < text.right; ++column) {
                const int32_t cell = (column - x) / kGlyphWidth;
                const bool inText = column >= x && cell < static_cast<int32_t>(expected.size());
                const uint32_t want =
                    inText ? glyphs.at((expected[cell] - ' ') * kGlyphWidth + (column - x) % kGlyphWidth, row)
                           : display;
                wrong += window().at(column, text.top + row) != want;
            }
        EXPECT_EQ(wrong, 0) << "drawing \"" << expected << "\" from x = " << x;
    }
};

TEST_F(CabinetFixture, TheTextShowsTheFontsGlyphsCentredAndOnlyItsRectangleIsRedrawn)
{
    // Marks in the window: on the selector's arrows (outside the text) and inside the text.
    window().at(selector.left + 3, selector.top + 3) = kMarker;
    window().at(text.left, text.top) = kMarker;
    editor.getCabinetText()->setText("Off"); // the text it has: nothing to redraw
    editor.idle();
    EXPECT_EQ(window().at(text.left, text.top), kMarker);

    // A two-byte character is one '?'; 9 characters, 45 pixels, centred in 132.
    editor.getCabinetText()->setText("Caf\xC3\xA9 4x12");
    editor.idle();
    expectGlyphs("Caf? 4x12", text.left + (132 - 45) / 2);
    EXPECT_EQ(window().at(selector.left + 3, selector.top + 3), kMarker);
}

TEST_F(CabinetFixture, ALongTextEndsInDotsWithinItsRectangle)
{
    const std::string message = "no impulse response loaded: drop a file here";
    editor.getCabinetText()->setText(message);
    editor.idle();
    // 132 pixels hold 26 glyphs of 5: 23 characters and the dots, one pixel in from each side.
    EXPECT_EQ(editor.getCabinetText()->shownText(), "no impulse response loa...");
    expectGlyphs("no impulse response loa...", text.left + 1);
}

TEST_F(CabinetFixture, ArrowsAndTheDisplayStepInSingleEditsAndShowTheName)
{
    EXPECT_EQ(shown(), "Off");
    click(selector.right - 1); // the forward arrow's last pixel
    expectOneEdit(0.2f);
    EXPECT_EQ(shown(), quarvine::kCabinetNames[1]);
    click(selector.left); // back
    expectOneEdit(0.0f);
    click(selector.left + 11); // back at the first position: nothing
    EXPECT_TRUE(host.callsExcept(audioMasterIdle).empty());
    click(selector.left + 12); // the display's first pixel: forward
    expectOneEdit(0.2f);

    host.effect->setParameter(kCabinet, 1.0f);
    host.calls.clear();
    click(selector.right - 12); // the forward arrow at the last position: nothing
    EXPECT_TRUE(host.callsExcept(audioMasterIdle).empty());
    click(selector.right - 13); // the display's last pixel goes round to the first
    expectOneEdit(0.0f);
    EXPECT_EQ(shown(), "Off");
}

TEST_F(CabinetFixture, TheWheelStepsOnceANotchAndStopsAtTheEnds)
{
    const CPoint display(text.left + 10, text.top + 2);
    EXPECT_TRUE(portable::wheel(*frame, display, 120));
    expectOneEdit(0.2f);
    EXPECT_TRUE(portable::wheel(*frame, display, 3 * 120));
    expectOneEdit(0.4f);
    EXPECT_EQ(shown(), quarvine::kCabinetNames[2]);
    EXPECT_TRUE(portable::wheel(*frame, display, -120));
    expectOneEdit(0.2f);
    EXPECT_TRUE(portable::wheel(*frame, display, -120));
    expectOneEdit(0.0f);
    EXPECT_TRUE(portable::wheel(*frame, display, -120));
    EXPECT_TRUE(host.callsExcept(audioMasterIdle).empty());
}

TEST_F(CabinetFixture, TheHostsValueAndTheEffectsStatusShowOnTheEditorsThreadOnly)
{
    for (int position = 0; position < quarvine::kCabinetPositions - 1; ++position) {
        host.effect->setParameter(kCabinet, (position + 0.5f) / 6.0f); // between two stops
        EXPECT_EQ(shown(), quarvine::kCabinetNames[position]);
    }
    // At User, what the effect says of the response.
    host.effect->setParameter(kCabinet, 1.0f);
    EXPECT_EQ(shown(), host.effect->cabinets().status());
    editor.idle();

    const std::string refusal = "not a WAV, AIFF or FLAC file";
    std::thread loader([&] {
        host.effect->cabinets().refuse(refusal);
        host.effect->cabinetStatusChanged(); // the cabinet itself stays
    });
    loader.join();
    EXPECT_NE(shown(), refusal);
    editor.idle();
    EXPECT_EQ(shown(), refusal);
    expectGlyphs("not a WAV, AIFF or FLAC...", text.left + 1); // 28 characters in room for 26
    EXPECT_TRUE(host.callsExcept(audioMasterIdle).empty());
}

} // namespace
