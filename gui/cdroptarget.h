// SPDX-License-Identifier: GPL-3.0-or-later
// The platform's drop target of one frame; it hands drag events to the frame's view tree.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <ole2.h>
#endif

namespace gui {

class CFrame;

#if defined(_WIN32)
// An OLE drop target. It starts with no reference: registering it gives the platform the first
// one, and revoking the registration hands it back, which destroys it.
class CDropTarget : public IDropTarget {
public:
    explicit CDropTarget(CFrame* frame) : frame(frame) {}
    virtual ~CDropTarget() = default;

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(DragEnter)(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    STDMETHOD(DragOver)(DWORD keyState, POINTL point, DWORD* effect) override;
    STDMETHOD(DragLeave)() override;
    STDMETHOD(Drop)(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

    CFrame* getFrame() const { return frame; }
    int32_t getReferenceCount() const { return references; }
    // Destroys a target the platform never took.
    void release() { delete this; }

private:
    int32_t references = 0;
    CFrame* frame;
};

class CDragContainer;
// The drag in progress over any frame of the module, or null.
CDragContainer* currentDragContainer();
#else
class CDropTarget {
public:
    explicit CDropTarget(CFrame* frame) : frame(frame) {}
    virtual ~CDropTarget() = default;

    CFrame* getFrame() const { return frame; }
    void release() { delete this; }

private:
    CFrame* frame;
};
#endif

} // namespace gui
