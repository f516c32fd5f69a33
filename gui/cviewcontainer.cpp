// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/cviewcontainer.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/coffscreencontext.h"

#include <algorithm>

namespace gui {

namespace {

struct SavedOffsets {
    CDrawContext* context;
    CPoint offset;
    CPoint offsetScreen;

    SavedOffsets(CDrawContext* context, const CPoint& shift) : context(context)
    {
        if (!context)
            return;
        offset = context->offset;
        offsetScreen = context->offsetScreen;
        context->offset.offset(shift.h, shift.v);
        context->offsetScreen.offset(shift.h, shift.v);
    }
    ~SavedOffsets()
    {
        if (!context)
            return;
        context->offset = offset;
        context->offsetScreen = offsetScreen;
    }
    SavedOffsets(const SavedOffsets&) = delete;
    SavedOffsets& operator=(const SavedOffsets&) = delete;
};

} // namespace

CViewContainer::CViewContainer(const CRect& size, CFrame* frame, CBitmap* backgroundBitmap) : CView(size)
{
    parentFrame = frame;
    if (backgroundBitmap)
        setBackground(backgroundBitmap);
    setDirty(true);
}

CViewContainer::~CViewContainer()
{
    removeAll(true);
    releaseOffscreen();
}

bool CViewContainer::isFrame() const
{
    return rootOfTree;
}

void CViewContainer::makeOffscreen()
{
    if (!offscreen && bDrawInOffscreen)
        offscreen = new COffscreenContext(parentFrame, size.width(), size.height(), kBlackCColor);
}

void CViewContainer::releaseOffscreen()
{
    if (offscreen)
        offscreen->forget();
    offscreen = nullptr;
}

CDrawContext* CViewContainer::beginTarget(CDrawContext* context, CPoint& savedOffset, CPoint& savedScreen)
{
    makeOffscreen();
    if (bDrawInOffscreen)
        return offscreen;
    savedOffset = context->offset;
    savedScreen = context->offsetScreen;
    context->offset.offset(size.left, size.top);
    context->offsetScreen.offset(size.left, size.top);
    return context;
}

void CViewContainer::endTarget(CDrawContext* context, const CPoint& savedOffset, const CPoint& savedScreen)
{
    if (!bDrawInOffscreen) {
        context->offset = savedOffset;
        context->offsetScreen = savedScreen;
    }
}

CRect CViewContainer::clipOfContext(CDrawContext* context) const
{
    CRect clip;
    context->getClipRect(clip);
    if (bDrawInOffscreen && !isFrame())
        clip.offset(-clip.left, -clip.top);
    return clip;
}

void CViewContainer::draw(CDrawContext* context)
{
    if (!context)
        return;
    CPoint savedOffset, savedScreen;
    CDrawContext* target = beginTarget(context, savedOffset, savedScreen);
    const CRect r(0, 0, size.width(), size.height());
    CRect savedClip;
    context->getClipRect(savedClip);
    const CRect oldClip = clipOfContext(context);

    target->setClipRect(CRect(r).bound(oldClip));
    if (background) {
        if (bTransparencyEnabled)
            background->drawTransparent(target, r, backgroundOffset);
        else
            background->draw(target, r, backgroundOffset);
    } else if (!bTransparencyEnabled) {
        target->setFillColor(backgroundColor);
        target->fillRect(r);
    }
    for (size_t i = 0; i < children.size(); ++i) {
        CView* child = children[i];
        target->setClipRect(CRect(child->getSizeRect()).bound(oldClip));
        child->draw(target);
    }
    target->setClipRect(savedClip);

    if (bDrawInOffscreen)
        offscreen->copyTo(context,
                          CRect(size.left, size.top, size.left + size.width(), size.top + size.height())
                              .offset(context->offset.h, context->offset.v),
                          CPoint(0, 0));
    else
        endTarget(context, savedOffset, savedScreen);
    setDirty(false);
}

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect)
{
    if (!context)
        return;
    CPoint savedOffset, savedScreen;
    CDrawContext* target = beginTarget(context, savedOffset, savedScreen);
    const CRect bounded = CRect(updateRect).bound(size);
    const CRect local = CRect(bounded).offset(-size.left, -size.top);
    CRect savedClip;
    context->getClipRect(savedClip);
    const CRect oldClip = clipOfContext(context);
    const CRect newClip = CRect(local).bound(oldClip);
    target->setClipRect(newClip);

    drawBackgroundRect(target, local);
    for (size_t i = 0; i < children.size(); ++i) {
        CView* child = children[i];
        if (!child->checkUpdate(local))
            continue;
        const CRect viewClip = CRect(child->getSizeRect()).bound(newClip);
        if (viewClip.width() == 0 || viewClip.height() == 0)
            continue;
        target->setClipRect(viewClip);
        const bool wasDirty = child->isDirty();
        child->drawRect(target, local);
        // A child drawn only in part must be drawn whole on a later pass.
        if (wasDirty && viewClip != child->getSizeRect() && !isTypeOf("CScrollContainer"))
            child->setDirty(true);
    }
    target->setClipRect(savedClip);

    if (bDrawInOffscreen)
        offscreen->copyTo(context,
                          CRect(bounded.left, bounded.top, bounded.right, bounded.bottom)
                              .offset(context->offset.h, context->offset.v),
                          local.topLeft());
    else
        endTarget(context, savedOffset, savedScreen);
    setDirty(false);
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& rect)
{
    if (background) {
        CRect saved;
        context->getClipRect(saved);
        context->setClipRect(CRect(rect).bound(saved));
        const CRect whole(0, 0, background->getWidth(), background->getHeight());
        if (bTransparencyEnabled)
            background->drawTransparent(context, whole, backgroundOffset);
        else
            background->draw(context, whole, backgroundOffset);
        context->setClipRect(saved);
    } else if (!bTransparencyEnabled) {
        context->setFillColor(backgroundColor);
        context->fillRect(rect);
    }
}

