// SPDX-License-Identifier: GPL-3.0-or-later
// What a drag-and-drop carries into the view tree.
#pragma once

#include "gui/creferencecounter.h"

#include <cstdint>

namespace gui {

enum CDragType : int32_t { kDragFile = 0, kDragText, kDragUnknown = -1, kDragError = -2 };

class CDragContainer : public CReferenceCounter {
public:
#if defined(_WIN32)
    // Counts what the platform's data object offers: text is one item, a file list one per file.
    explicit CDragContainer(void* platformDrag);
#else
    explicit CDragContainer(void* platformDrag = nullptr) : platformDrag(platformDrag) {}
#endif

    int32_t getCount() const { return count; }
    void* getPlatformDrag() const { return platformDrag; }

private:
    void* platformDrag;
    int32_t count = 0;
};

} // namespace gui
