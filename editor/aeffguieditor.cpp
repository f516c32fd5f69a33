// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/aeffguieditor.h"

#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/platform.h"
#include "host/audioeffectx.h"

VstInt32 AEffGUIEditor::knobMode = 0;

AEffGUIEditor::AEffGUIEditor(AudioEffect* owner) : AEffEditor(owner)
{
    lastTicks = gui::platform::tickCount();
    if (effect)
        effect->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor()
{
    if (frame)
        frame->forget();
    frame = nullptr;
}

bool AEffGUIEditor::getRect(ERect** result)
{
    *result = &rect;
    return true;
}

void AEffGUIEditor::idle()
{
    if (inIdleStuff)
        return;
    if (frame)
        frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode)
{
    return frame && frame->onKeyDown(keyCode) == 1;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode)
{
    return frame && frame->onKeyUp(keyCode) == 1;
}

bool AEffGUIEditor::onWheel(float distance)
{
    if (!frame)
        return false;
    gui::CDrawContext* context = frame->createDrawContext();
    gui::CPoint where = gui::platform::cursorScreenPosition();
    where.offset(-context->offsetScreen.h, -context->offsetScreen.v);
    const bool result = frame->onWheel(context, where, distance);
    context->forget();
    return result;
}

bool AEffGUIEditor::setKnobMode(VstInt32 val)
{
    knobMode = val;
    return true;
}

float AEffGUIEditor::parameterValue(int index)
{
    return effect->getParameter(index);
}

void AEffGUIEditor::editParameter(int index, float value)
{
    effect->setParameterAutomated(index, value);
}

std::string AEffGUIEditor::parameterDisplay(int index)
{
    // Hosts give a buffer of this size; effects may write more than the eight characters promised.
    char text[256] = {};
    effect->getParameterDisplay(index, text);
    return text;
}

void AEffGUIEditor::beginEdit(VstInt32 index)
{
    static_cast<AudioEffectX*>(effect)->beginEdit(index);
}

void AEffGUIEditor::endEdit(VstInt32 index)
{
    static_cast<AudioEffectX*>(effect)->endEdit(index);
}

bool AEffGUIEditor::frameRequestSize(int32_t width, int32_t height)
{
    auto* host = static_cast<AudioEffectX*>(effect);
    char sizeWindow[] = "sizeWindow";
    return host && host->canHostDo(sizeWindow) != 0 && host->sizeWindow(width, height);
}

void AEffGUIEditor::doIdleStuff()
{
    uint32_t now = gui::platform::tickCount();
    if (now < lastTicks) {
        gui::platform::sleepMilliseconds(4);
        now += 4;
        if (now < lastTicks - 50)
            return;
    }
    idle();
    gui::platform::dispatchOnePendingRepaint();
    lastTicks = now + 100;
    inIdleStuff = true;
    effect->masterIdle();
    inIdleStuff = false;
}
