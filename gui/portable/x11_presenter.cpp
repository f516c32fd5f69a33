// SPDX-License-Identifier: GPL-3.0-or-later
// The X11 presenter: each frame opened inside a host's X window gets its own display
// connection and a child window of the host's; the frame's pixel surface is put into it, and
// the window's events are read on the host's idle call, a knob drag's motion and release among
// them, and so are files dragged in from other programs (xdnd_receiver.h). No thread of our own:
// everything runs on the host's GUI thread, and no call waits for an event.
#include "gui/portable/window_presenter.h"

#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/platform.h"
#include "gui/portable/live_input.h"
#include "gui/portable/pixel_surface.h"
#include "gui/portable/portable_window.h"
#include "gui/portable/xdnd_receiver.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace gui::portable::presenter {

namespace {

constexpr uintptr_t kLargestResourceId = 0x1fffffff;
constexpr uint32_t kRgbMask = 0x00ffffff;

struct Presenter {
    CFrame* frame = nullptr;
    PixelSurface* surface = nullptr;
    Display* display = nullptr;
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    // What the window shows, in the visual's format; the image's data.
    std::vector<uint32_t> shown;
    uint32_t opaque = 0; // the alpha bits of a 32-bit visual
    std::array<Cursor, kCursorHand + 1> cursors{};
    std::unique_ptr<XdndReceiver> drops;
    bool windowGone = false;
};

std::vector<std::unique_ptr<Presenter>> presenters;
// The presenter whose button press is being handled: the live input reads its window.
Presenter* active = nullptr;
// Button and wheel handling in progress: events are not pumped again until it returns.
int handlingDepth = 0;

Presenter* find(const CFrame& frame)
{
    for (auto& p : presenters)
        if (p->frame == &frame)
            return p.get();
    return nullptr;
}

// ---- Errors: the default handler would end the host's process. --------------------------------

XErrorHandler previousHandler = nullptr;
int trapDepth = 0;
unsigned long trappedErrors = 0;
std::vector<Display*> ourDisplays;

bool isOurs(Display* display)
{
    return std::find(ourDisplays.begin(), ourDisplays.end(), display) != ourDisplays.end();
}

int trapHandler(Display* display, XErrorEvent* event)
{
    if (isOurs(display)) {
        ++trappedErrors;
        return 0;
    }
    // The host's own connection: its errors are its business.
    return previousHandler ? previousHandler(display, event) : 0;
}

XIOErrorHandler previousIoHandler = nullptr;

bool isOurs(Display* display);

// The default would end the process when the server goes away; for our connections we return,
// and the connection's exit handler marks it lost.
int ioTrapHandler(Display* display)
{
    if (isOurs(display))
        return 0;
    return previousIoHandler ? previousIoHandler(display) : 0;
}

// Installs the handlers for the scope; errors are synchronised before they are lifted.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display(display), before(trappedErrors)
    {
        if (trapDepth++ == 0) {
            previousHandler = XSetErrorHandler(trapHandler);
            previousIoHandler = XSetIOErrorHandler(ioTrapHandler);
        }
    }
    ~ErrorTrap()
    {
        if (display)
            XSync(display, False);
        if (--trapDepth == 0) {
            XSetErrorHandler(previousHandler);
            XSetIOErrorHandler(previousIoHandler);
        }
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    bool failed()
    {
        XSync(display, False);
        return trappedErrors != before;
    }
    // The connection is about to close: nothing to synchronise any more.
    void forgetDisplay() { display = nullptr; }

private:
    Display* display;
    unsigned long before;
};

// A lost connection (the server went away) would end the process through Xlib's default exit
// handler; ours marks the display dead instead, and Xlib sends nothing more on it.
std::vector<Display*> lostDisplays;

bool isLost(Display* display)
{
    return std::find(lostDisplays.begin(), lostDisplays.end(), display) != lostDisplays.end();
}

void connectionLost(Display* display, void*);

// ---- Pixels ---------------------------------------------------------------------------------

void putRect(Presenter& p, const CRect& rect, bool onlyChanged)
{
    if (p.windowGone || !p.image || !p.surface)
        return;
    const int32_t width = p.surface->width;
    CRect area = CRect(rect).bound(p.surface->bounds());
    if (area.isEmpty())
        return;
    const uint32_t* source = p.surface->pixels.data();
    if (onlyChanged) {
        int32_t left = area.right, right = area.left, top = area.bottom, bottom = area.top;
        for (int32_t y = area.top; y < area.bottom; ++y) {
            const size_t row = static_cast<size_t>(y) * width;
            for (int32_t x = area.left; x < area.right; ++x) {
                if ((p.shown[row + x] & kRgbMask) != (source[row + x] & kRgbMask)) {
                    left = std::min(left, x);
                    right = std::max(right, x + 1);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y + 1);
                }
            }
        }
        if (left >= right)
            return;
        area = CRect(left, top, right, bottom);
    }
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const size_t row = static_cast<size_t>(y) * width;
        for (int32_t x = area.left; x < area.right; ++x)
            p.shown[row + x] = (source[row + x] & kRgbMask) | p.opaque;
    }
    XPutImage(p.display, p.window, p.gc, p.image, area.left, area.top, area.left, area.top,
              static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()));
}

