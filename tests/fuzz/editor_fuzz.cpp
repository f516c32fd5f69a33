// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's event entry points without a display: open and close, presses with scripted
// drags and modifiers, wheel turns, keys, paints, idle passes and host parameter changes, in
// random order. The live input is scripted (tests/editor), so the modal drags end and the clock
// is the test's own. Promises checked: every control shows the effect's value for its parameter
// (a knob to within its handle's pixel), edits towards the host come in begin/end pairs, and what
// the editor automates is a value on the parameter's travel.
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "gui/canimknob.h"
#include "gui/ccontrol.h"
#include "gui/cframe.h"
#include "gui/csegmentswitch.h"
#include "gui/cstepselector.h"
#include "gui/portable/portable_window.h"
#include "recording_host.h"
#include "scripted_input.h"

#include <cmath>
#include <thread>
#include <vector>

namespace {

using editor_test::InputStep;
using editor_test::RecordingHost;
using editor_test::ScriptedInput;
using fuzz::FuzzInput;

// An address rather than an X window id: the editor keeps its window in memory.
int parentStandIn;

// Each open decodes the knob strip: a few per input keep the fuzzer fast.
constexpr int kMaxOpens = 3;
constexpr int kMaxSteps = 256;
// About two pixels of a knob handle's travel (a radius of 25 pixels over 300 degrees).
constexpr float kHandlePixelSpan = 0.02f;
constexpr int kPanelWidth = 680;
constexpr int kPanelHeight = 120;
constexpr int32_t kButtonBits[] = {gui::kLButton, gui::kLButton, gui::kLButton, 2, 4,
                                   gui::kShift,   gui::kControl, gui::kAlt,     gui::kApple};

class EditorSession {
public:
    explicit EditorSession(FuzzInput& input) : in(input)
    {
        // Shared by every editor of the module: start each input from the default.
        editor.setKnobMode(0);
    }

    void run()
    {
        if (in.flag())
            open();
        while (!in.empty() && steps++ < kMaxSteps) {
            step();
            checkControls();
        }
        editor.close();
        checkEditsPaired();
    }

private:
    void open()
    {
        if (opens++ < kMaxOpens) {
            editor.open(&parentStandIn);
            changedElsewhere = false;
        }
    }

    void hostOpensOrCloses()
    {
        // As the host does it, through the dispatcher.
        if (!in.flag())
            host.effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        else if (opens++ < kMaxOpens) {
            host.effect->dispatcher(effEditOpen, 0, 0, &parentStandIn, 0.0f);
            changedElsewhere = false;
        }
    }

    gui::CPoint point()
    {
        // Mostly on the panel, where the controls are; sometimes anywhere.
        if (in.byte() % 8 != 0)
            return {in.between(-4, kPanelWidth + 4), in.between(-4, kPanelHeight + 4)};
        return {static_cast<int16_t>(in.u16()), static_cast<int16_t>(in.u16())};
    }

    int32_t buttons()
    {
        int32_t state = 0;
        const uint32_t bits = in.u16();
        for (size_t i = 0; i < sizeof kButtonBits / sizeof kButtonBits[0]; ++i)
            if (bits & (1u << i))
                state |= kButtonBits[i];
        return state;
    }

    void press(gui::CFrame& frame)
    {
        const gui::CPoint where = point();
        const int32_t held = buttons();
        std::vector<InputStep> drag;
        const int moves = static_cast<int>(in.below(24));
        for (int i = 0; i < moves; ++i)
            drag.push_back({point(), in.byte() % 4 == 0 ? buttons() : held});
        // The button is let go at the end, so that the drag's loop ends.
        drag.push_back({drag.empty() ? where : drag.back().cursor, 0});
        input.script(held, std::move(drag));
        input.cursor = where;
        gui::portable::buttonDown(frame, where);
        checkEditsPaired();
    }

