// DLLs loaded at run time, only ever from the system directory: a DLL of the same name in the
// folder the setup was started from (a download folder) must never be loaded into it.
#pragma once
#include <windows.h>

namespace plat {

inline HMODULE loadSystemLibrary(const char* name) {
    char path[MAX_PATH + 32];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    return LoadLibraryA(path);
}

// First thing in a program that runs with administrator rights: DLLs that are loaded later by
// name (by Windows' own DLLs too) are looked for in the system directory only. Both calls are
// looked up by name: Windows before 8 (without its update) and before XP SP1 lack them.
inline void restrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    using SetDefault = BOOL(WINAPI*)(DWORD);
    using SetDirectory = BOOL(WINAPI*)(LPCSTR);
    if (auto setDefault = reinterpret_cast<SetDefault>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories"))))
        setDefault(0x00000800);  // LOAD_LIBRARY_SEARCH_SYSTEM32
    // Takes the current directory out of the search where the call above is missing.
    if (auto setDirectory = reinterpret_cast<SetDirectory>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA"))))
        setDirectory("");
}

}  // namespace plat