void flushChanges(Presenter& p)
{
    if (p.surface)
        putRect(p, p.surface->bounds(), true);
}

void destroyImage(Presenter& p)
{
    if (!p.image)
        return;
    // The data is our vector's: XDestroyImage must not free it.
    p.image->data = nullptr;
    XDestroyImage(p.image);
    p.image = nullptr;
}

bool makeImage(Presenter& p)
{
    destroyImage(p);
    const int32_t width = std::max(p.surface->width, 1);
    const int32_t height = std::max(p.surface->height, 1);
    p.shown.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    p.image = XCreateImage(p.display, p.visual, static_cast<unsigned>(p.depth), ZPixmap, 0,
                           reinterpret_cast<char*>(p.shown.data()), static_cast<unsigned>(width),
                           static_cast<unsigned>(height), 32, width * 4);
    if (!p.image)
        return false;
    if (p.image->bits_per_pixel != 32) {
        destroyImage(p);
        return false;
    }
    // Our words are in this machine's order; Xlib swaps them for a server of the other order.
    p.image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    // The window shows nothing of ours yet: force the first put of every pixel.
    std::fill(p.shown.begin(), p.shown.end(), ~0u);
    return true;
}

bool usableVisual(const Visual* visual, int depth)
{
    return visual && visual->c_class == TrueColor && (depth == 24 || depth == 32) &&
           visual->red_mask == 0xff0000 && visual->green_mask == 0x00ff00 && visual->blue_mask == 0x0000ff;
}

// ---- Events ---------------------------------------------------------------------------------

// The live input's button word from an X state mask.
int32_t buttonWord(unsigned int mask)
{
    return ((mask & Button1Mask) ? 1 : 0) | ((mask & Button2Mask) ? 2 : 0) | ((mask & Button3Mask) ? 4 : 0) |
           ((mask & ShiftMask) ? 8 : 0) | ((mask & ControlMask) ? 16 : 0) | ((mask & Mod1Mask) ? 32 : 0);
}

// One step of the drag the frame follows: the pointer in window coordinates.
void track(Presenter& p, const CPoint& where, int32_t buttons)
{
    Presenter* previous = active;
    active = &p;
    ++handlingDepth;
    p.frame->trackMouse(where, buttons);
    --handlingDepth;
    active = previous;
}

void handleExpose(Presenter& p, const XExposeEvent& event)
{
    const CRect rect(event.x, event.y, event.x + event.width, event.y + event.height);
    paint(*p.frame, rect);
    putRect(p, rect, false);
}

void handleButton(Presenter& p, const XButtonEvent& event)
{
    const CPoint where(event.x, event.y);
    Presenter* previous = active;
    active = &p;
    ++handlingDepth;
    switch (event.button) {
    case Button1:
    case Button2:
    case Button3:
        // A knob's drag goes on in the motion and release events of later idle passes.
        buttonDown(*p.frame, where);
        break;
    case Button4:
        wheel(*p.frame, where, 120);
        break;
    case Button5:
        wheel(*p.frame, where, -120);
        break;
    // The horizontal wheel goes to the views too; a knob turns with either wheel.
    case 6:
        p.frame->onWheel(nullptr, where, 0, -1.0f);
        break;
    case 7:
        p.frame->onWheel(nullptr, where, 0, 1.0f);
        break;
    default:
        break;
    }
    --handlingDepth;
    active = previous;
}

void handleEvent(Presenter& p, XEvent& event)
{
    switch (event.type) {
    case Expose:
        if (event.xexpose.window == p.window)
            handleExpose(p, event.xexpose);
        break;
    case ButtonPress:
        // A drag holds the pointer until its release.
        if (event.xbutton.window == p.window && !p.frame->isTrackingMouse())
            handleButton(p, event.xbutton);
        break;
    case MotionNotify:
        if (event.xmotion.window != p.window)
            break;
        if (p.frame->isTrackingMouse())
            track(p, CPoint(event.xmotion.x, event.xmotion.y), buttonWord(event.xmotion.state));
        else
            p.frame->pointerMoved(CPoint(event.xmotion.x, event.xmotion.y));
        break;
    case LeaveNotify:
        // A drag keeps its knob; its release tells the frame where the pointer went.
        if (event.xcrossing.window == p.window && !p.frame->isTrackingMouse())
            p.frame->pointerLeft();
        break;
    case ButtonRelease:
        // The state is the one before the release.
        if (event.xbutton.window == p.window && p.frame->isTrackingMouse() && event.xbutton.button <= Button3)
            track(p, CPoint(event.xbutton.x, event.xbutton.y),
                  buttonWord(event.xbutton.state & ~(Button1Mask << (event.xbutton.button - Button1))));
        break;
    case ClientMessage:
    case SelectionNotify:
        if (p.drops)
            p.drops->handle(event);
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == p.window) {
            // The host destroyed its window first: ours went with it.
            p.windowGone = true;
            p.frame->windowDestroyed();
        }
        break;
    default:
        break;
    }
}

