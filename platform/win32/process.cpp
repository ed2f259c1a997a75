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
    DWORD waited = WaitForSingleObject(process.hProcess, timeoutMilliseconds);
    CloseHandle(process.hProcess);
    return waited == WAIT_OBJECT_0;
}

}  // namespace plat
