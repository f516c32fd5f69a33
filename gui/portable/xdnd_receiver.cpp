// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/portable/xdnd_receiver.h"

#include "gui/cdragcontainer.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/portable/uri_list.h"

#include <X11/Xatom.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace gui::portable {

namespace {

constexpr long kVersion = 5;
// Older sources put no timestamp in the drop, which the data's request needs.
constexpr long kOldestVersion = 3;
// A uri-list is a few lines: a source that takes longer has gone wrong.
constexpr auto kDataTimeLimit = std::chrono::seconds(2);
// In 32-bit units, as the property request counts: 256 KiB of file names.
constexpr long kLongestData = 1 << 16;

// Bits of XdndEnter's and XdndStatus's flags word.
constexpr long kMoreThanThreeTypes = 1;
constexpr long kWillAccept = 1;
constexpr long kWantsEveryPosition = 2;
constexpr long kDropTaken = 1;

std::string hostName()
{
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

// A property's items; nothing when it is missing or of another type or format.
template <typename Item>
std::vector<Item> readProperty(Display* display, Window window, Atom property, Atom type, int format, bool remove)
{
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<Item> result;
    if (XGetWindowProperty(display, window, property, 0, kLongestData, remove ? True : False, AnyPropertyType,
                           &actualType, &actualFormat, &items, &after, &data) != Success)
        return result;
    if (data && actualType == type && actualFormat == format) {
        const auto* first = reinterpret_cast<const Item*>(data);
        result.assign(first, first + items);
    }
    if (data)
        XFree(data);
    return result;
}

} // namespace

XdndReceiver::XdndReceiver(Display* display, Window window, CFrame& frame)
    : display(display), window(window), frame(frame)
{
    static const char* names[kNameCount] = {
        "XdndAware",    "XdndEnter",     "XdndPosition", "XdndStatus",     "XdndLeave",     "XdndDrop",
        "XdndFinished", "XdndSelection", "XdndTypeList", "XdndActionCopy", "text/uri-list",
    };
    XInternAtoms(display, const_cast<char**>(names), kNameCount, False, atoms.data());
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes))
        root = attributes.root;
    const long version = kVersion;
    XChangeProperty(display, window, atoms[kAware], XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&version), 1);
}

XdndReceiver::~XdndReceiver()
{
    reset();
}

void XdndReceiver::handle(const XEvent& event)
{
    if (event.type == SelectionNotify) {
        if (awaitingData && event.xselection.requestor == window && event.xselection.selection == atoms[kSelection])
            dataArrived(event.xselection);
        return;
    }
    if (event.type != ClientMessage || event.xclient.window != window || event.xclient.format != 32)
        return;
    const XClientMessageEvent& message = event.xclient;
    if (message.message_type == atoms[kEnter]) {
        enter(message);
        return;
    }
    // The rest belong to the drag in progress, and only to it.
    if (!source || static_cast<Window>(message.data.l[0]) != source || awaitingData)
        return;
    if (message.message_type == atoms[kPosition])
        position(message);
    else if (message.message_type == atoms[kDrop])
        drop(message);
    else if (message.message_type == atoms[kLeave]) {
        leaveViews();
        reset();
    }
}

void XdndReceiver::idle()
{
    if (awaitingData && std::chrono::steady_clock::now() - dropTime > kDataTimeLimit)
        fail();
}

void XdndReceiver::enter(const XClientMessageEvent& message)
{
    // A drag that never ended (its XdndLeave lost, its data never sent) ends now.
    if (awaitingData)
        fail();
    leaveViews();
    reset();
    const long version = (message.data.l[1] >> 24) & 0xff;
    if (version < kOldestVersion || version > kVersion)
        return;
    source = static_cast<Window>(message.data.l[0]);
    std::vector<Atom> types;
    if (message.data.l[1] & kMoreThanThreeTypes)
        types = readProperty<Atom>(display, source, atoms[kTypeList], XA_ATOM, 32, false);
    else
        types.assign(message.data.l + 2, message.data.l + 5);
    const bool files = std::find(types.begin(), types.end(), atoms[kUriList]) != types.end();
    drag = new CDragContainer(files ? kDragFile : kDragUnknown);
}

void XdndReceiver::position(const XClientMessageEvent& message)
{
    const int rootX = static_cast<int>((message.data.l[2] >> 16) & 0xffff);
    const int rootY = static_cast<int>(message.data.l[2] & 0xffff);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, root, window, rootX, rootY, &x, &y, &child);
    where = CPoint(x, y);
    drag->setAccepted(false);
    withContext([&](CDrawContext* context) {
        if (entered)
            frame.onDragMove(context, drag, where);
        else
            frame.onDragEnter(context, drag, where);
    });
    entered = true;
    accepted = drag->offersFiles() && drag->isAccepted();
    // An empty rectangle: every move is worth a new answer.
    send(atoms[kStatus], (accepted ? kWillAccept : 0) | kWantsEveryPosition, 0, 0,
         static_cast<long>(accepted ? atoms[kActionCopy] : None));
}

void XdndReceiver::drop(const XClientMessageEvent& message)
{
    if (!accepted) {
        fail();
        return;
    }
    // The selection's data comes in a SelectionNotify of a later pass, into a property of ours.
    XConvertSelection(display, atoms[kSelection], atoms[kUriList], atoms[kSelection], window,
                      static_cast<Time>(message.data.l[2]));
    awaitingData = true;
    dropTime = std::chrono::steady_clock::now();
}

void XdndReceiver::dataArrived(const XSelectionEvent& event)
{
    std::vector<std::string> paths;
    // A list too large for one property would come in pieces, typed INCR, and is refused here: no
    // list of dropped files is that large.
    if (event.property != None) {
        const auto text = readProperty<char>(display, window, event.property, atoms[kUriList], 8, true);
        paths = localFilePaths(std::string_view(text.data(), text.size()), hostName());
    }
    if (paths.empty()) {
        fail();
        return;
    }
    drag->setFilePaths(std::move(paths));
    bool taken = false;
    withContext([&](CDrawContext* context) { taken = frame.onDrop(context, drag, where); });
    finish(taken);
}

void XdndReceiver::fail()
{
    leaveViews();
    finish(false);
}

void XdndReceiver::leaveViews()
{
    if (entered)
        withContext([&](CDrawContext* context) { frame.onDragLeave(context, drag, where); });
    entered = false;
}

void XdndReceiver::finish(bool taken)
{
    send(atoms[kFinished], taken ? kDropTaken : 0, static_cast<long>(taken ? atoms[kActionCopy] : None), 0, 0);
    reset();
}

void XdndReceiver::reset()
{
    if (drag)
        drag->forget();
    drag = nullptr;
    source = 0;
    entered = false;
    accepted = false;
    awaitingData = false;
}

void XdndReceiver::send(Atom type, long l1, long l2, long l3, long l4)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = source;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(window);
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, source, False, NoEventMask, &event);
    XFlush(display);
}

template <typename Call>
void XdndReceiver::withContext(Call call)
{
    CDrawContext* context = frame.createDrawContext();
    call(context);
    context->forget();
}

} // namespace gui::portable