void pumpEvents(Presenter& p)
{
    while (!p.windowGone && !isLost(p.display) && XPending(p.display) > 0) {
        XEvent event;
        XNextEvent(p.display, &event);
        handleEvent(p, event);
    }
}

void connectionLost(Display* display, void*)
{
    if (!isLost(display))
        lostDisplays.push_back(display);
    for (auto& p : presenters) {
        if (p->display == display && !p->windowGone) {
            p->windowGone = true;
            p->frame->windowDestroyed();
        }
    }
}

// A drag whose release never reached the window (another client took the pointer) ends where
// the pointer is once the button is up.
void endLostDrag(Presenter& p)
{
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    ErrorTrap trap(p.display);
    const Bool sameScreen = XQueryPointer(p.display, p.window, &root, &child, &rootX, &rootY, &x, &y, &mask);
    if (trap.failed() || (mask & Button1Mask))
        return;
    // A release sent before the reply is queued by now, in its place after the motion.
    pumpEvents(p);
    if (p.windowGone || !p.frame->isTrackingMouse())
        return;
    if (sameScreen)
        track(p, CPoint(x, y), buttonWord(mask));
    else
        p.frame->endMouseTracking();
}

void frameIdle(CFrame& frame)
{
    Presenter* p = find(frame);
    if (!p || p->windowGone)
        return;
    ErrorTrap trap(p->display);
    flushChanges(*p);
    if (handlingDepth == 0) {
        bool dragged = frame.isTrackingMouse();
        pumpEvents(*p);
        if (!p->windowGone && p->drops)
            p->drops->idle();
        dragged = dragged || frame.isTrackingMouse();
        if (!p->windowGone && frame.isTrackingMouse())
            endLostDrag(*p);
        // What the drag moved shows on this pass, not the host's next one.
        if (dragged && !p->windowGone && frame.isDirty()) {
            CDrawContext* context = frame.createDrawContext();
            frame.update(context);
            context->forget();
        }
    }
    flushChanges(*p);
}

// ---- Live input -----------------------------------------------------------------------------

class XInput final : public LiveInput {
public:
    CPoint cursorPosition() override
    {
        query();
        return cursor;
    }
    int32_t buttonState() override
    {
        return query() ? buttons : 0;
    }
    uint32_t tickCount() override
    {
        const auto elapsed = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    }
    void sleep(uint32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    void dispatchOnePendingRepaint() override
    {
        for (auto& p : presenters) {
            if (p->windowGone)
                continue;
            ErrorTrap trap(p->display);
            XEvent event;
            if (XCheckTypedWindowEvent(p->display, p->window, Expose, &event)) {
                handleExpose(*p, event.xexpose);
                return;
            }
        }
    }

private:
    // Reads the pointer relative to the window of the frame being handled (else the newest).
    bool query()
    {
        Presenter* p = active ? active : (presenters.empty() ? nullptr : presenters.back().get());
        if (!p || p->windowGone)
            return false;
        ErrorTrap trap(p->display);
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        const Bool sameScreen = XQueryPointer(p->display, p->window, &root, &child, &rootX, &rootY, &x, &y, &mask);
        if (trap.failed())
            return false;
        if (sameScreen)
            cursor = CPoint(x, y);
        buttons = buttonWord(mask);
        return true;
    }

    CPoint cursor;
    int32_t buttons = 0;
};

XInput xInput;

void release(Presenter& p)
{
    {
        ErrorTrap trap(p.display);
        for (Cursor& cursor : p.cursors) {
            if (cursor)
                XFreeCursor(p.display, cursor);
            cursor = 0;
        }
        p.drops.reset();
        destroyImage(p);
        if (p.gc)
            XFreeGC(p.display, p.gc);
        p.gc = nullptr;
        if (p.window && !p.windowGone)
            XDestroyWindow(p.display, p.window);
        p.window = 0;
        XSync(p.display, False);
        trap.forgetDisplay();
        XCloseDisplay(p.display);
    }
    std::erase(ourDisplays, p.display);
    std::erase(lostDisplays, p.display);
    p.display = nullptr;
}

} // namespace

