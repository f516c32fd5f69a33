// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ctextview.h"

#include "gui/cbitmap.h"

#include <algorithm>

namespace gui {

namespace {

// One printable character per code point; continuation bytes belong to the character before.
std::string asciiOf(const std::string& utf8)
{
    std::string ascii;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) == 0x80)
            continue;
        ascii += byte >= CTextView::kFirstGlyph && byte <= CTextView::kLastGlyph ? c : '?';
    }
    return ascii;
}

} // namespace

CTextView::CTextView(const CRect& size, CBitmap* font, int32_t glyphWidth)
    : CView(size), font(font), glyphWidth(std::max(glyphWidth, int32_t{1}))
{
    if (font)
        font->remember();
    setMouseEnabled(false);
}

CTextView::~CTextView()
{
    if (font)
        font->forget();
}

void CTextView::setText(const std::string& utf8)
{
    if (utf8 == text)
        return;
    text = utf8;
    setDirty(true);
}

std::string CTextView::shownText() const
{
    std::string shown = asciiOf(text);
    const auto fitting = static_cast<size_t>(size.width() / glyphWidth);
    if (shown.size() <= fitting)
        return shown;
    static const std::string ellipsis = "...";
    if (fitting <= ellipsis.size())
        return ellipsis.substr(0, fitting);
    return shown.substr(0, fitting - ellipsis.size()) + ellipsis;
}

void CTextView::draw(CDrawContext* context)
{
    if (font) {
        const std::string shown = shownText();
        const int32_t glyphHeight = font->getHeight();
        CRect cell(0, 0, glyphWidth, glyphHeight);
        cell.moveTo(size.left + (size.width() - glyphWidth * static_cast<int32_t>(shown.size())) / 2,
                    size.top + (size.height() - glyphHeight) / 2);
        for (const char c : shown) {
            const int32_t glyph = static_cast<unsigned char>(c) - kFirstGlyph;
            font->draw(context, cell, CPoint(glyph * glyphWidth, 0));
            cell.offset(glyphWidth, 0);
        }
    }
    setDirty(false);
}

bool CTextView::isTypeOf(const char* name) const
{
    return sameTypeName(name, "CTextView") || CView::isTypeOf(name);
}

} // namespace gui
