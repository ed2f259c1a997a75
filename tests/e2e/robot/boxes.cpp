// vornboxes: a small program that shows message boxes, to check the robot and
// the prefixes without the setup.
//
//   vornboxes.exe          a YES/NO question, then an OK box naming the answer;
//                          exits with the answer's id (IDYES 6, IDNO 7)
//   vornboxes.exe facts    one OK box describing the machine as a program sees it:
//                          "acp=936 oemcp=936 version=6.2 wow64=1"; exits 0
//   vornboxes.exe hang     never ends (for the robot's timeout)

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

const wchar_t kCaption[] = L"vornboxes";

int question() {
    const int answer = MessageBoxW(nullptr, L"要继续吗？", kCaption, MB_YESNO | MB_ICONQUESTION);
    // A quote and a line break, so the transcript's escaping is exercised too.
    const wchar_t* text = answer == IDYES  ? L"你选择了“是”\n\"YES\""
                          : answer == IDNO ? L"你选择了“否”\n\"NO\""
                                           : L"没有回答";
    MessageBoxW(nullptr, text, kCaption, MB_OK);
    return answer;
}

int facts() {
    const DWORD version = GetVersion();
    BOOL wow64 = FALSE;
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
    if (isWow64) isWow64(GetCurrentProcess(), &wow64);
    wchar_t text[128];
    std::swprintf(text, 128, L"acp=%u oemcp=%u version=%u.%u wow64=%d", GetACP(), GetOEMCP(),
                  static_cast<unsigned>(LOBYTE(LOWORD(version))),
                  static_cast<unsigned>(HIBYTE(LOWORD(version))), wow64 ? 1 : 0);
    MessageBoxW(nullptr, text, L"vornboxes facts", MB_OK);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    const std::wstring mode = commandLine ? commandLine : L"";
    if (mode == L"facts") return facts();
    if (mode == L"hang") {
        Sleep(INFINITE);
        return 0;
    }
    return question();
}
