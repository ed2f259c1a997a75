// The Windows entry: hands the WinMain arguments to the program's entry.
#include <windows.h>

#include "core/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    return runSetup(instance, previous, commandLine, show);
}
