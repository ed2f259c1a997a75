#include "registration/registry_text.h"

#include <cstring>
#include <vector>

long readRegistryText(plat::RegKey key, const char* name, char* out, size_t capacity) {
    if (capacity == 0) return plat::regInvalidParameter;
    out[0] = '\0';
    std::vector<char> buffer(capacity, '\0');
    uint32_t type = plat::regNone;
    uint32_t size = static_cast<uint32_t>(capacity);
    long status = plat::regQueryValue(key, name, &type, buffer.data(), &size);
    if (status != plat::regOk) return status;
    if (type != plat::regSz) return plat::regInvalidParameter;
    // Texts are stored without their terminator; one that fills the whole buffer is too long.
    size_t length = strnlen(buffer.data(), size < capacity ? size : capacity);
    if (length >= capacity) return plat::regMoreData;
    std::memcpy(out, buffer.data(), length);
    out[length] = '\0';
    return plat::regOk;
}

bool registryKeyExists(plat::RegKey root, const char* path) {
    plat::ScopedKey key;
    return plat::openKey(root, path, plat::RegAccess::read, key);
}
