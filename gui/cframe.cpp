// SPDX-License-Identifier: GPL-3.0-or-later
// The frame's logic that does not depend on the platform; window services live in the backend.
#include "gui/cframe.h"

#include "gui/cdrawcontext.h"
#include "gui/cdroptarget.h"
#include "gui/platform.h"

namespace gui {

namespace {

platform::FrameIdleHook frameIdleHook = nullptr;

} // namespace

void platform::setFrameIdleHook(FrameIdleHook hook)
{
    frameIdleHook = hook;
}

CFrame::CFrame(const CRect& size, void* parentWindow, CFrameOwner* editor)
    : CViewContainer(size, nullptr), editor(editor), parentWindow(parentWindow)
{
    parentFrame = this;
    rootOfTree = true;
    platformOleInitialize();
    platformLoadBlendLibrary();
    if (parentWindow && platformCreateWindow())
        setDropActive(true);
}

CFrame::~CFrame()
{
    // The owner ends a drag it wants bracketed before it lets the frame go.
    if (mouseTracker)
        mouseTracker->forget();
    mouseTracker = nullptr;
    // Nobody is told: the views and their listeners are going.
    if (hoveredView)
        hoveredView->forget();
    hoveredView = nullptr;
    if (modalView)
        removeView(modalView, false);
    modalView = nullptr;
    focusView = nullptr;
    if (!defaultCursorStored) {
        defaultCursor = platformCurrentCursor();
        defaultCursorStored = true;
    }
    platformSetCursor(kCursorDefault);
    if (dropActive && window) {
        if (dropTarget)
            platformRevokeDrop();
        dropTarget = nullptr;
        dropActive = false;
    }
    platformOleUninitialize();
    platformFreeBlendLibrary();
    if (window)
        platformDestroyWindow();
    window = nullptr;
    // Release the children while this is still a frame: nested containers ask it for the focus.
    removeAll(true);
}

void CFrame::draw(CDrawContext* context)
{
    firstDraw = false;
    CViewContainer::draw(context);
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect)
{
    firstDraw = false;
    CDrawContext* own = nullptr;
    if (!context)
        context = own = createDrawContext();
    CRect oldClip;
    context->getClipRect(oldClip);
    CRect newClip = CRect(updateRect).bound(oldClip);
    if (newClip != oldClip)
        context->setClipRect(newClip);
    if (updateRect.width() > 0 && updateRect.height() > 0)
        CViewContainer::drawRect(context, updateRect);
    context->setClipRect(oldClip);
    if (own)
        own->forget();
}

void CFrame::mouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    if (focusView)
        setFocusView(nullptr);
    if (buttons == -1 && context)
        buttons = context->getMouseButtons();
    pointerMoved(where);
    if (modalView) {
        if (modalView->hitTest(where, buttons))
            modalView->mouse(context, where, buttons);
        return;
    }
    CViewContainer::mouse(context, where, buttons);
}

int32_t CFrame::onKeyDown(VstKeyCode& keyCode)
{
    int32_t result = -1;
    if (focusView)
        result = focusView->onKeyDown(keyCode);
    if (result == -1 && modalView)
        result = modalView->onKeyDown(keyCode);
    if (result == -1 && keyCode.virt == VKEY_TAB)
        result = advanceNextFocusView(focusView, (keyCode.modifier & MODIFIER_SHIFT) != 0) ? 1 : -1;
    return result;
}

int32_t CFrame::onKeyUp(VstKeyCode& keyCode)
{
    int32_t result = -1;
    if (focusView)
        result = focusView->onKeyUp(keyCode);
    if (result == -1 && modalView)
        result = modalView->onKeyUp(keyCode);
    return result;
}

bool CFrame::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    if (modalView)
        return false;
    if (!oldFocus) {
        if (!focusView)
            return CViewContainer::advanceNextFocusView(nullptr, reverse);
        oldFocus = focusView;
    }
    if (isChild(oldFocus)) {
        if (CViewContainer::advanceNextFocusView(oldFocus, reverse))
            return true;
        setFocusView(nullptr);
        return false;
    }
    // The walk reaches the frame too: its own advance from the outermost container clears the
    // focus when nothing follows, as for a direct child.
    CView* child = oldFocus;
    CViewContainer* parent = oldFocus->getParentView();
    while (parent && parent->isTypeOf("CViewContainer")) {
        if (parent->advanceNextFocusView(child, reverse))
            return true;
        child = parent;
        parent = parent->getParentView();
    }
    return CViewContainer::advanceNextFocusView(oldFocus, reverse);
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance)
{
    return onWheel(context, where, 1, distance);
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, int32_t axis, float distance)
{
    pointerMoved(where);
    CView* target = modalView ? modalView : getViewAt(where);
    if (!target)
        return false;
    CDrawContext* own = nullptr;
    if (!context)
        context = own = createDrawContext();
    const bool result = target->onWheel(context, where, axis, distance);
    if (own)
        own->forget();
    return result;
}

bool CFrame::isTypeOf(const char* name) const
{
    return sameTypeName(name, "CFrame") || CViewContainer::isTypeOf(name);
}

void CFrame::idle()
{
    if (openFlag && !firstDraw && isDirty()) {
        CDrawContext* context = createDrawContext();
        update(context);
        context->forget();
    }
    if (frameIdleHook)
        frameIdleHook(*this);
}

