// Starting other programs.
#pragma once
#include <cstdint>

namespace plat {

constexpr unsigned swShow = 5;

// From here on every program started shows no window (SW_HIDE whatever was asked): a run that
// nobody watches puts nothing on the screen.
void startProgramsHidden(bool hidden);

// WinExec: above 31 when the program started, else an error code (2: file not found).
unsigned winExec(const char* commandLine, unsigned show);
// Starts the program of the command line as WinExec would (CreateProcessA) and waits until it
// has ended, at most timeoutMilliseconds, dispatching this thread's messages meanwhile (a
// program that sends to every window must not wait for ours). True when it started and ended
// within that time.
bool runAndWait(const char* commandLine, unsigned show, unsigned timeoutMilliseconds);

}  // namespace plat
