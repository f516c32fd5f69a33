// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/quarvine_editor.h"

#include "gui/cframe.h"

QuarvineEditor::QuarvineEditor(AudioEffect* effect) : AEffGUIEditor(effect)
{
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<int16_t>(panel.height());
    rect.right = static_cast<int16_t>(panel.width());
}

QuarvineEditor::~QuarvineEditor()
{
    close();
}

bool QuarvineEditor::open(void* parentWindow)
{
    close();
    AEffGUIEditor::open(parentWindow);
    if (!panel.open(parentWindow)) {
        AEffEditor::close();
        return false;
    }
    frame = panel.getFrame();
    return true;
}

void QuarvineEditor::close()
{
    // The panel owns the frame; the base only borrows it.
    frame = nullptr;
    panel.close();
}

void QuarvineEditor::setParameter(VstInt32 index, float)
{
    panel.parameterChanged(index);
}

void QuarvineEditor::idle()
{
    panel.applyPendingValues();
    AEffGUIEditor::idle();
}
