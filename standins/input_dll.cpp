// A stand-in of Windows' input.dll for the end-to-end scenarios (Wine has none): each call the
// setup makes is recorded in "<Windows directory>\vorninput.log", one UTF-8 line each
// ("install<TAB>flags<TAB>ids", "default<TAB>id"), and it answers as Windows does when
// nothing else is enabled.
#include <windows.h>

namespace {

void record(const wchar_t* kind, DWORD flags, const wchar_t* text, bool withFlags) {
    wchar_t path[MAX_PATH + 16];
    UINT length = GetWindowsDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    lstrcpyW(path + length, L"\\vorninput.log");
    wchar_t line[1024];
    if (withFlags) wsprintfW(line, L"%s\t%lu\t%s\r\n", kind, flags, text != nullptr ? text : L"");
    else wsprintfW(line, L"%s\t%s\r\n", kind, text != nullptr ? text : L"");
    char utf8[3072];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    if (bytes > 1) WriteFile(file, utf8, static_cast<DWORD>(bytes - 1), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI InstallLayoutOrTip(LPCWSTR ids, DWORD flags) {
    record(L"install", flags, ids, true);
    return TRUE;
}

extern "C" __declspec(dllexport) UINT WINAPI EnumEnabledLayoutOrTip(LPCWSTR, LPCWSTR, LPCWSTR, void*, UINT) {
    return 0;
}

extern "C" __declspec(dllexport) BOOL WINAPI SetDefaultLayoutOrTip(LPCWSTR id, DWORD) {
    record(L"default", 0, id, false);
    return TRUE;
}