void CViewContainer::mouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    CPoint local = where;
    local.offset(-size.left, -size.top);
    if (buttons == -1 && context)
        buttons = context->getMouseButtons();
    for (size_t i = children.size(); i-- > 0;) {
        CView* child = children[i];
        if (child && child->getMouseEnabled() && child->hitTest(local, buttons)) {
            child->mouse(context, local, buttons);
            return;
        }
    }
}

int32_t CViewContainer::onKeyDown(VstKeyCode& keyCode)
{
    for (size_t i = children.size(); i-- > 0;) {
        const int32_t result = children[i]->onKeyDown(keyCode);
        if (result != -1)
            return result;
    }
    return -1;
}

int32_t CViewContainer::onKeyUp(VstKeyCode& keyCode)
{
    for (size_t i = children.size(); i-- > 0;) {
        const int32_t result = children[i]->onKeyUp(keyCode);
        if (result != -1)
            return result;
    }
    return -1;
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, int32_t axis, float distance)
{
    CView* child = getViewAt(where, false);
    if (!child)
        return false;
    CPoint local = where;
    local.offset(-size.left, -size.top);
    SavedOffsets moved(context, size.topLeft());
    return child->onWheel(context, local, axis, distance);
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    return onWheel(context, where, 1, distance);
}

bool CViewContainer::onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return false;
    SavedOffsets moved(context, size.topLeft());
    CPoint local = where;
    local.offset(-size.left, -size.top);
    CView* view = getViewAt(where);
    if (view != currentDragView) {
        if (currentDragView)
            currentDragView->onDragLeave(context, drag, local);
        currentDragView = view;
    }
    bool result = false;
    if (currentDragView) {
        result = currentDragView->onDrop(context, drag, local);
        currentDragView->onDragLeave(context, drag, local);
    }
    currentDragView = nullptr;
    return result;
}

