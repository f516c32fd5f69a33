// SPDX-License-Identifier: GPL-3.0-or-later
// What a bitmap does on every backend: it loads its resource when made and lets it go when
// destroyed; white is the colour transparent drawing leaves out.
#include "gui/cbitmap.h"

namespace gui {

CBitmap::CBitmap(int32_t id)
{
    loadFromResource(id);
    transparentColor = kTransparentWhiteCColor;
}

CBitmap::~CBitmap()
{
    dispose();
}

} // namespace gui
