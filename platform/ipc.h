// What the setup sees of other running programs: their top-level windows, the notification it
// sends to one, and their named shared memory.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/ui.h"

namespace plat {

// Called for each top-level window; false stops the enumeration.
using WindowVisitor = bool (*)(WindowHandle window, void* context);
void enumWindows(WindowVisitor visitor, void* context);
// GetClassNameA: the 8-bit class name, cut to the capacity; its length.
unsigned getClassName(WindowHandle window, char* out, unsigned capacity);
// GetParent: the parent or owner, null for a window without either.
WindowHandle getParent(WindowHandle window);
// GetWindowTextW: at most capacity - 1 characters, always terminated; its length.
unsigned getWindowText(WindowHandle window, char16_t* out, unsigned capacity);
// FindWindowA with a class name and no title.
WindowHandle findWindow(const char* className);
bool isWindow(WindowHandle window);
// SetForegroundWindow, after restoring the window if it was minimised.
void bringToFront(WindowHandle window);

// One setup at a time, machine-wide: a named mutex in the global namespace, held until the
// process ends. True when this process holds it, waiting up to waitMilliseconds for another
// holder to end; `another` tells whether one was running when this started.
bool holdSingleInstance(const char* name, unsigned waitMilliseconds, bool& another);

// The layout of COPYDATASTRUCT.
struct CopyData {
    uintptr_t dwData;
    uint32_t cbData;
    const void* lpData;
};
// WM_COPYDATA sent to the window (SendMessageTimeoutA with SMTO_ABORTIFHUNG): waits until the
// window has handled it, but at most copyDataTimeout milliseconds, and not at all for a window
// that Windows already knows to be hung. The window's answer, 0 when it gave none in time.
constexpr unsigned copyDataTimeout = 5000;
intptr_t sendCopyData(WindowHandle window, uintptr_t wParam, const CopyData* data);

// OpenFileMappingA with FILE_MAP_WRITE and inheritance: true when the mapping exists (the
// handle is closed at once).
bool fileMappingExists(const char* name);

// Runs a command line (a program given by its full path) with its standard output connected to a
// pipe and reads that output to the end; the first capacity - 1 bytes are kept, terminated.
// False when the pipe or the process cannot be made.
bool runWithOutput(const char* commandLine, char* out, size_t capacity);

}  // namespace plat
