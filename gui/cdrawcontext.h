// SPDX-License-Identifier: GPL-3.0-or-later
// A drawing target bound to a platform device, a window and a frame: offset, clip, pen, brush,
// font, and the live mouse-button state.
#pragma once

#include "gui/cgeometry.h"
#include "gui/creferencecounter.h"

#include <cstdint>

namespace gui {

class CFrame;

enum CLineStyle : int32_t { kLineSolid = 0, kLineOnOffDash = 1 };
enum CDrawMode : int32_t { kCopyMode = 0, kOrMode = 1, kXorMode = 2 };

class CDrawContext : public CReferenceCounter {
public:
    // systemContext is the platform device (may be null, then the window's own is taken).
    CDrawContext(CFrame* frame, void* systemContext, void* window = nullptr);
    ~CDrawContext() override;

    void setClipRect(const CRect& clip);
    CRect& getClipRect(CRect& clip) const;
    void setFrameColor(const CColor& color);
    CColor getFrameColor() const { return frameColor; }
    void setLineWidth(int32_t width);
    int32_t getLineWidth() const { return lineWidth; }
    void setLineStyle(int32_t style);
    void setFillColor(const CColor& color);
    CColor getFillColor() const { return fillColor; }
    void setFontColor(const CColor& color);
    CColor getFontColor() const { return fontColor; }
    void setDrawMode(int32_t mode);
    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    void drawRect(const CRect& rect);
    void fillRect(const CRect& rect);
    int32_t getMouseButtons();

    void* getSystemContext() const { return systemContext; }
    void* getWindow() const { return window; }
    CFrame* getFrame() const { return frame; }
    // How many times this context has changed a pen, a brush or the clip on the platform.
    uint32_t getPlatformChangeCount() const { return platformChanges; }

    // Subtracted from screen positions of the cursor.
    CPoint offsetScreen;
    // Added to every drawing coordinate.
    CPoint offset;

protected:
    // For the offscreen context, which brings its own device.
    struct NoDevice {};
    CDrawContext(CFrame* frame, NoDevice);
    void initialiseDrawingState();
    void makePen();

    void* systemContext = nullptr;
    void* window = nullptr;
    CFrame* frame = nullptr;
    int32_t fontSize = -1;
    int32_t fontStyle = 0;
    int32_t fontId = 8;
    CColor fontColor;
    CPoint penLocation;
    int32_t lineWidth = 0;
    CColor frameColor;
    CColor fillColor;
    int32_t lineStyle = 1;
    int32_t drawMode = 3;
    CRect clipRect; // in device coordinates
    uint32_t platformChanges = 0;
    bool ownsSystemContext = false;
    // Backend objects of the context (pens, brushes, fonts and what they replaced); null when
    // the backend keeps none.
    void* platformState = nullptr;
};

} // namespace gui
