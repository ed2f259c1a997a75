// Paths beside the running program: the platform's programs find each other in their own
// directory, wherever it was installed.
#pragma once
#include <windows.h>

// The directory of this program with a trailing backslash, followed by `name`; false when it
// does not fit in `capacity` characters.
inline bool besideThisProgram(const wchar_t* name, wchar_t* path, DWORD capacity) {
    DWORD length = GetModuleFileNameW(nullptr, path, capacity);
    if (length == 0 || length >= capacity) return false;
    DWORD cut = length;
    while (cut > 0 && path[cut - 1] != L'\\' && path[cut - 1] != L'/') --cut;
    DWORD nameLength = static_cast<DWORD>(lstrlenW(name));
    if (cut + nameLength >= capacity) return false;
    lstrcpynW(path + cut, name, static_cast<int>(capacity - cut));
    return true;
}
