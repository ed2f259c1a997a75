// vornboxes: a small program that shows message boxes, to check the robot and
// the prefixes without the setup.
//
//   vornboxes.exe          a YES/NO question, then an OK box naming the answer;
//                          exits with the answer's id (IDYES 6, IDNO 7)
//   vornboxes.exe facts    one OK box describing the machine as a program sees it:
//                          "acp=936 oemcp=936 version=6.2 wow64=1"; exits 0
//   vornboxes.exe hang     never ends (for the robot's timeout)
//   vornboxes.exe wizard   a window of class "installWClass" with an edit control at
//                          client (130,135), 230 x 20. A click in (40,245)-(140,270)
//                          opens a dialog with the auto radio buttons 101, 102, 110
//                          and 111 (no group style: one group) and OK 105, 101 and
//                          110 checked; after OK a box "edit=TEXT checked=IDS" and the
//                          program ends with 0. Any other click shows "left X,Y" or
//                          "right X,Y".
//   vornboxes.exe holder CLASS SECONDS
//                          a program using the input method: a top-level window titled
//                          "记事本 - 笔记.txt" owning a popup of class CLASS (as the input
//                          method's interface window would be); writes "holder.ready" in
//                          the current directory once they exist; ends after SECONDS
//   vornboxes.exe hungwindow CLASS SECONDS
//                          a hidden top-level window of class CLASS whose thread never
//                          reads its messages (a hung program); writes "hung.ready" once
//                          it exists; ends after SECONDS
//   vornboxes.exe load PATH SECONDS
//                          holds the module PATH loaded (not run) for SECONDS, as a program
//                          using the input method holds it; writes "load.ready" once loaded;
//                          exits 1 when it cannot be loaded
//   vornboxes.exe waitwindow CLASS
//                          waits up to 30 s for a top-level window of class CLASS:
//                          exits 0 when there is one, 1 when none came

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

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

// ---- wizard mode

constexpr int kRadios[] = {101, 102, 110, 111};
HWND wizardEdit = nullptr;

// An in-memory dialog template: a DLGTEMPLATE, then DWORD-aligned DLGITEMTEMPLATEs.
class DialogTemplate {
public:
    DialogTemplate(const wchar_t* title, short cx, short cy, WORD items) {
        dword(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        dword(0);
        words_.push_back(items);
        for (short v : {short(10), short(10), cx, cy}) words_.push_back(static_cast<WORD>(v));
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the standard dialog class
        text(title);
    }
    void button(DWORD style, int id, const wchar_t* title, short x, short y, short cx, short cy) {
        if (words_.size() % 2) words_.push_back(0);
        dword(WS_CHILD | WS_VISIBLE | style);
        dword(0);
        for (short v : {x, y, cx, cy}) words_.push_back(static_cast<WORD>(v));
        words_.push_back(static_cast<WORD>(id));
        words_.push_back(0xFFFF);
        words_.push_back(0x0080);  // button
        text(title);
        words_.push_back(0);  // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void dword(DWORD v) {
        words_.push_back(LOWORD(v));
        words_.push_back(HIWORD(v));
    }
    void text(const wchar_t* s) {
        for (; *s; ++s) words_.push_back(static_cast<WORD>(*s));
        words_.push_back(0);
    }
    std::vector<WORD> words_;
};

INT_PTR CALLBACK choiceDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        CheckDlgButton(dialog, 101, BST_CHECKED);
        CheckDlgButton(dialog, 110, BST_CHECKED);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == 105) {
        std::wstring checked;
        for (int id : kRadios) {
            if (IsDlgButtonChecked(dialog, id) != BST_CHECKED) continue;
            if (!checked.empty()) checked += L' ';
            checked += std::to_wstring(id);
        }
        wchar_t text[256] = {};
        GetWindowTextW(wizardEdit, text, 256);
        const std::wstring report = L"edit=" + std::wstring(text) + L" checked=" + checked;
        EndDialog(dialog, 0);
        MessageBoxW(nullptr, report.c_str(), kCaption, MB_OK);
        return TRUE;
    }
    return FALSE;
}

void showChoiceDialog(HWND owner) {
    DialogTemplate dialog(L"vornboxes choice", 160, 80, 5);
    dialog.button(BS_AUTORADIOBUTTON, 101, L"one", 10, 10, 50, 10);
    dialog.button(BS_AUTORADIOBUTTON, 102, L"two", 70, 10, 50, 10);
    dialog.button(BS_AUTORADIOBUTTON, 110, L"three", 10, 30, 50, 10);
    dialog.button(BS_AUTORADIOBUTTON, 111, L"four", 70, 30, 50, 10);
    dialog.button(BS_DEFPUSHBUTTON, 105, L"OK", 55, 55, 50, 14);
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), owner, choiceDialog, 0);
}

