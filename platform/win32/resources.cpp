#include "platform/resources.h"

#include <windows.h>

namespace plat {

const uint8_t* loadResource(InstanceHandle instance, const char* name, const char* type,
                            uint32_t* size) {
    HMODULE module = static_cast<HMODULE>(instance);
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) return nullptr;
    if (size != nullptr) *size = SizeofResource(module, found);
    return static_cast<const uint8_t*>(LockResource(loaded));
}

InstanceHandle programInstance() { return GetModuleHandleA(nullptr); }

}  // namespace plat
