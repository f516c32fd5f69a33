// SPDX-License-Identifier: GPL-3.0-or-later
// What a drag source hands a drop target: text, a file list (CF_HDROP) in ANSI or UTF-16, or a
// format nobody takes; it counts the requests and the releases of the media it hands out.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace win32_test {

// Counts the releases of the storage media handed out.
class ReleaseCounter : public IUnknown {
public:
    STDMETHOD(QueryInterface)(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override
    {
        ++releases;
        return 1;
    }
    int releases = 0;
};

// Offers text, a file list, or nothing.
class FakeData : public IDataObject {
public:
    FakeData(CLIPFORMAT format, std::vector<std::string> files = {}) : format(format), files(std::move(files)) {}
    // A file list in UTF-16, as the shell sends it.
    explicit FakeData(std::vector<std::wstring> wideFiles) : format(CF_HDROP), wideFiles(std::move(wideFiles)) {}

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetData)(FORMATETC* request, STGMEDIUM* medium) override
    {
        ++requests;
        if (request->cfFormat != format || !(request->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        HGLOBAL memory = nullptr;
        if (format == CF_TEXT) {
            memory = GlobalAlloc(GMEM_MOVEABLE, 6);
            std::memcpy(GlobalLock(memory), "hello", 6);
            GlobalUnlock(memory);
        } else {
            // The list's bytes: each name ends in a NUL character, and the list in one more.
            std::string names;
            for (const auto& file : files)
                names += file + '\0';
            for (const auto& file : wideFiles)
                names.append(reinterpret_cast<const char*>(file.c_str()), (file.size() + 1) * sizeof(wchar_t));
            names.append(wideFiles.empty() ? 1 : sizeof(wchar_t), '\0');
            memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
            auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
            drop->pFiles = sizeof(DROPFILES);
            drop->fWide = !wideFiles.empty();
            std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size());
            GlobalUnlock(memory);
        }
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        // With a release object, releasing the medium calls it instead of freeing the memory.
        medium->pUnkForRelease = &counter;
        memories.push_back(memory);
        return S_OK;
    }
    STDMETHOD(GetDataHere)(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHOD(QueryGetData)(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHOD(GetCanonicalFormatEtc)(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHOD(SetData)(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHOD(EnumFormatEtc)(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHOD(DAdvise)(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(DUnadvise)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(EnumDAdvise)(IEnumSTATDATA**) override { return E_NOTIMPL; }

    ~FakeData()
    {
        for (HGLOBAL memory : memories)
            GlobalFree(memory);
    }

    CLIPFORMAT format;
    std::vector<std::string> files;
    std::vector<std::wstring> wideFiles;
    ReleaseCounter counter;
    std::vector<HGLOBAL> memories;
    int requests = 0;
};

} // namespace win32_test
