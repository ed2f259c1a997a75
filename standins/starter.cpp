// vornqvtk.exe, started at logon ("vornqvtk.exe vr") and by the input method when it needs
// its server: starts the server vornel88.exe from its own directory unless one is running.
// Exit code 0 when a server runs afterwards, 1 when it could not be started.
#include <windows.h>

#include "module_path.h"
#include "server_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (FindWindowA(server::windowClass, nullptr) != nullptr) return 0;
    wchar_t serverPath[MAX_PATH];
    if (!besideThisProgram(L"vornel88.exe", serverPath, MAX_PATH)) return 1;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(serverPath, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 1;
    // The server is ready once its window exists; give it a few seconds.
    WaitForInputIdle(process.hProcess, 5000);
    bool running = false;
    for (int i = 0; i < 50 && !running; ++i) {
        running = FindWindowA(server::windowClass, nullptr) != nullptr;
        if (!running) Sleep(100);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return running ? 0 : 1;
}
