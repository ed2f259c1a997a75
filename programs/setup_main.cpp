// The Windows entry: hands the WinMain arguments to the program's entry.
#include <windows.h>

#include "programs/startup.h"
#include "platform/win32/library.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    plat::restrictDllSearch();
    return runSetup(instance, previous, commandLine, show);
}
