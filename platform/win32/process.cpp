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

}  // namespace plat
