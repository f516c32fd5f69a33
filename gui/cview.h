// SPDX-License-Identifier: GPL-3.0-or-later
// A rectangle of the editor with an optional background, a dirty flag and default input answers.
#pragma once

#include "gui/cgeometry.h"
#include "gui/creferencecounter.h"
#include "host/aeffectx.h"

namespace gui {

class CBitmap;
class CDrawContext;
class CDragContainer;
class CFrame;
class CViewContainer;

// The message a view sends its parent to learn whether it is a container; compared by address.
extern const char* const kMsgCheckIfViewContainer;

class CView : public CReferenceCounter {
public:
    explicit CView(const CRect& size);
    ~CView() override;

    virtual void draw(CDrawContext* context);
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    virtual bool checkUpdate(const CRect& updateRect) const;
    virtual void mouse(CDrawContext* context, CPoint& where, int32_t buttons = -1);
    virtual void setBackground(CBitmap* bitmap);
    virtual CBitmap* getBackground() const { return background; }
    virtual int32_t onKeyDown(VstKeyCode& keyCode);
    virtual int32_t onKeyUp(VstKeyCode& keyCode);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, int32_t axis, float distance);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
    virtual bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void looseFocus(CDrawContext* context);
    virtual void takeFocus(CDrawContext* context);
    virtual bool isDirty() const { return bDirty; }
    virtual void setDirty(bool state = true) { bDirty = state; }
    virtual void setMouseEnabled(bool enable = true) { bMouseEnabled = enable; }
    virtual bool getMouseEnabled() const { return bMouseEnabled; }
    virtual void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    virtual CRect& getMouseableArea(CRect& rect) const;
    virtual bool hitTest(const CPoint& where, int32_t buttons = -1);
    virtual void setTransparency(bool state) { bTransparencyEnabled = state; }
    virtual bool getTransparency() const { return bTransparencyEnabled; }
    virtual void setViewSize(const CRect& rect);
    virtual CRect& getViewSize(CRect& rect) const;
    virtual bool removed(CView* parent);
    virtual bool attached(CView* parent);
    virtual void getMouseLocation(CDrawContext* context, CPoint& point);
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;
    virtual void* getEditor() const;
    virtual long notify(CView* sender, const char* message);
    virtual void redrawRect(CDrawContext* context, const CRect& rect);
    virtual bool wantsFocus() const { return bWantsFocus; }
    virtual void setWantsFocus(bool state) { bWantsFocus = state; }
    virtual bool isTypeOf(const char* name) const;
    virtual void update(CDrawContext* context);
    // A drag that the frame follows across its idle passes (see CFrame::startMouseTracking): the
    // pointer at `where` in the parent's coordinates, with the button state. Answers whether the
    // drag goes on.
    virtual bool trackMouse(CDrawContext* /*context*/, CPoint& /*where*/, int32_t /*buttons*/) { return false; }
    // The pointer came over the view, or went from it (CFrame::pointerMoved, pointerLeft).
    virtual void onMouseEntered() {}
    virtual void onMouseExited() {}

    // Non-virtual helpers shared by the tree.
    const CRect& getSizeRect() const { return size; }
    CFrame* getFrame() const { return parentFrame; }
    CViewContainer* getParentView() const { return parentView; }
    void setParentFrame(CFrame* frame) { parentFrame = frame; }
    void setParentView(CViewContainer* view) { parentView = view; }
    int32_t getWidth() const { return size.width(); }
    int32_t getHeight() const { return size.height(); }

protected:
    // True when the parent answers the container-check message.
    bool parentIsContainer() const;

    CRect size;
    CRect mouseableArea;
    CFrame* parentFrame = nullptr;
    CViewContainer* parentView = nullptr;
    bool bDirty = false;
    bool bMouseEnabled = true;
    bool bTransparencyEnabled = false;
    bool bWantsFocus = false;
    CBitmap* background = nullptr;
};

// Class-name comparison of isTypeOf.
bool sameTypeName(const char* a, const char* b);

} // namespace gui
