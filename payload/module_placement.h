// Placing the input-method modules of the chosen interface where Windows loads them.
#pragma once
#include <cstddef>

constexpr size_t versionPatchLimit = 131072;

// Flag 0: the normal run (extraction, the keep-data question, placement, uninstaller, uninstall
// entry); flag 1: the second IME pass after the keyboard layout is registered.
void installFiles(int secondPass);
void placeImeModules(int secondPass);
void copyModuleVerified(const char* sourceName, const char* targetName, int code);
// Turns the version after the product label (6.3 or 6.7) into 9.0, in place. False when the
// file could not be read or written whole (one over the patch limit is left as it is: true).
bool patchVersionLabel(const char* path);
// The TSF modules in the system directories match the installed ones, then the text service is
// checked.
void finalTsfCheck();
