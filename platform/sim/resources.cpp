#include "platform/resources.h"

#include "platform/sim/machine.h"

namespace plat {

const uint8_t* loadResource(InstanceHandle, const char* name, const char* type, uint32_t* size) {
    sim::Machine* m = sim::current();
    if (m == nullptr) return nullptr;
    auto it = m->resources.find(std::string(type) + "/" + name);
    if (it == m->resources.end()) return nullptr;
    if (size != nullptr) *size = static_cast<uint32_t>(it->second.size());
    return reinterpret_cast<const uint8_t*>(it->second.data());
}

InstanceHandle programInstance() { return reinterpret_cast<InstanceHandle>(0x400000); }

}  // namespace plat
