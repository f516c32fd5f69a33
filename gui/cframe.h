// SPDX-License-Identifier: GPL-3.0-or-later
// The root of the editor's view tree and the owner of its platform window.
#pragma once

#include "gui/cframe_owner.h"
#include "gui/cviewcontainer.h"

namespace gui {

class CDropTarget;

enum CCursorType : int32_t {
    kCursorDefault = 0,
    kCursorWait,
    kCursorHSize,
    kCursorVSize,
    kCursorSizeAll,
    kCursorNESWSize,
    kCursorNWSESize,
    kCursorCopy,
    kCursorNotAllowed,
    kCursorHand,
};

class CFrame : public CViewContainer {
public:
    CFrame(const CRect& size, void* parentWindow, CFrameOwner* editor);
    ~CFrame() override;

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    int32_t onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, int32_t axis, float distance) override;
    bool isTypeOf(const char* name) const override;
    void update(CDrawContext* context) override;
    bool advanceNextFocusView(CView* oldFocus, bool reverse = false) override;

    void idle();
    void invalidate(const CRect& rect);
    // Draws the view at once in a context of its own; null or a stranger draws the whole frame.
    void redrawView(CView* view);
    void doIdleStuff();
    uint32_t getTicks() const;
    int32_t getKnobMode() const;
    void beginEdit(int32_t index);
    void endEdit(int32_t index);
    bool setModalView(CView* view);
    CView* getModalView() const { return modalView; }
    CView* getFocusView() const { return focusView; }
    void setFocusView(CView* view);
    bool getOpenFlag() const { return openFlag; }
    void setOpenFlag(bool state) { openFlag = state; }
    bool isDropActive() const { return dropActive; }
    CDropTarget* getDropTarget() const { return dropTarget; }
    bool setDropActive(bool active);
    bool setUpdatesDisabled(bool state);
    bool getCurrentLocation(CPoint& where);
    void setCursor(int32_t type);
    bool setSize(int32_t width, int32_t height);
    bool getSize(CRect* rect) const;
    bool getPosition(int32_t& x, int32_t& y) const;
    bool setPosition(int32_t x, int32_t y);
    // A new context on the frame's window; the caller releases it.
    CDrawContext* createDrawContext();

    // The editor object itself (not its owner interface), as views hand it out.
    void* getGUIEditor() const { return editor ? dynamic_cast<void*>(editor) : nullptr; }
    void* getParentWindow() const { return parentWindow; }
    void* getSystemWindow() const { return window; }
    // Whether drags follow the platform's idle passes rather than a loop inside the press: set
    // where the host's idle call delivers the window's events, so its thread must not wait for
    // the button to go up.
    void setDragsFollowIdle(bool state) { dragsFollowIdle = state; }
    bool getDragsFollowIdle() const { return dragsFollowIdle; }
    // The view takes the pointer until the left button goes up; `where` is the press, in frame
    // coordinates.
    void startMouseTracking(CView* view, const CPoint& where);
    bool isTrackingMouse() const { return mouseTracker != nullptr; }
    // The pointer of a followed drag, in frame coordinates, with the button state; false when no
    // drag goes on after it. (A view's own trackMouse, which the frame inherits, stays callable.)
    bool trackMouse(const CPoint& where, int32_t buttons);
    using CViewContainer::trackMouse;
    // Ends a followed drag where it stands, as a release there would (the editor closes).
    void endMouseTracking();
    // The pointer is at `where` in frame coordinates (moved, pressed, turned the wheel, ended a
    // drag): the view under it hears that it entered, the one before that it exited.
    void pointerMoved(const CPoint& where);
    // The pointer left the frame's window.
    void pointerLeft() { hover(nullptr); }
    CView* getHoveredView() const { return hoveredView; }

    // The window is being destroyed (the host destroyed its parent): give up its drop registration
    // while the window still exists, forget the parent and stop drawing.
    void windowDestroyed();

private:
    // Platform services, one implementation per backend.
    bool platformCreateWindow();
    void platformDestroyWindow();
    void platformLoadBlendLibrary();
    void platformFreeBlendLibrary();
    void platformOleInitialize();
    void platformOleUninitialize();
    bool platformRegisterDrop();
    void platformRevokeDrop();
    void* platformCurrentCursor() const;
    void platformSetCursor(int32_t type);
    void platformResizeWindow(int32_t width, int32_t height);
    // Grows the windows around the frame; answers true when it had to stop at the host's window.
    bool platformGrowEnclosingWindows(int32_t width, int32_t height);
    CPoint platformWindowOrigin() const;
    bool platformGetSize(CRect* rect) const;
    bool platformGetPosition(int32_t& x, int32_t& y) const;
    void hover(CView* view);

    CFrameOwner* editor;
    void* parentWindow;
    CView* modalView = nullptr;
    CView* focusView = nullptr;
    CView* mouseTracker = nullptr;
    // Remembered: the view may leave the tree while the pointer is over it.
    CView* hoveredView = nullptr;
    CPoint lastTracked;
    bool dragsFollowIdle = false;
    bool firstDraw = true;
    bool openFlag = true;
    bool dropActive = false;
    bool updatesDisabled = false;
    void* window = nullptr;
    void* blendLibrary = nullptr;
    CDropTarget* dropTarget = nullptr;
    void* defaultCursor = nullptr;
    bool defaultCursorStored = false;
};

} // namespace gui
