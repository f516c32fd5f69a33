// SPDX-License-Identifier: GPL-3.0-or-later
// OLE drag and drop: the frame's drop target and the description of what is dragged.
#include "gui/cdroptarget.h"

#include "gui/cdragcontainer.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace gui {

namespace {

// Only one drag is tracked at a time, whichever frame it is over.
CDragContainer* currentDrag = nullptr;

// Asks the data object for one format as a global memory handle and hands the medium to `read`;
// false when the format is not offered.
template <typename Read>
bool readFormat(IDataObject* data, CLIPFORMAT format, Read read)
{
    FORMATETC request{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data->GetData(&request, &medium) != S_OK)
        return false;
    read(medium);
    // The medium is ours once GetData handed it out.
    ReleaseStgMedium(&medium);
    return true;
}

std::string utf8(const std::wstring& wide)
{
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, result.data(), size, nullptr, nullptr);
    return result;
}

// The file list's names, asked for in UTF-16 so that no name is lost to the ANSI code page.
std::vector<std::string> droppedPaths(HDROP drop)
{
    std::vector<std::string> paths;
    const UINT files = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < files; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length, L'\0');
        if (length > 0 && DragQueryFileW(drop, i, name.data(), length + 1) == length)
            paths.push_back(utf8(name));
    }
    return paths;
}

// What the source is told: files are copied when the view under the pointer takes them and the
// source allows a copy, and refused otherwise (a move would let the source delete the user's
// file); other data keeps the move answer it has always had.
DWORD dragEffect(const CDragContainer& drag, DWORD allowed)
{
    if (!drag.offersFiles())
        return DROPEFFECT_MOVE;
    return drag.isAccepted() && (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
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
    if (readFormat(data, CF_TEXT, [](const STGMEDIUM&) {})) {
        type = kDragText;
        count = 1;
    } else if (readFormat(data, CF_HDROP, [&](const STGMEDIUM& medium) {
                   files = droppedPaths(static_cast<HDROP>(medium.hGlobal));
               })) {
        type = kDragFile;
        count = static_cast<int32_t>(files.size());
    }
    // Neither text nor files: nothing the views could take, and a count of 0.
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
        *effect = dragEffect(*currentDrag, *effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragOver(DWORD, POINTL, DWORD* effect)
{
    if (!currentDrag)
        return S_OK;
    if (frame) {
        currentDrag->setAccepted(false);
        withFrameContext(frame, [&](CDrawContext* context, const CPoint& where) {
            frame->onDragMove(context, currentDrag, where);
        });
        if (effect)
            *effect = dragEffect(*currentDrag, *effect);
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

HRESULT STDMETHODCALLTYPE CDropTarget::Drop(IDataObject*, DWORD, POINTL, DWORD* effect)
{
    if (currentDrag && frame) {
        bool taken = false;
        withFrameContext(frame, [&](CDrawContext* context, const CPoint& where) {
            taken = frame->onDrop(context, currentDrag, where);
        });
        // The effect the source acts on: a copy of files a view took, else nothing done.
        if (effect && currentDrag->offersFiles())
            *effect = taken ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        currentDrag->forget();
        currentDrag = nullptr;
    }
    return S_OK;
}

} // namespace gui
