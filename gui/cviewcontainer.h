// SPDX-License-Identifier: GPL-3.0-or-later
// A view with ordered children: draws them through an offscreen buffer with clipping, redraws
// only what is dirty, and routes input to the right child. Later children are on top.
#pragma once

#include "gui/cview.h"

#include <vector>

namespace gui {

class COffscreenContext;

class CViewContainer : public CView {
public:
    CViewContainer(const CRect& size, CFrame* frame, CBitmap* background = nullptr);
    ~CViewContainer() override;

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    int32_t onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(CDrawContext* context, const CPoint& where, int32_t axis, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void looseFocus(CDrawContext* context) override;
    void takeFocus(CDrawContext* context) override;
    bool isDirty() const override;
    void setViewSize(const CRect& rect) override;
    bool removed(CView* parent) override;
    bool attached(CView* parent) override;
    CPoint& frameToLocal(CPoint& point) const override;
    CPoint& localToFrame(CPoint& point) const override;
    long notify(CView* sender, const char* message) override;
    void redrawRect(CDrawContext* context, const CRect& rect) override;
    bool isTypeOf(const char* name) const override;
    void update(CDrawContext* context) override;

    virtual void addView(CView* view, const CRect& mouseableArea, bool mouseEnabled = true);
    virtual void addView(CView* view);
    virtual void removeView(CView* view, bool withForget = true);
    virtual void removeAll(bool withForget = true);
    virtual bool isChild(CView* view) const;
    virtual int32_t getNbViews() const;
    virtual CView* getView(int32_t index) const;
    virtual void setBackgroundColor(const CColor& color);
    virtual CColor getBackgroundColor() const { return backgroundColor; }
    virtual void setBackgroundOffset(const CPoint& point) { backgroundOffset = point; }
    virtual const CPoint& getBackgroundOffset() const { return backgroundOffset; }
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& rect);
    virtual void setMode(int32_t newMode) { mode = newMode; }
    virtual int32_t getMode() const { return mode; }
    virtual void setDrawInOffscreen(bool state);
    virtual bool getDrawInOffscreen() const { return bDrawInOffscreen; }
    virtual CView* getCurrentView() const;
    virtual CView* getViewAt(const CPoint& where, bool deep = false) const;
    virtual bool advanceNextFocusView(CView* oldFocus, bool reverse = false);

    COffscreenContext* getOffscreen() const { return offscreen; }

protected:
    // True for the root of the tree, which draws straight into its window.
    bool isFrame() const;
    void makeOffscreen();
    void releaseOffscreen();
    // The drawing target for this container, with the context moved when drawing directly.
    CDrawContext* beginTarget(CDrawContext* context, CPoint& savedOffset, CPoint& savedScreen);
    void endTarget(CDrawContext* context, const CPoint& savedOffset, const CPoint& savedScreen);
    CRect clipOfContext(CDrawContext* context) const;

    std::vector<CView*> children;
    int32_t mode = 1;
    COffscreenContext* offscreen = nullptr;
    CColor backgroundColor = kBlackCColor;
    CPoint backgroundOffset;
    bool bDrawInOffscreen = true;
    CView* currentDragView = nullptr;
    // Set by the frame: the root draws straight into its window context.
    bool rootOfTree = false;
};

} // namespace gui
