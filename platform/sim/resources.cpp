#include "platform/resources.h"

#include <algorithm>
#include <new>

#include "platform/sim/machine.h"

namespace plat {

const uint8_t* loadResource(InstanceHandle, const char* name, const char* type, uint32_t* size) {
    sim::Machine* m = sim::current();
    if (m == nullptr || m->faultHere("payload resource")) return nullptr;
    auto it = m->resources.find(std::string(type) + "/" + name);
    if (it == m->resources.end()) return nullptr;
    if (size != nullptr) *size = static_cast<uint32_t>(it->second.size());
    return reinterpret_cast<const uint8_t*>(it->second.data());
}

uint8_t* allocateBlock(uint32_t size) {
    if (sim::faultHere("block allocation")) return nullptr;
    uint8_t* block = new (std::nothrow) uint8_t[size]();
    if (sim::Machine* m = sim::current(); m != nullptr && block != nullptr) m->blocks.push_back(block);
    return block;
}

void freeBlock(uint8_t* block) {
    if (block == nullptr) return;
    // Only what allocateBlock handed out, as GlobalFree knows only its own handles.
    sim::Machine* m = sim::current();
    if (m == nullptr) return;
    auto it = std::find(m->blocks.begin(), m->blocks.end(), block);
    if (it == m->blocks.end()) return;
    m->blocks.erase(it);
    delete[] block;
}

InstanceHandle programInstance() { return reinterpret_cast<InstanceHandle>(0x400000); }

}  // namespace plat
