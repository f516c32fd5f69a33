// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/quarvine_editor.h"

#include "gui/cframe.h"

#include <utility>
#if !defined(_WIN32)
#include "gui/portable/window_presenter.h"
#endif

QuarvineEditor::QuarvineEditor(AudioEffect* effect, CabinetHooks cabinet)
    : AEffGUIEditor(effect), cabinet(std::move(cabinet))
{
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<int16_t>(panel.height());
    rect.right = static_cast<int16_t>(panel.width());
}

QuarvineEditor::~QuarvineEditor()
{
    // The effect is going away with its editor: it takes no more edit brackets.
    frame = nullptr;
    panel.close();
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
    // A host that closes the editor during a drag still hears the edit end.
    if (frame)
        frame->endMouseTracking();
    // The panel owns the frame; the base only borrows it.
    frame = nullptr;
    panel.close();
}

bool QuarvineEditor::showsWindow() const
{
#if defined(_WIN32)
    return frame && frame->getSystemWindow();
#else
    return frame && gui::portable::presenter::nativeWindow(*frame) != 0;
#endif
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

std::string QuarvineEditor::cabinetStatus()
{
    return cabinet.status ? cabinet.status() : std::string();
}

void QuarvineEditor::fileDropped(const std::string& path)
{
    if (cabinet.load)
        cabinet.load(path);
}
