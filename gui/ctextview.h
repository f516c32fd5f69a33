// SPDX-License-Identifier: GPL-3.0-or-later
// A line of text drawn from a bitmap font: a strip of fixed-width glyph cells for the printable
// ASCII characters from the space on, drawn opaque, so the strip's own background is the view's.
// The line is centred in the view; one too long for it is cut and ends in "...".
#pragma once

#include "gui/cview.h"

#include <string>

namespace gui {

class CTextView : public CView {
public:
    static constexpr unsigned char kFirstGlyph = ' ';
    static constexpr unsigned char kLastGlyph = '~';

    // The strip holds kLastGlyph - kFirstGlyph + 1 cells of glyphWidth, as high as the strip.
    CTextView(const CRect& size, CBitmap* font, int32_t glyphWidth);
    ~CTextView() override;

    // UTF-8; each character outside printable ASCII shows as '?'. Only a new text marks the view
    // dirty, so that the next update redraws this rectangle and nothing else.
    void setText(const std::string& utf8);
    const std::string& getText() const { return text; }
    // The characters drawn: the text as ASCII, cut to the view's width.
    std::string shownText() const;

    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* name) const override;

private:
    CBitmap* font;
    int32_t glyphWidth;
    std::string text;
};

} // namespace gui
