// Input methods and keyboard layouts: imm32 and the keyboard-layout calls of user32.
#pragma once
#include <cstdint>

namespace plat {

using LayoutHandle = uintptr_t;  // HKL

// Room for a keyboard layout's name: eight hexadecimal digits and the terminator.
constexpr unsigned layoutNameLength = 9;

// ImmInstallIMEW: the new layout's handle, 0 when IMM refuses the module.
LayoutHandle immInstallIme(const char16_t* imeFile, const char16_t* layoutText);
// GetKeyboardLayout(0): the active layout of this thread.
LayoutHandle getKeyboardLayout();
// GetKeyboardLayoutNameA into `name` (layoutNameLength bytes); empty text on failure.
bool getKeyboardLayoutName(char* name);
// ImmGetDescriptionA: the description of an input-method layout, cut to the capacity and
// always terminated; returns its length, 0 (empty text) for a layout that is no input method.
unsigned immGetDescription(LayoutHandle layout, char* out, unsigned capacity);

}  // namespace plat
