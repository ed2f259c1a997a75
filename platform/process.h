// Starting other programs.
#pragma once
#include <cstdint>

namespace plat {

constexpr unsigned swShow = 5;

// WinExec: above 31 when the program started, else an error code (2: file not found).
unsigned winExec(const char* commandLine, unsigned show);

}  // namespace plat