    void step()
    {
        gui::CFrame* frame = editor.getFrame();
        switch (in.byte() % 12) {
        case 0:
            open();
            break;
        case 1:
            hostOpensOrCloses();
            break;
        case 2:
            editor.close();
            break;
        case 3:
        case 4:
            if (frame)
                press(*frame);
            break;
        case 5:
            if (frame) {
                input.cursor = point();
                input.buttons = buttons();
                if (in.flag())
                    gui::portable::wheel(*frame, input.cursor, static_cast<int16_t>(in.u16()));
                else
                    editor.onWheel(static_cast<float>(in.between(-3, 3)));
                checkEditsPaired();
            }
            break;
        case 6: {
            const VstInt32 opcode = in.flag() ? effEditKeyDown : effEditKeyUp;
            const VstInt32 character = in.flag() ? in.between(0, 127) : static_cast<VstInt32>(in.u32());
            host.effect->dispatcher(opcode, character, in.byte(), nullptr, static_cast<float>(in.byte()));
            checkEditsPaired();
            break;
        }
        case 7: {
            // The host changes a parameter (automation, a preset), on the editor's thread or on
            // another one; the editor shows the latter at its next idle pass.
            const VstInt32 index = static_cast<VstInt32>(in.below(8));
            const float value = in.parameterValue();
            if (in.flag()) {
                host.effect->setParameter(index, value);
            } else {
                std::thread([&] { host.effect->setParameter(index, value); }).join();
                changedElsewhere = true;
            }
            break;
        }
        case 8:
            input.ticks += in.byte();
            host.effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
            changedElsewhere = false;
            break;
        case 9:
            if (frame) {
                const gui::CPoint a = point(), b = point();
                gui::portable::paint(*frame, gui::CRect(a.h, a.v, b.h, b.v));
            }
            break;
        case 10:
            editor.setKnobMode(in.between(0, 2));
            break;
        default: {
            ERect* rect = nullptr;
            FUZZ_CHECK(editor.getRect(&rect) && rect, "no editor rectangle");
            FUZZ_CHECK(rect->right - rect->left == kPanelWidth && rect->bottom - rect->top == kPanelHeight,
                       "the panel is %d x %d", rect->right - rect->left, rect->bottom - rect->top);
            break;
        }
        }
    }

    // Each control shows its parameter's value as the effect reads it back, after the editor's
    // own edits and the host's changes alike.
    void checkControls()
    {
        if (changedElsewhere && editor.getFrame())
            return;
        for (int i = 0; i < QuarvineEditor::kNumControls; ++i) {
            const gui::CControl* control =
                i < QuarvineEditor::kNumKnobs ? static_cast<const gui::CControl*>(editor.getKnob(i))
                : i == QuarvineEditor::kOversamplingParameter
                    ? static_cast<const gui::CControl*>(editor.getOversamplingSwitch())
                    : static_cast<const gui::CControl*>(editor.getCabinetSelector());
            if (!control)
                continue;
            const float shown = control->getValue();
            const float held = host.effect->getParameter(i);
            // A knob tells its listener only when it is dirty, and a film-strip knob whose handle
            // stays on the same pixel is not: a drag's last small step can leave the knob that
            // close to, but not at, the value the effect was told.
            const float slack = i < QuarvineEditor::kNumKnobs ? kHandlePixelSpan : 0.0f;
            FUZZ_CHECK(std::abs(shown - held) <= slack, "control %d shows %g, the effect holds %g", i,
                       static_cast<double>(shown), static_cast<double>(held));
        }
    }

    void checkEditsPaired()
    {
        int open = 0;
        for (const editor_test::RecordedCall& call : host.calls) {
            if (call.opcode == audioMasterBeginEdit)
                ++open;
            if (call.opcode == audioMasterEndEdit) {
                --open;
                FUZZ_CHECK(open >= 0, "an end of edit without a beginning (parameter %d)", call.index);
            }
            if (call.opcode == audioMasterAutomate)
                FUZZ_CHECK(std::isfinite(call.opt) && fuzz::insideUnitRange(call.opt) && call.index >= 0 &&
                               call.index < QuarvineEditor::kNumControls,
                           "parameter %d automated to %g", call.index, static_cast<double>(call.opt));
        }
        FUZZ_CHECK(open == 0, "%d edits left open after a gesture", open);
        host.calls.clear();
    }

    FuzzInput& in;
    ScriptedInput input; // before the host, so that the editor reads the scripted clock
    RecordingHost host;
    QuarvineEditor& editor = host.editor();
    int steps = 0;
    int opens = 0;
    // A change from another thread waits for an idle pass (or a drag's idle work, or an open).
    bool changedElsewhere = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    EditorSession session(input);
    session.run();
    return 0;
}
