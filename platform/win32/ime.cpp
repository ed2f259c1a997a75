#include "platform/ime.h"

#include <windows.h>
#include <imm.h>

#include <cstring>

namespace plat {

LayoutHandle immInstallIme(const char16_t* imeFile, const char16_t* layoutText) {
    // The declaration takes non-const texts; IMM only reads them.
    HKL layout = ImmInstallIMEW(const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(imeFile)),
                                const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(layoutText)));
    return reinterpret_cast<LayoutHandle>(layout);
}

LayoutHandle getKeyboardLayout() { return reinterpret_cast<LayoutHandle>(GetKeyboardLayout(0)); }

bool getKeyboardLayoutName(char* name) {
    char buffer[KL_NAMELENGTH + 1] = {};
    static_assert(KL_NAMELENGTH == layoutNameLength);
    if (!GetKeyboardLayoutNameA(buffer)) {
        name[0] = '\0';
        return false;
    }
    std::memcpy(name, buffer, layoutNameLength - 1);
    name[layoutNameLength - 1] = '\0';
    return true;
}

unsigned immGetDescription(LayoutHandle layout, char* out, unsigned capacity) {
    if (capacity == 0) return 0;
    // Asked with room to spare, so that a long description is cut here and always terminated.
    char buffer[512] = {};
    UINT length = ImmGetDescriptionA(reinterpret_cast<HKL>(layout), buffer, sizeof buffer - 1);
    if (length >= sizeof buffer) length = sizeof buffer - 1;
    buffer[length] = '\0';
    size_t taken = strnlen(buffer, length);
    if (taken >= capacity) taken = capacity - 1;
    std::memcpy(out, buffer, taken);
    out[taken] = '\0';
    return static_cast<unsigned>(taken);
}

}  // namespace plat
