// SPDX-License-Identifier: GPL-3.0-or-later
// OLE drag and drop: the frame's drop target and the description of what is dragged.
#include "gui/cdroptarget.h"

#include "gui/cdragcontainer.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"

#include <shellapi.h>

namespace gui {

namespace {

// Only one drag is tracked at a time, whichever frame it is over.
CDragContainer* currentDrag = nullptr;

// Asks the data object for one format as a global memory handle; answers the item count it
// stands for, or -1 when the format is not offered.
template <typename Count>
int32_t countFormat(IDataObject* data, CLIPFORMAT format, Count count)
{
    FORMATETC request{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data->GetData(&request, &medium) != S_OK)
        return -1;
    const int32_t items = count(medium);
    // The medium is ours once GetData handed it out.
    ReleaseStgMedium(&medium);
    return items;
}

// Runs one view-tree drag operation in a context of its own, at the cursor.
template <typename Operation>
void withFrameContext(CFrame* frame, Operation operation)
{
    CDrawContext* context = frame->createDrawContext();
    CPoint where;
    frame->getMouseLocation(context, where);
    operation(context, where);
    context->forget();
}

} // namespace

CDragContainer* currentDragContainer()
{
    return currentDrag;
}

CDragContainer::CDragContainer(void* platformDrag) : platformDrag(platformDrag)
{
    auto* data = static_cast<IDataObject*>(platformDrag);
    if (!data)
        return;
    int32_t items = countFormat(data, CF_TEXT, [](const STGMEDIUM&) { return 1; });
    if (items < 0)
        items = countFormat(data, CF_HDROP, [](const STGMEDIUM& medium) {
            return static_cast<int32_t>(DragQueryFileA(static_cast<HDROP>(medium.hGlobal), 0xFFFFFFFF, nullptr, 0));
        });
    // Neither text nor files: nothing the views could take.
    count = items < 0 ? 0 : items;
}

HRESULT STDMETHODCALLTYPE CDropTarget::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IDropTarget) || IsEqualIID(iid, IID_IUnknown)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CDropTarget::AddRef()
{
    return static_cast<ULONG>(++references);
}

ULONG STDMETHODCALLTYPE CDropTarget::Release()
{
    if (--references <= 0) {
        delete this;
        return 0;
    }
    return static_cast<ULONG>(references);
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    if (!data || !frame) {
        if (effect)
            *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    // A drag that never left (a lost DragLeave) must not leak its container.
    if (currentDrag)
        currentDrag->forget();
    currentDrag = new CDragContainer(data);
    withFrameContext(frame, [&](CDrawContext* context, const CPoint& where) {
        frame->onDragEnter(context, currentDrag, where);
    });
    if (effect)
        *effect = DROPEFFECT_MOVE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragOver(DWORD, POINTL, DWORD* effect)
{
    if (!currentDrag)
        return S_OK;
    if (frame) {
        withFrameContext(frame, [&](CDrawContext* context, const CPoint& where) {
            frame->onDragMove(context, currentDrag, where);
        });
        if (effect)
            *effect = DROPEFFECT_MOVE;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragLeave()
{
    if (currentDrag && frame) {
        withFrameContext(frame, [&](CDrawContext* context, const CPoint& where) {
            frame->onDragLeave(context, currentDrag, where);
        });
        currentDrag->forget();
        currentDrag = nullptr;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::Drop(IDataObject*, DWORD, POINTL, DWORD*)
{
    if (currentDrag && frame) {
        withFrameContext(frame, [&](CDrawContext* context, const CPoint& where) {
            frame->onDrop(context, currentDrag, where);
        });
        currentDrag->forget();
        currentDrag = nullptr;
    }
    return S_OK;
}

} // namespace gui
