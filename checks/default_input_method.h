// An earlier copy of the input method that is the system's default input method is loaded by
// every program and cannot be replaced: the IME install stops until it is no longer default.
#pragma once

// Reads the current user's preload list and sets productPreloadPosition; 1 when the product's
// layout is in it.
int locateInPreloadList();
// 1 when the install may go on; 0 after a message, when the wizard must end.
int defaultInputMethodAllowsInstall();
