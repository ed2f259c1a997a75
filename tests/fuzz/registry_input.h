// The input of the registration fuzz targets as registry contents. One byte of facts (bit 0:
// the Windows 9x family, bit 1: OEM code page 950, bits 2-7: a number the target may use), then
// records, each
//   kind (1 byte), name (a length byte and the bytes), value type (1 byte),
//   data (a length byte and the bytes)
// Kinds, taken modulo 6:
//   0  value <name> of the current user's NT preload list ("keyboard layout\preload")
//   1  the default value of subkey <name> of the 9x preload list (the same key)
//   2  value "layout text" of Keyboard Layouts\<name>
//   3  value <name> of the default profile's list (HKEY_USERS\.DEFAULT\keyboard layout\preload)
//   4  Keyboard Layouts\<name> made unreadable (type bit 0) and/or read-only (type bit 1)
//   5  the current user's "keyboard layout" (type bit 2: its "preload") made unreadable
//      (type bit 0) and/or read-only (type bit 1)
// A name may hold backslashes (deeper keys), be empty (the key itself) or be longer than the
// setup's buffers.
#pragma once
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/sim/machine.h"

namespace fuzz {

constexpr const char* layoutsKey = "System\\CurrentControlSet\\Control\\Keyboard Layouts";
constexpr const char* userLayoutKey = "keyboard layout";
constexpr const char* userPreloadKey = "keyboard layout\\preload";
constexpr const char* defaultPreloadKey = ".DEFAULT\\keyboard layout\\preload";

struct RegistryFacts {
    bool nineX = false;
    bool traditional = false;
    uint8_t number = 0;
};

inline std::string below(const char* key, const std::string& name) {
    return name.empty() ? std::string(key) : std::string(key) + "\\" + name;
}

inline void markKey(sim::RegistryKey& key, uint8_t type) {
    key.unreadable = (type & 1) != 0;
    key.readOnly = (type & 2) != 0;
}

// Fills the machine's registry from the input and sets its facts; what the Keyboard Layouts key
// and the lists need to exist is always there.
inline RegistryFacts loadRegistry(sim::Machine& machine, Input& input) {
    RegistryFacts facts;
    uint8_t flags = input.byte();
    facts.nineX = (flags & 1) != 0;
    facts.traditional = (flags & 2) != 0;
    facts.number = static_cast<uint8_t>(flags >> 2);
    machine.ntFamily = !facts.nineX;
    if (facts.nineX) {
        machine.versionMajor = 4;
        machine.versionMinor = 10;
    }
    machine.oemCodePage = facts.traditional ? 950 : 936;

    sim::Registry& registry = machine.registry;
    registry.make(sim::Hive::localMachine, layoutsKey);
    registry.make(sim::Hive::currentUser, userPreloadKey);
    registry.make(sim::Hive::users, defaultPreloadKey);
    while (!input.empty()) {
        uint8_t kind = static_cast<uint8_t>(input.byte() % 6);
        std::string name = input.field();
        uint8_t type = input.byte();
        std::string data = input.field();
        switch (kind) {
            case 0:
                registry.setValue(sim::Hive::currentUser, userPreloadKey, name, type, data);
                break;
            case 1:
                registry.setValue(sim::Hive::currentUser, below(userPreloadKey, name), "", type,
                                  data);
                break;
            case 2:
                registry.setValue(sim::Hive::localMachine, below(layoutsKey, name),
                                  "layout text", type, data);
                break;
            case 3:
                registry.setValue(sim::Hive::users, defaultPreloadKey, name, type, data);
                break;
            case 4:
                markKey(registry.make(sim::Hive::localMachine, below(layoutsKey, name)), type);
                break;
            default:
                markKey(registry.make(sim::Hive::currentUser,
                                      (type & 4) != 0 ? userPreloadKey : userLayoutKey),
                        type);
                break;
        }
    }
    return facts;
}

}  // namespace fuzz