void CViewContainer::onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return;
    SavedOffsets moved(context, size.topLeft());
    CPoint local = where;
    local.offset(-size.left, -size.top);
    if (currentDragView)
        currentDragView->onDragLeave(context, drag, local);
    currentDragView = getViewAt(where);
    if (currentDragView)
        currentDragView->onDragEnter(context, drag, local);
}

void CViewContainer::onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return;
    SavedOffsets moved(context, size.topLeft());
    CPoint local = where;
    local.offset(-size.left, -size.top);
    if (currentDragView)
        currentDragView->onDragLeave(context, drag, local);
    currentDragView = nullptr;
}

void CViewContainer::onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!parentFrame)
        return;
    SavedOffsets moved(context, size.topLeft());
    CPoint local = where;
    local.offset(-size.left, -size.top);
    CView* view = getViewAt(where);
    if (view != currentDragView) {
        if (currentDragView)
            currentDragView->onDragLeave(context, drag, local);
        if (view)
            view->onDragEnter(context, drag, local);
        currentDragView = view;
    } else if (currentDragView) {
        currentDragView->onDragMove(context, drag, local);
    }
}

void CViewContainer::looseFocus(CDrawContext* context)
{
    for (size_t i = 0; i < children.size(); ++i)
        children[i]->looseFocus(context);
}

void CViewContainer::takeFocus(CDrawContext* context)
{
    for (size_t i = 0; i < children.size(); ++i)
        children[i]->takeFocus(context);
}

bool CViewContainer::isDirty() const
{
    if (bDirty)
        return true;
    const CRect own(0, 0, size.width(), size.height());
    for (CView* child : children) {
        if (!child->isDirty())
            continue;
        const CRect visible = CRect(child->getSizeRect()).bound(own);
        if (visible.width() > 0 && visible.height() > 0)
            return true;
    }
    return false;
}

void CViewContainer::setViewSize(const CRect& rect)
{
    CView::setViewSize(rect);
    if (offscreen && bDrawInOffscreen) {
        releaseOffscreen();
        makeOffscreen();
    }
}

bool CViewContainer::removed(CView*)
{
    releaseOffscreen();
    return true;
}

bool CViewContainer::attached(CView*)
{
    makeOffscreen();
    return true;
}

CPoint& CViewContainer::frameToLocal(CPoint& point) const
{
    point.offset(-size.left, -size.top);
    if (parentView && parentView->isTypeOf("CViewContainer"))
        return parentView->frameToLocal(point);
    return point;
}

CPoint& CViewContainer::localToFrame(CPoint& point) const
{
    point.offset(size.left, size.top);
    if (parentView && parentView->isTypeOf("CViewContainer"))
        return parentView->localToFrame(point);
    return point;
}

long CViewContainer::notify(CView*, const char* message)
{
    return message == kMsgCheckIfViewContainer ? 1 : 0;
}

void CViewContainer::redrawRect(CDrawContext* context, const CRect& rect)
{
    const CRect moved = CRect(rect).offset(size.left, size.top);
    if (bTransparencyEnabled) {
        if (parentView)
            parentView->redrawRect(context, moved);
        else if (parentFrame)
            parentFrame->drawRect(context, moved);
        return;
    }
    if (parentView) {
        CPoint origin(0, 0);
        parentView->localToFrame(origin);
        SavedOffsets shifted(context, origin);
        drawRect(context, moved);
    } else {
        drawRect(context, moved);
    }
}

bool CViewContainer::isTypeOf(const char* name) const
{
    return sameTypeName(name, "CViewContainer") || CView::isTypeOf(name);
}

