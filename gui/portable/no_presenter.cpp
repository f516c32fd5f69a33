// SPDX-License-Identifier: GPL-3.0-or-later
// Platforms without a window presenter: frames keep their in-memory window only.
#include "gui/portable/window_presenter.h"

namespace gui::portable::presenter {

bool wantsWindow(void*) { return false; }
bool attach(CFrame&, PixelSurface&, void*) { return false; }
void detach(CFrame&) {}
void resized(CFrame&, PixelSurface&) {}
void setCursor(CFrame&, int32_t) {}
uintptr_t nativeWindow(const CFrame&) { return 0; }

} // namespace gui::portable::presenter
