#include "platform/registry.h"

#include <windows.h>

#include "platform/system.h"

namespace plat {

namespace {

// What takeRegistryFailure gives.
uint32_t registryFailure = 0;

long noted(long status) {
    if (status != regOk && status != regFileNotFound && status != 3 && status != regMoreData && status != regNoMoreItems)
        registryFailure = static_cast<uint32_t>(status);
    return status;
}

}  // namespace

// The calls as Windows makes them; the public ones note their failures.
long regCreateKeyViewRaw(RegKey parent, const char* subKey, RegView view, RegKey* result);
long regSetValueRaw(RegKey key, const char* valueName, uint32_t type, const void* data, uint32_t size);
long regDeleteValueRaw(RegKey key, const char* valueName);
long regDeleteKeyRaw(RegKey parent, const char* subKey);
long regOpenKeyViewRaw(RegKey parent, const char* subKey, RegAccess access, RegView view, RegKey* result);
long regDeleteTreeRaw(RegKey parent, const char* subKey, RegView view);
long regOpenKeyRaw(RegKey parent, const char* subKey, RegAccess access, RegKey* result);
long regCreateKeyRaw(RegKey parent, const char* subKey, RegKey* result);
long regOpenKeyWRaw(RegKey parent, const char16_t* subKey, RegAccess access, RegKey* result);
long regCreateKeyWRaw(RegKey parent, const char16_t* subKey, RegKey* result);
long regSetValueWRaw(RegKey key, const char16_t* valueName, uint32_t type, const void* data, uint32_t size);

namespace {

HKEY toHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }
RegKey fromHkey(HKEY key) { return reinterpret_cast<RegKey>(key); }

REGSAM samOf(RegAccess access) { return access == RegAccess::all ? KEY_ALL_ACCESS : KEY_READ; }

const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The flag that names the native view: only a 32-bit process under WOW64 has another one
// (Windows 2000 refuses the flag, and 32-bit Windows has nothing else to show).
REGSAM viewFlag(RegView view) {
    if (view != RegView::native64) return 0;
    int wow64 = 0;
    return isWow64Process(wow64) && wow64 != 0 ? KEY_WOW64_64KEY : 0;
}

// RegDeleteKeyA deletes in this process's view; another view needs RegDeleteKeyExA, which
// XP x64 and Vista brought (looked up by name: 32-bit XP and 2000 lack it, and have one view).
LONG deleteKey(HKEY parent, const char* subKey, REGSAM flag) {
    if (flag == 0) return RegDeleteKeyA(parent, subKey);
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    auto deleteKeyEx = advapi == nullptr
                           ? nullptr
                           : reinterpret_cast<DeleteKeyEx>(reinterpret_cast<void*>(
                                 GetProcAddress(advapi, "RegDeleteKeyExA")));
    // Never the process's own view in place of the one asked for.
    if (deleteKeyEx == nullptr) return ERROR_NOT_SUPPORTED;
    return deleteKeyEx(parent, subKey, flag, 0);
}

// Depth first: every subkey that can go goes; one that cannot keeps its parents.
LONG deleteTree(HKEY parent, const char* subKey, REGSAM flag) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(parent, subKey, 0, KEY_ALL_ACCESS | flag, &key);
    if (status != ERROR_SUCCESS) return status;
    LONG failure = ERROR_SUCCESS;
    DWORD index = 0;
    char child[256];  // key names have at most 255 characters
    for (;;) {
        DWORD length = sizeof child;
        LONG found = RegEnumKeyExA(key, index, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (found == ERROR_NO_MORE_ITEMS) break;
        if (found != ERROR_SUCCESS) {
            failure = found;
            break;
        }
        LONG removed = deleteTree(key, child, flag);
        // A subkey that stays is passed over; the next one moves up to its index otherwise.
        if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
            failure = removed;
            ++index;
        }
    }
    RegCloseKey(key);
    if (failure != ERROR_SUCCESS) return failure;
    return deleteKey(parent, subKey, flag);
}

}  // namespace

long regOpenKeyRaw(RegKey parent, const char* subKey, RegAccess access, RegKey* result) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExA(toHkey(parent), subKey, 0, samOf(access), &opened);
    *result = status == ERROR_SUCCESS ? fromHkey(opened) : noKey;
    return status;
}

long regCreateKeyRaw(RegKey parent, const char* subKey, RegKey* result) {
    HKEY created = nullptr;
    LONG status = RegCreateKeyExA(toHkey(parent), subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &created, nullptr);
    *result = status == ERROR_SUCCESS ? fromHkey(created) : noKey;
    return status;
}

long regCreateKeyViewRaw(RegKey parent, const char* subKey, RegView view, RegKey* result) {
    HKEY created = nullptr;
    LONG status = RegCreateKeyExA(toHkey(parent), subKey, 0, nullptr, 0, KEY_ALL_ACCESS | viewFlag(view), nullptr,
                                  &created, nullptr);
    *result = status == ERROR_SUCCESS ? fromHkey(created) : noKey;
    return status;
}

long regQuerySubkeyCount(RegKey key, uint32_t* count) {
    DWORD subkeys = 0;
    LONG status = RegQueryInfoKeyA(toHkey(key), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    *count = status == ERROR_SUCCESS ? subkeys : 0;
    return status;
}

long regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameLength) {
    DWORD length = *nameLength;
    LONG status = RegEnumKeyExA(toHkey(key), index, name, &length, nullptr, nullptr, nullptr,
                                nullptr);
    *nameLength = length;
    return status;
}

