// Input methods and keyboard layouts: imm32 and the keyboard-layout calls of user32.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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

// input.dll, from the system directory, whose functions are looked up by name (Windows XP has no
// input.dll; Wine has none of these functions). Ids are as InstallLayoutOrTip takes them:
// "0x0804:{clsid}{profile}" for a text service, "0x0804:0x00000804" for a layout.
constexpr uint32_t ilotUninstall = 0x1;
// InstallLayoutOrTip: 1 done, 0 refused, -1 not available.
int installLayoutOrTip(const char16_t* ids, uint32_t flags);
struct EnabledInput {
    std::u16string id;
    bool isDefault = false;
};
// EnumEnabledLayoutOrTip for the current user, in its order; false when not available.
bool enabledInputs(std::vector<EnabledInput>& out);
// SetDefaultLayoutOrTip for the current user; false when refused or not available.
bool setDefaultInput(const char16_t* id);

}  // namespace plat