LRESULT CALLBACK wizardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN: {
            const int x = static_cast<short>(LOWORD(lParam));
            const int y = static_cast<short>(HIWORD(lParam));
            if (message == WM_LBUTTONDOWN && x >= 40 && x <= 140 && y >= 245 && y <= 270) {
                showChoiceDialog(window);
                DestroyWindow(window);
                return 0;
            }
            const std::wstring text = std::wstring(message == WM_LBUTTONDOWN ? L"left " : L"right ") +
                                      std::to_wstring(x) + L"," + std::to_wstring(y);
            MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

int wizard(HINSTANCE instance) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = wizardProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"installWClass";
    if (!RegisterClassW(&wc)) return 1;
    HWND window = CreateWindowExW(0, L"installWClass", L"vornboxes wizard", WS_SYSMENU, 100, 100,
                                  400, 310, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    wizardEdit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 130, 135, 230,
                                 20, window, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int holder(HINSTANCE instance, const std::wstring& className, int seconds) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"VornHolder";
    RegisterClassW(&wc);
    wc.lpszClassName = className.c_str();
    RegisterClassW(&wc);
    HWND top = CreateWindowExW(0, L"VornHolder", L"记事本 - 笔记.txt", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                               100, nullptr, nullptr, instance, nullptr);
    CreateWindowExW(0, className.c_str(), L"", WS_POPUP, 0, 0, 10, 10, top, nullptr, instance,
                    nullptr);
    ShowWindow(top, SW_SHOWNOACTIVATE);
    // Tells the scenario the windows are up (in the current directory).
    HANDLE ready = CreateFileW(L"holder.ready", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

// A window that is there but never answers: its thread sleeps instead of reading messages.
int hungWindow(HINSTANCE instance, const std::wstring& className, int seconds) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = className.c_str();
    RegisterClassW(&wc);
    if (!CreateWindowExW(WS_EX_TOOLWINDOW, className.c_str(), className.c_str(), WS_POPUP, 0, 0, 0, 0,
                         nullptr, nullptr, instance, nullptr))
        return 1;
    HANDLE ready = CreateFileW(L"hung.ready", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return 0;
}

// A program that has a module loaded, as programs using the input method have it: the file is
// busy (it can be renamed, not deleted) until this ends.
int loadModule(const std::wstring& path, int seconds) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (module == nullptr) return 1;
    HANDLE ready = CreateFileW(L"load.ready", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    FreeLibrary(module);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    const std::wstring mode = commandLine ? commandLine : L"";
    if (mode == L"facts") return facts();
    if (mode == L"wizard") return wizard(instance);
    if (mode.rfind(L"waitwindow ", 0) == 0) {
        const std::wstring className = mode.substr(11);
        for (int i = 0; i < 300; ++i) {
            if (FindWindowW(className.c_str(), nullptr) != nullptr) return 0;
            Sleep(100);
        }
        return 1;
    }
    if (mode.rfind(L"holder ", 0) == 0) {
        const size_t space = mode.find(L' ', 7);
        const std::wstring className = mode.substr(7, space == std::wstring::npos ? std::wstring::npos : space - 7);
        const int seconds = space == std::wstring::npos ? 10 : _wtoi(mode.c_str() + space + 1);
        return holder(instance, className, seconds);
    }
    if (mode.rfind(L"hungwindow ", 0) == 0) {
        const size_t space = mode.find(L' ', 11);
        const std::wstring className = mode.substr(11, space == std::wstring::npos ? std::wstring::npos : space - 11);
        const int seconds = space == std::wstring::npos ? 60 : _wtoi(mode.c_str() + space + 1);
        return hungWindow(instance, className, seconds);
    }
    // "load PATH SECONDS": the seconds after the last blank, the path before it.
    if (mode.rfind(L"load ", 0) == 0) {
        const size_t space = mode.rfind(L' ');
        if (space <= 5) return 1;
        return loadModule(mode.substr(5, space - 5), _wtoi(mode.c_str() + space + 1));
    }
    if (mode == L"hang") {
        Sleep(INFINITE);
        return 0;
    }
    return question();
}