long regQueryValue(RegKey key, const char* valueName, uint32_t* type, void* data, uint32_t* size) {
    DWORD valueType = REG_NONE;
    DWORD length = *size;
    LONG status = RegQueryValueExA(toHkey(key), valueName, nullptr, &valueType,
                                   static_cast<BYTE*>(data), &length);
    if (type != nullptr) *type = valueType;
    *size = length;
    return status;
}

long regSetValueRaw(RegKey key, const char* valueName, uint32_t type, const void* data,
                 uint32_t size) {
    return RegSetValueExA(toHkey(key), valueName, 0, type, static_cast<const BYTE*>(data), size);
}

long regDeleteValueRaw(RegKey key, const char* valueName) {
    return RegDeleteValueA(toHkey(key), valueName);
}

long regDeleteKeyRaw(RegKey parent, const char* subKey) {
    return RegDeleteKeyA(toHkey(parent), subKey);
}

long regCloseKey(RegKey key) { return RegCloseKey(toHkey(key)); }

long regEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength, uint32_t* type,
                  void* data, uint32_t* size) {
    DWORD length = *nameLength;
    DWORD valueType = REG_NONE;
    DWORD dataLength = size != nullptr ? *size : 0;
    LONG status = RegEnumValueA(toHkey(key), index, name, &length, nullptr, &valueType,
                                static_cast<BYTE*>(data), size != nullptr ? &dataLength : nullptr);
    *nameLength = length;
    if (type != nullptr) *type = valueType;
    if (size != nullptr) *size = dataLength;
    return status;
}

long regOpenKeyViewRaw(RegKey parent, const char* subKey, RegAccess access, RegView view,
                    RegKey* result) {
    HKEY opened = nullptr;
    LONG status =
        RegOpenKeyExA(toHkey(parent), subKey, 0, samOf(access) | viewFlag(view), &opened);
    *result = status == ERROR_SUCCESS ? fromHkey(opened) : noKey;
    return status;
}

long regDeleteTreeRaw(RegKey parent, const char* subKey, RegView view) {
    if (subKey == nullptr || subKey[0] == '\0') return ERROR_INVALID_PARAMETER;
    return deleteTree(toHkey(parent), subKey, viewFlag(view));
}

long regOpenKeyWRaw(RegKey parent, const char16_t* subKey, RegAccess access, RegKey* result) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExW(toHkey(parent), wide(subKey), 0, samOf(access), &opened);
    *result = status == ERROR_SUCCESS ? fromHkey(opened) : noKey;
    return status;
}

long regCreateKeyWRaw(RegKey parent, const char16_t* subKey, RegKey* result) {
    HKEY created = nullptr;
    LONG status = RegCreateKeyExW(toHkey(parent), wide(subKey), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &created, nullptr);
    *result = status == ERROR_SUCCESS ? fromHkey(created) : noKey;
    return status;
}

long regSetValueWRaw(RegKey key, const char16_t* valueName, uint32_t type, const void* data,
                  uint32_t size) {
    return RegSetValueExW(toHkey(key), wide(valueName), 0, type, static_cast<const BYTE*>(data),
                          size);
}

long regCreateKeyView(RegKey parent, const char* subKey, RegView view, RegKey* result) { return noted(regCreateKeyViewRaw(parent, subKey, view, result)); }
long regSetValue(RegKey key, const char* valueName, uint32_t type, const void* data, uint32_t size) { return noted(regSetValueRaw(key, valueName, type, data, size)); }
long regDeleteValue(RegKey key, const char* valueName) { return noted(regDeleteValueRaw(key, valueName)); }
long regDeleteKey(RegKey parent, const char* subKey) { return noted(regDeleteKeyRaw(parent, subKey)); }
long regOpenKeyView(RegKey parent, const char* subKey, RegAccess access, RegView view, RegKey* result) { return noted(regOpenKeyViewRaw(parent, subKey, access, view, result)); }
long regDeleteTree(RegKey parent, const char* subKey, RegView view) { return noted(regDeleteTreeRaw(parent, subKey, view)); }
long regOpenKey(RegKey parent, const char* subKey, RegAccess access, RegKey* result) { return noted(regOpenKeyRaw(parent, subKey, access, result)); }
long regCreateKey(RegKey parent, const char* subKey, RegKey* result) { return noted(regCreateKeyRaw(parent, subKey, result)); }
long regOpenKeyW(RegKey parent, const char16_t* subKey, RegAccess access, RegKey* result) { return noted(regOpenKeyWRaw(parent, subKey, access, result)); }
long regCreateKeyW(RegKey parent, const char16_t* subKey, RegKey* result) { return noted(regCreateKeyWRaw(parent, subKey, result)); }
long regSetValueW(RegKey key, const char16_t* valueName, uint32_t type, const void* data, uint32_t size) { return noted(regSetValueWRaw(key, valueName, type, data, size)); }

uint32_t takeRegistryFailure() {
    uint32_t failure = registryFailure;
    registryFailure = 0;
    return failure;
}

}  // namespace plat
