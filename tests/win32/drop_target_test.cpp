// SPDX-License-Identifier: GPL-3.0-or-later
// OLE drag and drop: item counts of dragged data, the order of drag events at the frame, the
// drop target's interfaces, and a file dropped on the amplifier's panel.
#include "fake_drop_data.h"
#include "gui_test_support.h"

#include "editor/amp_panel.h"
#include "gui/cdragcontainer.h"
#include "gui/cdroptarget.h"
#include "gui/cframe.h"

#include "tests/editor/drop_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace win32_test {

namespace {

struct DragEvent {
    std::string name;
    gui::CDragContainer* container;
    int32_t count;
    int32_t references;
};

// A frame that logs the drag events the drop target hands it.
class LoggingFrame : public gui::CFrame {
public:
    using CFrame::CFrame;
    void onDragEnter(gui::CDrawContext*, gui::CDragContainer* drag, const gui::CPoint&) override
    {
        log("enter", drag);
    }
    void onDragMove(gui::CDrawContext*, gui::CDragContainer* drag, const gui::CPoint&) override { log("move", drag); }
    void onDragLeave(gui::CDrawContext*, gui::CDragContainer* drag, const gui::CPoint&) override
    {
        log("leave", drag);
    }
    bool onDrop(gui::CDrawContext*, gui::CDragContainer* drag, const gui::CPoint&) override
    {
        log("drop", drag);
        return false;
    }
    std::vector<DragEvent> events;

private:
    void log(const char* name, gui::CDragContainer* drag)
    {
        events.push_back({name, drag, drag ? drag->getCount() : -1, drag ? drag->getNbReference() : -1});
    }
};

class DropTargetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(moduleInstanceSet);
        parent = makeWindow(nullptr, 300, 300, 120, 80);
        frame = new LoggingFrame(gui::CRect(0, 0, 120, 80), parent, nullptr);
        target = new gui::CDropTarget(frame);
        target->AddRef();
    }
    void TearDown() override
    {
        target->Release();
        frame->forget();
        DestroyWindow(parent);
    }

    int32_t enterAndLeave(FakeData& data)
    {
        DWORD effect = DROPEFFECT_COPY;
        POINTL point{0, 0};
        target->DragEnter(&data, 0, point, &effect);
        const int32_t count = frame->events.empty() ? -1 : frame->events.back().count;
        target->DragLeave();
        return count;
    }

    HWND parent = nullptr;
    LoggingFrame* frame = nullptr;
    gui::CDropTarget* target = nullptr;
};

TEST_F(DropTargetTest, TextCountsOneItemAndFilesCountEach)
{
    FakeData text(CF_TEXT);
    EXPECT_EQ(enterAndLeave(text), 1);
    FakeData files(CF_HDROP, {"C:\\a.wav", "C:\\b.wav", "C:\\c.wav"});
    EXPECT_EQ(enterAndLeave(files), 3);
    // The file list was asked for only after the text was refused.
    EXPECT_EQ(files.requests, 2);
}

TEST_F(DropTargetTest, DataWithNeitherTextNorFilesCountsNothing)
{
    FakeData bitmap(CF_BITMAP);
    EXPECT_EQ(enterAndLeave(bitmap), 0);
}

TEST_F(DropTargetTest, EveryMediumHandedOutIsReleased)
{
    FakeData text(CF_TEXT);
    enterAndLeave(text);
    EXPECT_EQ(text.counter.releases, 1);
    FakeData files(CF_HDROP, {"C:\\one.txt"});
    enterAndLeave(files);
    EXPECT_EQ(files.counter.releases, 1);
}