bool wantsWindow(void* parentWindow)
{
    const auto value = reinterpret_cast<uintptr_t>(parentWindow);
    return value != 0 && value <= kLargestResourceId;
}

bool attach(CFrame& frame, PixelSurface& surface, void* parentWindow)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    ourDisplays.push_back(display);
    XSetIOErrorExitHandler(display, connectionLost, nullptr);
    auto p = std::make_unique<Presenter>();
    p->frame = &frame;
    p->surface = &surface;
    p->display = display;
    bool made = false;
    {
        ErrorTrap trap(display);
        const auto parent = static_cast<Window>(reinterpret_cast<uintptr_t>(parentWindow));
        XWindowAttributes parentAttributes{};
        if (XGetWindowAttributes(display, parent, &parentAttributes) && !trap.failed() &&
            usableVisual(parentAttributes.visual, parentAttributes.depth)) {
            p->visual = parentAttributes.visual;
            p->depth = parentAttributes.depth;
            p->opaque = p->depth == 32 ? 0xff000000u : 0u;
            XSetWindowAttributes attributes{};
            attributes.background_pixmap = None;
            attributes.border_pixel = 0;
            attributes.colormap = parentAttributes.colormap;
            // The press grabs the pointer for the window: a drag's motion and release come here
            // wherever the pointer goes. Motion without a button and leaving: what is hovered.
            attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                    LeaveWindowMask | StructureNotifyMask;
            p->window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(std::max(surface.width, 1)),
                                      static_cast<unsigned>(std::max(surface.height, 1)), 0, p->depth, InputOutput,
                                      p->visual, CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask,
                                      &attributes);
            if (!trap.failed() && p->window) {
                p->gc = XCreateGC(display, p->window, 0, nullptr);
                made = !trap.failed() && p->gc && makeImage(*p);
                if (made) {
                    p->drops = std::make_unique<XdndReceiver>(display, p->window, frame);
                    XMapWindow(display, p->window);
                }
                made = made && !trap.failed();
            }
        }
    }
    if (!made) {
        release(*p);
        return false;
    }
    presenters.push_back(std::move(p));
    frame.setDragsFollowIdle(true);
    platform::setFrameIdleHook(&frameIdle);
    if (!installedLiveInput())
        setLiveInput(&xInput);
    return true;
}

void detach(CFrame& frame)
{
    auto it = std::find_if(presenters.begin(), presenters.end(), [&](const auto& p) { return p->frame == &frame; });
    if (it == presenters.end())
        return;
    std::unique_ptr<Presenter> p = std::move(*it);
    presenters.erase(it);
    if (active == p.get())
        active = nullptr;
    release(*p);
    if (presenters.empty()) {
        platform::setFrameIdleHook(nullptr);
        if (installedLiveInput() == &xInput)
            setLiveInput(nullptr);
    }
}

void resized(CFrame& frame, PixelSurface& surface)
{
    Presenter* p = find(frame);
    if (!p)
        return;
    p->surface = &surface;
    if (p->windowGone)
        return;
    ErrorTrap trap(p->display);
    XResizeWindow(p->display, p->window, static_cast<unsigned>(std::max(surface.width, 1)),
                  static_cast<unsigned>(std::max(surface.height, 1)));
    // The new surface is blank: the whole window is drawn afresh, as after a window-system resize.
    if (makeImage(*p)) {
        paint(*p->frame, surface.bounds());
        putRect(*p, surface.bounds(), false);
    }
}

void setCursor(CFrame& frame, int32_t type)
{
    Presenter* p = find(frame);
    if (!p || p->windowGone)
        return;
    static constexpr std::array<unsigned, kCursorHand + 1> shapes = {
        XC_left_ptr, XC_watch, XC_sb_h_double_arrow, XC_sb_v_double_arrow, XC_fleur,
        XC_bottom_left_corner, XC_bottom_right_corner, XC_plus, XC_X_cursor, XC_hand2,
    };
    ErrorTrap trap(p->display);
    // The default, and the copy cursor that has no shape of its own, show the host's cursor.
    if (type <= kCursorDefault || type > kCursorHand || type == kCursorCopy) {
        XUndefineCursor(p->display, p->window);
        return;
    }
    Cursor& cursor = p->cursors[static_cast<size_t>(type)];
    if (!cursor)
        cursor = XCreateFontCursor(p->display, shapes[static_cast<size_t>(type)]);
    XDefineCursor(p->display, p->window, cursor);
}

uintptr_t nativeWindow(const CFrame& frame)
{
    const Presenter* p = find(frame);
    return p && !p->windowGone ? static_cast<uintptr_t>(p->window) : 0;
}

} // namespace gui::portable::presenter
