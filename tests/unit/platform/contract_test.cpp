// The platform contract (tests/contract) on the simulated machine: every case on a fresh
// machine of each configuration that the Wine runs use, and 64-bit XP for the older column of
// the registry's shared keys. The same cases run under Wine as vorncontract.exe.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <tuple>

#include "platform/registry.h"
#include "platform/sim/machine.h"
#include "tests/contract/contract.h"

namespace {

using sim::Hive;
using sim::View;

Hive hiveOf(plat::RegKey root) {
    return root == plat::hkeyCurrentUser ? Hive::currentUser
           : root == plat::hkeyUsers     ? Hive::users
                                         : Hive::localMachine;
}

// What another program leaves, in the simulated machine's own terms.
class SimSide : public contract::Side {
public:
    explicit SimSide(sim::Machine& machine) : m_(machine) {}

    bool placeLoadedModule(const char* path) override {
        m_.writeFile(path, "MZ module");
        m_.markBusy(path);
        return true;
    }
    void* openWindow(const char* className, const char16_t* title) override {
        return reinterpret_cast<void*>(m_.addWindow(className, title).handle);
    }
    void closeWindow(void* window) override {
        auto& windows = m_.windows;
        windows.erase(std::remove_if(windows.begin(), windows.end(),
                                     [&](const sim::Machine::Window& w) {
                                         return w.handle == reinterpret_cast<uintptr_t>(window);
                                     }),
                      windows.end());
    }
    bool openMapping(const char* name) override {
        m_.fileMappings.push_back(name);
        return true;
    }
    void closeMapping(const char* name) override {
        auto& mappings = m_.fileMappings;
        mappings.erase(std::remove(mappings.begin(), mappings.end(), name), mappings.end());
    }
    long openNativeKey(plat::RegKey root, const std::string& path) override {
        const sim::RegistryKey* key = m_.registry.find(hiveOf(root), path, View::native);
        if (key == nullptr) return plat::regFileNotFound;
        return key->unreadable ? plat::regAccessDenied : plat::regOk;
    }
    bool createNativeKey(plat::RegKey root, const std::string& path) override {
        m_.registry.make(hiveOf(root), path, View::native);
        return true;
    }

private:
    sim::Machine& m_;
};

const char* osName(sim::Os os) {
    switch (os) {
        case sim::Os::win10_64: return "win10_64";
        case sim::Os::win7_64: return "win7_64";
        case sim::Os::vista64: return "vista64";
        case sim::Os::xp64: return "xp64";
        case sim::Os::xp32: return "xp32";
        default: return "other";
    }
}

class Contract : public ::testing::TestWithParam<std::tuple<sim::Os, size_t>> {};

}  // namespace

TEST_P(Contract, HoldsOnTheSimulatedMachine) {
    auto [os, index] = GetParam();
    const contract::Case& c = contract::cases()[index];
    sim::Machine machine(os);
    SimSide side(machine);
    contract::Result result;
    c.run(side, result);
    for (const std::string& failure : result.failures())
        ADD_FAILURE() << c.checks << "\n" << failure;
    EXPECT_EQ(machine.registry.openHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, Contract,
    ::testing::Combine(::testing::Values(sim::Os::win10_64, sim::Os::xp64, sim::Os::xp32),
                       ::testing::Range<size_t>(0, contract::cases().size())),
    [](const ::testing::TestParamInfo<std::tuple<sim::Os, size_t>>& info) {
        return std::string(osName(std::get<0>(info.param))) + "_" +
               contract::cases()[std::get<1>(info.param)].name;
    });

namespace {

// The documented table of shared keys, where Wine cannot show it: Windows before 7 shares
// fewer keys, and a key merely named like a shared one is redirected.
struct SharedCase {
    sim::Os os;
    const char* named;  // below HKLM, as the 32-bit process names it
    const char* lands;  // in the native view
    const char* notAt;  // the other place it could have gone
};

void PrintTo(const SharedCase& c, std::ostream* out) { *out << osName(c.os) << " " << c.named; }

class SharedKeys : public ::testing::TestWithParam<SharedCase> {};

constexpr const char* tip = "SOFTWARE\\Microsoft\\CTF\\TIP\\{X}";
constexpr const char* tip32 = "SOFTWARE\\Wow6432Node\\Microsoft\\CTF\\TIP\\{X}";
constexpr const char* fonts = "SOFTWARE\\Microsoft\\Notepad\\DefaultFonts";
constexpr const char* fonts32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Notepad\\DefaultFonts";

}  // namespace

TEST_P(SharedKeys, FollowMicrosoftsTable) {
    const SharedCase& c = GetParam();
    sim::Machine machine(c.os);
    {
        plat::ScopedKey key;
        ASSERT_TRUE(plat::createKey(plat::hkeyLocalMachine, c.named, key));
    }
    EXPECT_TRUE(machine.registry.exists(Hive::localMachine, c.lands, View::native));
    EXPECT_FALSE(machine.registry.exists(Hive::localMachine, c.notAt, View::native));
    EXPECT_TRUE(machine.registry.exists(Hive::localMachine, c.lands, View::redirected));
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SharedKeys,
    ::testing::Values(
        SharedCase{sim::Os::win7_64, tip, tip, tip32},
        SharedCase{sim::Os::vista64, tip, tip, tip32},
        SharedCase{sim::Os::xp64, "SOFTWARE\\Microsoft\\CTF\\SystemShared\\x",
                   "SOFTWARE\\Microsoft\\CTF\\SystemShared\\x",
                   "SOFTWARE\\Wow6432Node\\Microsoft\\CTF\\SystemShared\\x"},
        // Named through Wow6432Node, or below it through a handle: still the shared key.
        SharedCase{sim::Os::win10_64, tip32, tip, tip32},
        SharedCase{sim::Os::win10_64, "SOFTWARE\\Microsoft\\CTF\\Assemblies",
                   "SOFTWARE\\Wow6432Node\\Microsoft\\CTF\\Assemblies",
                   "SOFTWARE\\Microsoft\\CTF\\Assemblies"},
        SharedCase{sim::Os::win10_64, "SOFTWARE\\Microsoft\\CTF\\TIPS",
                   "SOFTWARE\\Wow6432Node\\Microsoft\\CTF\\TIPS", "SOFTWARE\\Microsoft\\CTF\\TIPS"},
        SharedCase{sim::Os::win7_64, fonts, fonts, fonts32},
        SharedCase{sim::Os::vista64, fonts, fonts32, fonts}));

TEST(SharedKeysBelowAHandle, AreStillShared) {
    sim::Machine machine(sim::Os::win10_64);
    machine.registry.make(Hive::localMachine, "SOFTWARE");
    plat::ScopedKey software;
    plat::ScopedKey below;
    ASSERT_TRUE(plat::openKey(plat::hkeyLocalMachine, "SOFTWARE", plat::RegAccess::read, software));
    ASSERT_TRUE(plat::createKey(software.get(), "Microsoft\\CTF\\TIP\\{X}", below));
    ASSERT_TRUE(plat::createKey(software.get(), "Microsoft\\CTF\\Assemblies", below));
    below.close();
    software.close();
    EXPECT_TRUE(machine.registry.exists(Hive::localMachine, tip, View::native));
    EXPECT_FALSE(machine.registry.exists(Hive::localMachine, tip32, View::native));
    EXPECT_TRUE(machine.registry.exists(Hive::localMachine,
                                        "SOFTWARE\\Wow6432Node\\Microsoft\\CTF\\Assemblies",
                                        View::native));
}
