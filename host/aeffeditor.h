// SPDX-License-Identifier: GPL-3.0-or-later
// Host-facing editor base: knows its effect and the parent window the host handed over.
#pragma once

#include "host/aeffectx.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* owner) : effect(owner), systemWindow(nullptr) {}
    virtual ~AEffEditor() = default;

    virtual AudioEffect* getEffect() { return effect; }
    virtual bool getRect(ERect** rect)
    {
        *rect = nullptr;
        return false;
    }
    virtual bool open(void* ptr)
    {
        systemWindow = ptr;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }
    virtual bool setKnobMode(VstInt32 /*val*/) { return false; }

protected:
    AudioEffect* effect;
    void* systemWindow;
};
