// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/cview.h"

#include "gui/cviewcontainer.h"
#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/platform.h"

#include <cstring>

namespace gui {

const char* const kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";

bool sameTypeName(const char* a, const char* b)
{
    return a && b && std::strcmp(a, b) == 0;
}

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::~CView()
{
    if (background)
        background->forget();
}

void CView::draw(CDrawContext* context)
{
    if (background) {
        if (bTransparencyEnabled)
            background->drawTransparent(context, size, CPoint());
        else
            background->draw(context, size, CPoint());
    }
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect& /*updateRect*/)
{
    draw(context);
}

bool CView::checkUpdate(const CRect& r) const
{
    return r.right >= size.left && r.left <= size.right && r.bottom >= size.top && r.top <= size.bottom;
}

void CView::mouse(CDrawContext*, CPoint&, int32_t) {}

void CView::setBackground(CBitmap* bitmap)
{
    if (bitmap)
        bitmap->remember();
    if (background)
        background->forget();
    background = bitmap;
    setDirty(true);
}

int32_t CView::onKeyDown(VstKeyCode&) { return -1; }
int32_t CView::onKeyUp(VstKeyCode&) { return -1; }

bool CView::onWheel(CDrawContext* context, const CPoint& where, int32_t /*axis*/, float distance)
{
    return onWheel(context, where, distance);
}

bool CView::onWheel(CDrawContext*, const CPoint&, float) { return false; }
bool CView::onDrop(CDrawContext*, CDragContainer*, const CPoint&) { return false; }
void CView::onDragEnter(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::onDragLeave(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::onDragMove(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::looseFocus(CDrawContext*) {}
void CView::takeFocus(CDrawContext*) {}

CRect& CView::getMouseableArea(CRect& rect) const
{
    rect = mouseableArea;
    return rect;
}

bool CView::hitTest(const CPoint& where, int32_t)
{
    return mouseableArea.pointInside(where);
}

void CView::setViewSize(const CRect& rect)
{
    size = rect;
    setDirty(true);
}

CRect& CView::getViewSize(CRect& rect) const
{
    rect = size;
    return rect;
}

bool CView::removed(CView*) { return true; }
bool CView::attached(CView*) { return true; }

bool CView::parentIsContainer() const
{
    return parentView && parentView->notify(const_cast<CView*>(this), kMsgCheckIfViewContainer) == 1;
}

void CView::getMouseLocation(CDrawContext* context, CPoint& point)
{
    if (!context)
        return;
    if (!parentIsContainer()) {
        point = platform::cursorScreenPosition();
        point.offset(-context->offsetScreen.h, -context->offsetScreen.v);
        return;
    }
    const CPoint corner = parentView->getSizeRect().topLeft();
    const CPoint savedScreen = context->offsetScreen;
    const CPoint savedOffset = context->offset;
    context->offsetScreen.offset(corner.h, corner.v);
    context->offset.offset(corner.h, corner.v);
    parentView->getMouseLocation(context, point);
    context->offsetScreen = savedScreen;
    context->offset = savedOffset;
}

CPoint& CView::frameToLocal(CPoint& point) const
{
    if (parentView && parentView->isTypeOf("CViewContainer"))
        return parentView->frameToLocal(point);
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const
{
    if (parentView && parentView->isTypeOf("CViewContainer"))
        return parentView->localToFrame(point);
    return point;
}

void* CView::getEditor() const
{
    return parentFrame ? parentFrame->getGUIEditor() : nullptr;
}

long CView::notify(CView*, const char*) { return 0; }

void CView::redrawRect(CDrawContext* context, const CRect& rect)
{
    if (parentView)
        parentView->redrawRect(context, rect);
    else if (parentFrame)
        parentFrame->drawRect(context, rect);
}

bool CView::isTypeOf(const char* name) const
{
    return sameTypeName(name, "CView");
}

void CView::update(CDrawContext* context)
{
    if (isDirty()) {
        if (context)
            redrawRect(context, size);
        else if (parentFrame)
            parentFrame->redrawView(this);
    }
    setDirty(false);
}

} // namespace gui
