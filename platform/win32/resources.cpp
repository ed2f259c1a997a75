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

uint8_t* allocateBlock(uint32_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (memory == nullptr) return nullptr;
    void* block = GlobalLock(memory);
    if (block == nullptr) GlobalFree(memory);
    return static_cast<uint8_t*>(block);
}

void freeBlock(uint8_t* block) {
    if (block == nullptr) return;
    HGLOBAL memory = GlobalHandle(block);
    if (memory == nullptr) return;
    GlobalUnlock(memory);
    GlobalFree(memory);
}

InstanceHandle programInstance() { return GetModuleHandleA(nullptr); }

}  // namespace plat
