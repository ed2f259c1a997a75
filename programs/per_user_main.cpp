// The per-user steps' Windows entry: hands the command line to the program's entry.
#include <windows.h>

#include "programs/per_user.h"
#include "platform/win32/library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    plat::restrictDllSearch();
    return runPerUserSteps(commandLine);
}
