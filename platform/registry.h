// The registry calls with the semantics of their advapi32 namesakes: results are Win32 error
// codes (0 success), keys are opened without any view flag, so a 32-bit process on 64-bit
// Windows sees HKLM\Software through Wow6432Node as the system arranges.
#pragma once
#include <cstdint>
#include <cstring>

namespace plat {

using RegKey = uintptr_t;  // HKEY
constexpr RegKey noKey = 0;
constexpr RegKey hkeyCurrentUser = 0x80000001u;
constexpr RegKey hkeyLocalMachine = 0x80000002u;
constexpr RegKey hkeyUsers = 0x80000003u;

// KEY_READ or KEY_ALL_ACCESS: the only two the setup asks for.
enum class RegAccess { read, all };

constexpr uint32_t regNone = 0;
constexpr uint32_t regSz = 1;
constexpr uint32_t regExpandSz = 2;
constexpr uint32_t regBinary = 3;
constexpr uint32_t regDword = 4;
constexpr uint32_t regMultiSz = 7;

constexpr long regOk = 0;
constexpr long regFileNotFound = 2;
constexpr long regAccessDenied = 5;
constexpr long regInvalidHandle = 6;
constexpr long regInvalidParameter = 87;
constexpr long regMoreData = 234;
constexpr long regNoMoreItems = 259;
constexpr long regKeyDeleted = 1018;

// RegOpenKeyExA.
long regOpenKey(RegKey parent, const char* subKey, RegAccess access, RegKey* result);
// RegCreateKeyExA with options 0, KEY_ALL_ACCESS and no security attributes: creates the
// missing keys of the path or opens the existing one.
long regCreateKey(RegKey parent, const char* subKey, RegKey* result);
// RegQueryInfoKeyA, the number of subkeys only.
long regQuerySubkeyCount(RegKey key, uint32_t* count);
// RegEnumKeyExA: `nameLength` holds the capacity in characters with the terminator and comes
// back as the length without it. A name that does not fit gives regMoreData; the buffer's
// content is then not defined.
long regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameLength);
// RegQueryValueExA: `size` holds the capacity and comes back as the value's byte length; a
// value that does not fit gives regMoreData. No terminator is added to texts.
long regQueryValue(RegKey key, const char* valueName, uint32_t* type, void* data, uint32_t* size);
// RegSetValueExA: the bytes are stored exactly as given.
long regSetValue(RegKey key, const char* valueName, uint32_t type, const void* data,
                 uint32_t size);
long regDeleteValue(RegKey key, const char* valueName);
// RegDeleteKeyA: the subkey must have no subkeys of its own.
long regDeleteKey(RegKey parent, const char* subKey);
long regCloseKey(RegKey key);

// RegEnumValueA: the value at `index`. `nameLength` holds the name's capacity in characters
// with the terminator and comes back as its length without it; `size` holds the data's
// capacity and comes back as its byte length (data may be null to ask only for the length).
// A name or data that does not fit gives regMoreData; the buffers' content is then not defined.
long regEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameLength, uint32_t* type,
                  void* data, uint32_t* size);

// The registry view of a call on 64-bit Windows: the one this process sees (for the 32-bit
// setup HKLM\Software through Wow6432Node, apart from the keys both views share), or the
// native one that 64-bit programs and modules see. On 32-bit Windows, and for a 64-bit
// process, the two are one.
enum class RegView { process, native64 };
// RegOpenKeyExA in the chosen view; keys opened below the handle stay in that view.
long regOpenKeyView(RegKey parent, const char* subKey, RegAccess access, RegView view,
                    RegKey* result);
// The status of the last open, create, set or delete that failed for another reason than a
// missing key or value (access denied, a full registry...): Windows' error number, which the
// registry calls return instead of setting the last error. 0 when none failed since the last
// take; taking it clears it.
uint32_t takeRegistryFailure();
// RegCreateKeyExA in the chosen view, with all access.
long regCreateKeyView(RegKey parent, const char* subKey, RegView view, RegKey* result);
// The key with everything below it, deepest first, in the chosen view (RegDeleteKeyExA, looked
// up by name, where a view is named; RegDeleteTree is missing before Vista). regOk when the
// key is gone, regFileNotFound when it was not there; any other code when something of it
// stays, the rest being deleted as far as possible. An empty subKey is refused: a root is
// never deleted.
long regDeleteTree(RegKey parent, const char* subKey, RegView view);

// The wide forms, for the entries whose texts are UTF-16.
long regOpenKeyW(RegKey parent, const char16_t* subKey, RegAccess access, RegKey* result);
long regCreateKeyW(RegKey parent, const char16_t* subKey, RegKey* result);
long regSetValueW(RegKey key, const char16_t* valueName, uint32_t type, const void* data,
                  uint32_t size);

// REG_SZ with the text's length, without its terminator, as every text of the setup is stored.
inline long regSetText(RegKey key, const char* valueName, const char* text) {
    return regSetValue(key, valueName, regSz, text, static_cast<uint32_t>(std::strlen(text)));
}
inline long regSetTextW(RegKey key, const char16_t* valueName, const char16_t* text) {
    uint32_t length = 0;
    while (text[length] != u'\0') ++length;
    return regSetValueW(key, valueName, regSz, text, length * 2);
}

// An open key, closed when it goes out of scope.
class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() { close(); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    RegKey get() const { return key_; }
    bool isOpen() const { return key_ != noKey; }
    // The slot an open or create call fills; whatever was open before is closed first.
    RegKey* receive() {
        close();
        return &key_;
    }
    void close() {
        if (key_ != noKey) regCloseKey(key_);
        key_ = noKey;
    }

private:
    RegKey key_ = noKey;
};

// Open or create into a scoped key; true on success.
inline bool openKey(RegKey parent, const char* subKey, RegAccess access, ScopedKey& key) {
    RegKey* slot = key.receive();
    if (regOpenKey(parent, subKey, access, slot) == regOk) return true;
    *slot = noKey;
    return false;
}
inline bool createKey(RegKey parent, const char* subKey, ScopedKey& key) {
    RegKey* slot = key.receive();
    if (regCreateKey(parent, subKey, slot) == regOk) return true;
    *slot = noKey;
    return false;
}

}  // namespace plat
