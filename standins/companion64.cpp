// setupw64.exe, the 64-bit companion of the 32-bit setup, started on 64-bit Windows with the
// IME interface as "setupw64.exe regvr32=<install dir>". The 64-bit input-method module, loaded
// into 64-bit programs, reads the native registry view, which the 32-bit setup cannot write
// without asking for it. So this program writes there, under HKLM\SOFTWARE\vornel8:
//   InstallDir  the install directory as given
//   LayoutText  this program's own product label, which the setup patched to the installed
//               version before starting it
// Exit code 0 when both are written, 1 without a usable argument, 2 when the registry refused.
#include <windows.h>

#include "label.h"

namespace {

const wchar_t argumentName[] = L"regvr32=";

// The install directory: everything after "regvr32=" (it may hold blanks, and the setup does
// not quote it), without surrounding quotes or trailing blanks.
bool installDirectory(const wchar_t* commandLine, wchar_t* out, int capacity) {
    const int nameLength = lstrlenW(argumentName);
    for (const wchar_t* p = commandLine; *p != L'\0'; ++p) {
        if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, p, nameLength, argumentName,
                           nameLength) != CSTR_EQUAL)
            continue;
        const wchar_t* start = p + nameLength;
        if (*start == L'"') ++start;
        int length = lstrlenW(start);
        while (length > 0 && (start[length - 1] == L' ' || start[length - 1] == L'"')) --length;
        if (length == 0 || length >= capacity) return false;
        lstrcpynW(out, start, length + 1);
        return true;
    }
    return false;
}

bool setText(HKEY key, const wchar_t* name, const wchar_t* text) {
    DWORD bytes = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
           ERROR_SUCCESS;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t directory[MAX_PATH];
    if (!installDirectory(GetCommandLineW(), directory, MAX_PATH)) return 1;
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\vornel8", 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 2;
    bool ok = setText(key, L"InstallDir", directory) && setText(key, L"LayoutText", productLabel);
    RegCloseKey(key);
    return ok ? 0 : 2;
}