void CFrame::update(CDrawContext* context)
{
    if (!openFlag || updatesDisabled)
        return;
    if (bDirty) {
        draw(context);
        setDirty(false);
        return;
    }
    CRect remembered;
    context->getClipRect(remembered);
    if (modalView && modalView->isDirty())
        modalView->update(context);
    for (size_t i = 0; i < children.size(); ++i) {
        CView* child = children[i];
        context->setClipRect(CRect(child->getSizeRect()).bound(remembered));
        child->update(context);
    }
    context->setClipRect(remembered);
}

void CFrame::invalidate(const CRect& rect)
{
    for (CView* child : children)
        if (child->checkUpdate(rect))
            child->setDirty(true);
}

void CFrame::redrawView(CView* view)
{
    CDrawContext* context = createDrawContext();
    if (view && isChild(view))
        view->redrawRect(context, view->getSizeRect());
    else
        draw(context);
    context->forget();
}

void CFrame::doIdleStuff()
{
    if (editor)
        editor->frameIdleStuff();
}

uint32_t CFrame::getTicks() const
{
    return editor ? platform::tickCount() : 0;
}

int32_t CFrame::getKnobMode() const
{
    return editor ? editor->frameKnobMode() : 0;
}

void CFrame::beginEdit(int32_t index)
{
    if (editor)
        editor->frameBeginEdit(index);
}

void CFrame::endEdit(int32_t index)
{
    if (editor)
        editor->frameEndEdit(index);
}

bool CFrame::setModalView(CView* view)
{
    if (modalView && view)
        return false;
    if (modalView)
        removeView(modalView, false);
    modalView = view;
    if (view)
        addView(view);
    return true;
}

void CFrame::startMouseTracking(CView* view, const CPoint& where)
{
    endMouseTracking();
    if (view)
        view->remember();
    mouseTracker = view;
    lastTracked = where;
}

bool CFrame::trackMouse(const CPoint& where, int32_t buttons)
{
    CView* view = mouseTracker;
    if (!view)
        return false;
    lastTracked = where;
    CPoint local = where;
    view->frameToLocal(local);
    CDrawContext* context = createDrawContext();
    const bool goesOn = view->trackMouse(context, local, buttons);
    context->forget();
    if (!goesOn && mouseTracker == view) {
        mouseTracker = nullptr;
        view->forget();
        // The release may be elsewhere than the press.
        pointerMoved(where);
    }
    return goesOn;
}

void CFrame::pointerMoved(const CPoint& where)
{
    hover(getViewAt(where, true));
}

void CFrame::hover(CView* view)
{
    if (view == hoveredView)
        return;
    CView* previous = hoveredView;
    hoveredView = view;
    if (view)
        view->remember();
    if (previous) {
        previous->onMouseExited();
        previous->forget();
    }
    if (view)
        view->onMouseEntered();
}

void CFrame::endMouseTracking()
{
    if (mouseTracker)
        trackMouse(lastTracked, 0);
}

void CFrame::setFocusView(CView* view)
{
    CView* previous = focusView;
    focusView = view;
    if (view && view->wantsFocus())
        view->setDirty(true);
    if (previous) {
        previous->looseFocus(nullptr);
        if (previous->wantsFocus())
            previous->setDirty(true);
    }
}

bool CFrame::setDropActive(bool active)
{
    if (!window || dropActive == active)
        return true;
    if (active) {
        dropTarget = new CDropTarget(this);
        dropActive = platformRegisterDrop();
    } else {
        if (dropTarget)
            platformRevokeDrop();
        dropTarget = nullptr;
        dropActive = false;
    }
    return true;
}

bool CFrame::setUpdatesDisabled(bool state)
{
    const bool previous = updatesDisabled;
    updatesDisabled = state;
    return previous;
}

bool CFrame::getCurrentLocation(CPoint& where)
{
    where = platform::cursorScreenPosition();
    if (window) {
        const CPoint origin = platformWindowOrigin();
        where.offset(-origin.h, -origin.v);
    }
    return true;
}

void CFrame::setCursor(int32_t type)
{
    if (!defaultCursorStored) {
        defaultCursor = platformCurrentCursor();
        defaultCursorStored = true;
    }
    platformSetCursor(type);
}

bool CFrame::setSize(int32_t width, int32_t height)
{
    if (!openFlag || (width == size.width() && height == size.height()))
        return false;
    if (editor && editor->frameRequestSize(width, height)) {
        size.right = size.left + width;
        size.bottom = size.top + height;
        platformResizeWindow(width, height);
        return true;
    }
    size.right = size.left + width;
    size.bottom = size.top + height;
    if (platformGrowEnclosingWindows(width, height))
        return true;
    setViewSize(CRect(0, 0, width, height));
    return true;
}

bool CFrame::getSize(CRect* rect) const
{
    return openFlag && platformGetSize(rect);
}

bool CFrame::getPosition(int32_t& x, int32_t& y) const
{
    return openFlag && platformGetPosition(x, y);
}

bool CFrame::setPosition(int32_t, int32_t)
{
    return false;
}

CDrawContext* CFrame::createDrawContext()
{
    return new CDrawContext(this, nullptr, window);
}

void CFrame::windowDestroyed()
{
    openFlag = false;
    parentWindow = nullptr;
    // Revoking later, from the destructor, would name a window that is gone and leak the
    // registration with its reference on the target.
    setDropActive(false);
}

} // namespace gui
