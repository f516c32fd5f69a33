// SPDX-License-Identifier: GPL-3.0-or-later
// A picture from the module's resources, drawn opaque, with a transparent colour, or blended.
#pragma once

#include "gui/cgeometry.h"
#include "gui/creferencecounter.h"

#include <cstdint>

namespace gui {

class CDrawContext;

class CBitmap : public CReferenceCounter {
public:
    explicit CBitmap(int32_t resourceId);
    ~CBitmap() override;

    virtual void draw(CDrawContext* context, const CRect& rect, const CPoint& source = CPoint());
    virtual void drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& source = CPoint());
    virtual void drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& source = CPoint(),
                                uint8_t alpha = 128);
    virtual void dispose();
    virtual bool loadFromResource(int32_t resourceId);
    virtual bool loadFromPath(const void* path);

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    int32_t getResourceId() const { return resourceId; }
    void setTransparentColor(const CColor& color) { transparentColor = color; }
    CColor getTransparentColor() const { return transparentColor; }
    void* getPlatformBitmap() const { return platformBitmap; }
    // Takes ownership of a platform picture of the given size (replacing the current one).
    void setPlatformBitmap(void* bitmap, int32_t newWidth, int32_t newHeight);

private:
    int32_t resourceId = 0;
    int32_t width = 0;
    int32_t height = 0;
    CColor transparentColor = kTransparentWhiteCColor;
    void* platformBitmap = nullptr;
    void* maskBitmap = nullptr;
};

} // namespace gui
