// Is an earlier copy of the input method still in use?
#pragma once

// inUseCount = windows of the input method's interface class; the list message in workBuffer.
void scanInputMethodWindows();
// inUseCount = 1 when the input method's shared memory exists.
void findInputMethodMapping();
// Tells the running server to quit and moves its program out of the way; never fails.
void stopInputMethodServer();
