#include "platform/process.h"

#include <windows.h>

namespace plat {

namespace {
bool hiddenPrograms = false;
}

void startProgramsHidden(bool hidden) { hiddenPrograms = hidden; }

unsigned winExec(const char* commandLine, unsigned show) {
    return WinExec(commandLine, hiddenPrograms ? SW_HIDE : show);
}

bool runAndWait(const char* commandLine, unsigned show, unsigned timeoutMilliseconds) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(hiddenPrograms ? SW_HIDE : show);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    char line[1024];
    lstrcpynA(line, commandLine, sizeof line);
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    // Messages are dispatched while it runs: a program that sends to every top-level window
    // (a module's registration broadcasting a change) would otherwise wait for this one until
    // the limit. A quit request is kept for the caller's own loop.
    DWORD started = GetTickCount();
    bool quit = false;
    int quitCode = 0;
    DWORD waited = WAIT_TIMEOUT;
    for (;;) {
        DWORD elapsed = GetTickCount() - started;
        DWORD left = timeoutMilliseconds == INFINITE ? INFINITE
                     : elapsed >= timeoutMilliseconds ? 0
                                                      : timeoutMilliseconds - elapsed;
        waited = quit ? WaitForSingleObject(process.hProcess, left)
                      : MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, left, QS_ALLINPUT);
        if (waited != WAIT_OBJECT_0 + 1 || quit) break;
        MSG message;
        while (!quit && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quitCode = static_cast<int>(message.wParam);
                break;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (quit) PostQuitMessage(quitCode);
    CloseHandle(process.hProcess);
    return waited == WAIT_OBJECT_0;
}

}  // namespace plat
