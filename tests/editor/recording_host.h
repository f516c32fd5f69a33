// SPDX-License-Identifier: GPL-3.0-or-later
// The effect with the editor, created on a host callback that records what it is told.
#pragma once

#include "effect/quarvine.h"
#include "editor/quarvine_editor.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace editor_test {

struct RecordedCall {
    VstInt32 opcode;
    VstInt32 index;
    float opt;
};

class RecordingHost {
public:
    RecordingHost()
    {
        current = this;
        effect = std::make_unique<Quarvine>(&RecordingHost::callback);
        calls.clear();
    }
    ~RecordingHost() { current = nullptr; }

    QuarvineEditor& editor() { return *static_cast<QuarvineEditor*>(effect->getEditor()); }
    std::vector<RecordedCall> callsExcept(VstInt32 ignored) const
    {
        std::vector<RecordedCall> result;
        for (const RecordedCall& call : calls)
            if (call.opcode != ignored)
                result.push_back(call);
        return result;
    }

    std::unique_ptr<Quarvine> effect;
    std::vector<RecordedCall> calls;
    VstIntPtr sizeWindowAnswer = 0;

private:
    static VstIntPtr VSTCALLBACK callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
    {
        if (!current)
            return 0;
        current->calls.push_back({opcode, index, opt});
        if (opcode == audioMasterVersion)
            return 2400;
        if (opcode == audioMasterSizeWindow || opcode == audioMasterCanDo)
            return current->sizeWindowAnswer;
        return 0;
    }

    static inline RecordingHost* current = nullptr;
};

// What reached the host since the last look (idle calls left out) is one edit of the parameter to
// `value`, bracketed, and the effect holds the value.
inline void expectOneEdit(RecordingHost& host, VstInt32 index, float value)
{
    const std::vector<RecordedCall> calls = host.callsExcept(audioMasterIdle);
    host.calls.clear();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[1].opt, value);
    EXPECT_EQ(calls[2].opcode, audioMasterEndEdit);
    for (const RecordedCall& call : calls)
        EXPECT_EQ(call.index, index);
    EXPECT_EQ(host.effect->getParameter(index), value);
}

} // namespace editor_test
