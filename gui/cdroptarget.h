// The platform's drop target of one frame; it hands drag events to the frame's view tree.
#pragma once

#include <cstdint>

namespace gui {

class CFrame;

class CDropTarget {
public:
    explicit CDropTarget(CFrame* frame) : frame(frame) {}
    virtual ~CDropTarget() = default;

    CFrame* getFrame() const { return frame; }
    void release() { delete this; }

private:
    CFrame* frame;
};

} // namespace gui
