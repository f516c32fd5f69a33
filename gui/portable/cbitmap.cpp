// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/cbitmap.h"

#include "gui/cdrawcontext.h"
#include "gui/portable/bmp_decoder.h"
#include "gui/portable/raster.h"
#include "resources/embedded_resources.h"

namespace gui {

namespace {

portable::PixelSurface* pixelsOf(void* bitmap)
{
    return static_cast<portable::PixelSurface*>(bitmap);
}

void blit(void* bitmap, CDrawContext* context, const CRect& rect, const CPoint& source,
          portable::BlitMode mode, uint32_t transparent, uint8_t alpha)
{
    auto* target = static_cast<portable::PixelSurface*>(context ? context->getSystemContext() : nullptr);
    if (!bitmap || !target)
        return;
    CRect clip;
    context->getClipRect(clip);
    portable::BlitRequest request;
    request.destination = CRect(rect).offset(context->offset.h, context->offset.v);
    request.source = source;
    request.clip = clip.offset(context->offset.h, context->offset.v);
    request.mode = mode;
    request.transparentColor = transparent;
    request.alpha = alpha;
    portable::blitPixels(*pixelsOf(bitmap), *target, request);
}

} // namespace

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& source)
{
    blit(platformBitmap, context, rect, source, portable::BlitMode::opaque, 0, 255);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& source)
{
    blit(platformBitmap, context, rect, source, portable::BlitMode::transparent,
         portable::packColor(transparentColor), 255);
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& source, uint8_t alpha)
{
    blit(platformBitmap, context, rect, source, portable::BlitMode::alpha, 0, alpha);
}

void CBitmap::dispose()
{
    delete pixelsOf(platformBitmap);
    platformBitmap = nullptr;
    maskBitmap = nullptr;
    width = 0;
    height = 0;
}

bool CBitmap::loadFromResource(int32_t id)
{
    dispose();
    resourceId = id;
    const auto resource = quarvine::resources::findBitmap(id);
    auto pixels = portable::decodeBmp(resource.data(), resource.size());
    if (!pixels)
        return false;
    const int32_t w = pixels->width;
    const int32_t h = pixels->height;
    setPlatformBitmap(pixels.release(), w, h);
    return true;
}

bool CBitmap::loadFromPath(const void*)
{
    dispose();
    return false;
}

void CBitmap::setPlatformBitmap(void* bitmap, int32_t newWidth, int32_t newHeight)
{
    if (bitmap != platformBitmap)
        delete pixelsOf(platformBitmap);
    platformBitmap = bitmap;
    width = bitmap ? newWidth : 0;
    height = bitmap ? newHeight : 0;
}

} // namespace gui
