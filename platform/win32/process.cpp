#include "platform/process.h"

#include <windows.h>

namespace plat {

unsigned winExec(const char* commandLine, unsigned show) { return WinExec(commandLine, show); }

}  // namespace plat