TEST_F(DropTargetTest, EnterMovesAndLeaveReachTheFrameInOrderWithOneContainer)
{
    FakeData text(CF_TEXT);
    DWORD effect = DROPEFFECT_COPY;
    POINTL point{0, 0};
    ASSERT_EQ(target->DragEnter(&text, MK_LBUTTON, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
    for (DWORD keys : {DWORD(MK_LBUTTON), DWORD(MK_LBUTTON | MK_CONTROL)}) {
        effect = DROPEFFECT_COPY;
        ASSERT_EQ(target->DragOver(keys, point, &effect), S_OK);
        // Whatever the keys, a move is what would be accepted.
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
    }
    gui::CDragContainer* current = gui::currentDragContainer();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->getPlatformDrag(), static_cast<IDataObject*>(&text));
    ASSERT_EQ(target->DragLeave(), S_OK);
    EXPECT_EQ(gui::currentDragContainer(), nullptr);

    ASSERT_EQ(frame->events.size(), 4u);
    const char* names[] = {"enter", "move", "move", "leave"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(frame->events[i].name, names[i]);
        EXPECT_EQ(frame->events[i].container, current);
        // Only the drop target holds it, and it lets go after the leave.
        EXPECT_EQ(frame->events[i].references, 1);
    }
}

TEST_F(DropTargetTest, DropEndsTheDragAndLaterEventsDoNothing)
{
    FakeData files(CF_HDROP, {"C:\\x"});
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    POINTL point{0, 0};
    target->DragEnter(&files, 0, point, &effect);
    // No view takes files here: neither a copy nor a move, after which the source would delete
    // the file.
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = DROPEFFECT_LINK;
    target->Drop(&files, 0, point, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(gui::currentDragContainer(), nullptr);
    effect = DROPEFFECT_COPY;
    target->DragOver(0, point, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    target->DragLeave();
    ASSERT_EQ(frame->events.size(), 2u);
    EXPECT_EQ(frame->events[1].name, "drop");
}

TEST_F(DropTargetTest, EnterWithoutDataRefusesTheDrag)
{
    DWORD effect = DROPEFFECT_COPY;
    POINTL point{0, 0};
    EXPECT_EQ(target->DragEnter(nullptr, 0, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_TRUE(frame->events.empty());
    EXPECT_EQ(gui::currentDragContainer(), nullptr);
}

TEST_F(DropTargetTest, QueryInterfaceAnswersOnlyItsTwoInterfaces)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(target->QueryInterface(IID_IDataObject, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(target->QueryInterface(IID_IDropTarget, &object), S_OK);
    EXPECT_EQ(object, static_cast<IDropTarget*>(target));
    EXPECT_EQ(target->getReferenceCount(), 2);
    EXPECT_EQ(target->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(target->Release(), 2u);
    EXPECT_EQ(target->Release(), 1u);
}

TEST_F(DropTargetTest, FrameRegistersItsTargetAndRevokesIt)
{
    HWND window = static_cast<HWND>(frame->getSystemWindow());
    EXPECT_TRUE(frame->isDropActive());
    // Already taken by the frame's own target.
    EXPECT_EQ(RegisterDragDrop(window, target), DRAGDROP_E_ALREADYREGISTERED);
    frame->setDropActive(false);
    EXPECT_FALSE(frame->isDropActive());
    EXPECT_EQ(RegisterDragDrop(window, target), S_OK);
    EXPECT_EQ(RevokeDragDrop(window), S_OK);
}

TEST(PanelDrop, AFileNamedOutsideAsciiReachesThePanelsOwnerInUtf8AsACopy)
{
    ASSERT_TRUE(moduleInstanceSet);
    editor_test::DropRecorder owner;
    AmpPanel panel(owner);
    HWND parent = makeWindow(nullptr, 300, 300, panel.width(), panel.height());
    ASSERT_TRUE(panel.open(parent));
    gui::CDropTarget* target = panel.getFrame()->getDropTarget();
    ASSERT_NE(target, nullptr);
    FakeData files(std::vector<std::wstring>{L"C:\\IR\\K\u00F6lsch \u97F3.wav", L"C:\\IR\\second.wav"});
    POINTL point{0, 0};
    const DWORD offered = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    DWORD effect = offered;
    target->DragEnter(&files, MK_LBUTTON, point, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    effect = offered;
    target->DragOver(MK_LBUTTON, point, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    effect = offered;
    target->Drop(&files, 0, point, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    // The first of the files; ö is U+00F6 (C3 B6 in UTF-8), 音 U+97F3 (E9 9F B3).
    EXPECT_EQ(owner.dropped, std::vector<std::string>{"C:\\IR\\K\xC3\xB6lsch \xE9\x9F\xB3.wav"});
    panel.close();
    DestroyWindow(parent);
}

} // namespace

} // namespace win32_test
