#include "platform/ime.h"

#include <windows.h>
#include <imm.h>

#include <cstring>
#include <cwchar>

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

namespace {

// input.dll by its full path in the system directory, never found through the search path.
HMODULE loadInputDll() {
    wchar_t path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::wcscpy(path + length, L"\\input.dll");
    return LoadLibraryW(path);
}

// LAYOUTORTIPPROFILE, which no public header declares.
struct LayoutOrTipProfile {
    DWORD dwProfileType;
    LANGID langid;
    CLSID clsid;
    GUID guidProfile;
    GUID catid;
    DWORD dwSubstituteLayout;
    DWORD dwFlags;
    WCHAR szId[MAX_PATH];
};
constexpr DWORD lotDefault = 0x0001;

}  // namespace

int installLayoutOrTip(const char16_t* ids, uint32_t flags) {
    HMODULE input = loadInputDll();
    if (input == nullptr) return -1;
    using Install = BOOL(WINAPI*)(LPCWSTR, DWORD);
    auto install = reinterpret_cast<Install>(reinterpret_cast<void*>(GetProcAddress(input, "InstallLayoutOrTip")));
    int result = install == nullptr ? -1 : install(reinterpret_cast<LPCWSTR>(ids), flags) ? 1 : 0;
    FreeLibrary(input);
    return result;
}

bool enabledInputs(std::vector<EnabledInput>& out) {
    out.clear();
    HMODULE input = loadInputDll();
    if (input == nullptr) return false;
    using Enumerate = UINT(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, LayoutOrTipProfile*, UINT);
    auto enumerate =
        reinterpret_cast<Enumerate>(reinterpret_cast<void*>(GetProcAddress(input, "EnumEnabledLayoutOrTip")));
    bool ok = enumerate != nullptr;
    if (ok) {
        // Counted first, then read into room for that many (a list that grew meanwhile is cut);
        // the length is given in items, which is never more room than there is.
        UINT count = enumerate(nullptr, nullptr, nullptr, nullptr, 0);
        std::vector<LayoutOrTipProfile> items(count);
        if (count > 0) count = enumerate(nullptr, nullptr, nullptr, items.data(), count);
        for (UINT i = 0; i < count && i < items.size(); ++i) {
            items[i].szId[MAX_PATH - 1] = L'\0';
            out.push_back({reinterpret_cast<const char16_t*>(items[i].szId), (items[i].dwFlags & lotDefault) != 0});
        }
    }
    FreeLibrary(input);
    return ok;
}

bool setDefaultInput(const char16_t* id) {
    HMODULE input = loadInputDll();
    if (input == nullptr) return false;
    using SetDefault = BOOL(WINAPI*)(LPCWSTR, DWORD);
    auto setDefault =
        reinterpret_cast<SetDefault>(reinterpret_cast<void*>(GetProcAddress(input, "SetDefaultLayoutOrTip")));
    bool ok = setDefault != nullptr && setDefault(reinterpret_cast<LPCWSTR>(id), 0);
    FreeLibrary(input);
    return ok;
}

}  // namespace plat