void CViewContainer::update(CDrawContext* context)
{
    const CRect own(0, 0, size.width(), size.height());
    if (mode == 0 || (mode == 1 && bDirty)) {
        if (!isDirty())
            return;
        redrawRect(context, own);
        setDirty(false);
        return;
    }
    if (mode != 1)
        return;
    for (size_t i = 0; i < children.size(); ++i) {
        CView* child = children[i];
        if (!child->isDirty() || !child->checkUpdate(own))
            continue;
        if (child->notify(this, kMsgCheckIfViewContainer))
            child->update(context);
        else
            child->redrawRect(context, CRect(child->getSizeRect()).bound(own));
    }
    setDirty(false);
}

void CViewContainer::addView(CView* view, const CRect& area, bool mouseEnabled)
{
    if (!view)
        return;
    view->setMouseEnabled(mouseEnabled);
    view->setMouseableArea(area);
    addView(view);
}

void CViewContainer::addView(CView* view)
{
    if (!view)
        return;
    children.push_back(view);
    view->remember();
    view->setParentFrame(parentFrame);
    view->setParentView(this);
    view->attached(this);
    view->setDirty(true);
}

void CViewContainer::removeView(CView* view, bool withForget)
{
    if (parentFrame && parentFrame->getFocusView() == view)
        parentFrame->setFocusView(nullptr);
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end())
        return;
    children.erase(it);
    if (currentDragView == view)
        currentDragView = nullptr;
    view->removed(this);
    if (withForget)
        view->forget();
    view->forget();
}

void CViewContainer::removeAll(bool withForget)
{
    // The focus view must not outlive its removal as a dangling pointer.
    if (parentFrame && !rootOfTree && isChild(parentFrame->getFocusView()))
        parentFrame->setFocusView(nullptr);
    std::vector<CView*> old;
    old.swap(children);
    currentDragView = nullptr;
    for (CView* view : old) {
        view->removed(this);
        if (withForget)
            view->forget();
        view->forget();
    }
}

bool CViewContainer::isChild(CView* view) const
{
    return view && std::find(children.begin(), children.end(), view) != children.end();
}

int32_t CViewContainer::getNbViews() const
{
    return static_cast<int32_t>(children.size());
}

CView* CViewContainer::getView(int32_t index) const
{
    if (index < 0 || index >= getNbViews())
        return nullptr;
    return children[static_cast<size_t>(index)];
}

void CViewContainer::setBackgroundColor(const CColor& color)
{
    backgroundColor = color;
    setDirty(true);
}

void CViewContainer::setDrawInOffscreen(bool state)
{
    bDrawInOffscreen = state;
    if (!state)
        releaseOffscreen();
}

CView* CViewContainer::getCurrentView() const
{
    if (!parentFrame)
        return nullptr;
    CPoint where;
    parentFrame->getCurrentLocation(where);
    frameToLocal(where);
    for (size_t i = children.size(); i-- > 0;) {
        CRect area;
        if (children[i]->getMouseableArea(area).pointInside(where))
            return children[i];
    }
    return nullptr;
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const
{
    if (!parentFrame)
        return nullptr;
    CPoint local = where;
    local.offset(-size.left, -size.top);
    for (size_t i = children.size(); i-- > 0;) {
        CView* child = children[i];
        CRect area;
        if (!child->getMouseableArea(area).pointInside(local))
            continue;
        if (deep && child->isTypeOf("CViewContainer"))
            return static_cast<CViewContainer*>(child)->getViewAt(local, deep);
        return child;
    }
    return nullptr;
}

bool CViewContainer::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    bool passedOld = oldFocus == nullptr;
    const size_t count = children.size();
    for (size_t n = 0; n < count; ++n) {
        CView* child = children[reverse ? count - 1 - n : n];
        if (!passedOld) {
            if (child == oldFocus)
                passedOld = true;
            continue;
        }
        if (child->wantsFocus()) {
            if (parentFrame)
                parentFrame->setFocusView(child);
            return true;
        }
        if (child->isTypeOf("CViewContainer") &&
            static_cast<CViewContainer*>(child)->advanceNextFocusView(nullptr, reverse))
            return true;
    }
    return false;
}

} // namespace gui
