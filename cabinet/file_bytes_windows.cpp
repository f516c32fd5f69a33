// SPDX-License-Identifier: GPL-3.0-or-later
#include "file_bytes.h"

#include <windows.h>

namespace quarvine {
namespace {

std::wstring widened(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

// In English whatever the system's language, like the other refusals on the name plate.
std::string describe(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return "no such file";
    case ERROR_ACCESS_DENIED:
        return "access denied";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return "in use by another program";
    default:
        return "Windows error " + std::to_string(error);
    }
}

} // namespace

FileBytes readRegularFile(const std::string& utf8Path, size_t maxBytes)
{
    FileBytes file;
    const std::wstring path = widened(utf8Path);
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
        const DWORD error = path.empty() ? ERROR_INVALID_NAME : GetLastError();
        // A device name (NUL, CON, COM1) has no attributes to read.
        file.error = error == ERROR_BAD_DEV_TYPE ? "not a regular file" : "cannot open: " + describe(error);
        return file;
    }
    if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        file.error = "a folder, not a file";
        return file;
    }
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        file.error = "cannot open: " + describe(GetLastError());
        return file;
    }
    LARGE_INTEGER size{};
    // A pipe or a device (a console, a serial port) could make a read wait: disk files only.
    if (GetFileType(handle) != FILE_TYPE_DISK)
        file.error = "not a regular file";
    else if (!GetFileSizeEx(handle, &size))
        file.error = "cannot read: " + describe(GetLastError());
    else if (static_cast<unsigned long long>(size.QuadPart) > maxBytes)
        file.error = tooLarge(maxBytes);
    if (file.error.empty()) {
        file.bytes.resize(static_cast<size_t>(size.QuadPart));
        size_t got = 0;
        while (got < file.bytes.size()) {
            DWORD n = 0;
            if (!ReadFile(handle, file.bytes.data() + got, static_cast<DWORD>(file.bytes.size() - got), &n, nullptr)) {
                file.error = "cannot read: " + describe(GetLastError());
                break;
            }
            if (n == 0)
                break;
            got += n;
        }
        file.bytes.resize(got);
    }
    CloseHandle(handle);
    if (!file.error.empty())
        file.bytes.clear();
    return file;
}

} // namespace quarvine
