// SPDX-License-Identifier: GPL-3.0-or-later
// What a drag-and-drop carries into the view tree.
#pragma once

#include "gui/creferencecounter.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gui {

enum CDragType : int32_t { kDragFile = 0, kDragText, kDragUnknown = -1, kDragError = -2 };

class CDragContainer : public CReferenceCounter {
public:
#if defined(_WIN32)
    // Reads what the platform's data object offers: text is one item, a file list one per file.
    explicit CDragContainer(void* platformDrag);
#else
    explicit CDragContainer(void* platformDrag = nullptr) : platformDrag(platformDrag) {}
    // A drag of files (kDragFile) or of data the views cannot take; X tells the paths only at the
    // drop, through setFilePaths.
    explicit CDragContainer(CDragType type, std::vector<std::string> paths = {})
        : platformDrag(nullptr), type(type)
    {
        setFilePaths(std::move(paths));
    }
    void setFilePaths(std::vector<std::string> paths)
    {
        files = std::move(paths);
        count = static_cast<int32_t>(files.size());
    }
#endif

    int32_t getCount() const { return count; }
    void* getPlatformDrag() const { return platformDrag; }
    // Whether files are dragged, even while their paths are not known yet.
    bool offersFiles() const { return type == kDragFile; }
    // The dropped files' paths in UTF-8; empty for text and unknown data.
    const std::vector<std::string>& filePaths() const { return files; }
    // The view under the pointer answers here, on each enter and move, whether it would take the
    // drop; the platform tells the drag's source.
    void setAccepted(bool state) { accepted = state; }
    bool isAccepted() const { return accepted; }

private:
    void* platformDrag;
    CDragType type = kDragUnknown;
    int32_t count = 0;
    std::vector<std::string> files;
    bool accepted = false;
};

} // namespace gui
