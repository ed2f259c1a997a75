// Texts out of the registry, whatever a value holds: every text read is terminated within
// its buffer.
#pragma once
#include <cstddef>

#include "common/text.h"  // copyWide, appendWide
#include "platform/registry.h"

// Reads the REG_SZ value `name` as RegQueryValueExA would into `capacity` bytes, and accepts
// it only as a text that fits there with its terminator. regOk with `out` holding the text;
// regFileNotFound when the value is missing; any other code (the value is no REG_SZ, or too
// long) leaves `out` empty.
long readRegistryText(plat::RegKey key, const char* name, char* out, size_t capacity);
// Whether an open or a readRegistryText result leaves unknown what is there: the call itself
// failed, where missing, no text or too long would each say what it holds.
inline bool readFailed(long status) {
    return status != plat::regOk && status != plat::regFileNotFound && status != plat::regInvalidParameter &&
           status != plat::regMoreData;
}

// Whether `path` below `root` opens for reading.
bool registryKeyExists(plat::RegKey root, const char* path);

