#include "platform/registry.h"

#include <windows.h>

namespace plat {

namespace {

HKEY toHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }
RegKey fromHkey(HKEY key) { return reinterpret_cast<RegKey>(key); }

REGSAM samOf(RegAccess access) { return access == RegAccess::all ? KEY_ALL_ACCESS : KEY_READ; }

const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

long regOpenKey(RegKey parent, const char* subKey, RegAccess access, RegKey* result) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExA(toHkey(parent), subKey, 0, samOf(access), &opened);
    *result = status == ERROR_SUCCESS ? fromHkey(opened) : noKey;
    return status;
}

long regCreateKey(RegKey parent, const char* subKey, RegKey* result) {
    HKEY created = nullptr;
    LONG status = RegCreateKeyExA(toHkey(parent), subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
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

long regSetValue(RegKey key, const char* valueName, uint32_t type, const void* data,
                 uint32_t size) {
    return RegSetValueExA(toHkey(key), valueName, 0, type, static_cast<const BYTE*>(data), size);
}

long regDeleteValue(RegKey key, const char* valueName) {
    return RegDeleteValueA(toHkey(key), valueName);
}

long regDeleteKey(RegKey parent, const char* subKey) {
    return RegDeleteKeyA(toHkey(parent), subKey);
}

long regCloseKey(RegKey key) { return RegCloseKey(toHkey(key)); }

long regOpenKeyW(RegKey parent, const char16_t* subKey, RegAccess access, RegKey* result) {
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExW(toHkey(parent), wide(subKey), 0, samOf(access), &opened);
    *result = status == ERROR_SUCCESS ? fromHkey(opened) : noKey;
    return status;
}

long regCreateKeyW(RegKey parent, const char16_t* subKey, RegKey* result) {
    HKEY created = nullptr;
    LONG status = RegCreateKeyExW(toHkey(parent), wide(subKey), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &created, nullptr);
    *result = status == ERROR_SUCCESS ? fromHkey(created) : noKey;
    return status;
}

long regSetValueW(RegKey key, const char16_t* valueName, uint32_t type, const void* data,
                  uint32_t size) {
    return RegSetValueExW(toHkey(key), wide(valueName), 0, type, static_cast<const BYTE*>(data),
                          size);
}

}  // namespace plat
