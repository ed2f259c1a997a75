// The program's own resources.
#pragma once
#include <cstdint>

#include "platform/ui.h"

namespace plat {

// FindResourceA, LoadResource, LockResource and SizeofResource: the resource's bytes, mapped
// read-only for the life of the process; null when it is missing.
const uint8_t* loadResource(InstanceHandle instance, const char* name, const char* type,
                            uint32_t* size);
// A zero-filled block of the given size (GlobalAlloc, movable, locked); null when it cannot be
// had. Freed with freeBlock.
uint8_t* allocateBlock(uint32_t size);
void freeBlock(uint8_t* block);
// The instance handle of the program itself.
InstanceHandle programInstance();

}  // namespace plat
