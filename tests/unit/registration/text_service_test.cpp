#include "registration/text_service.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/install_state.h"
#include "platform/sim/machine.h"
#include "sim_fixture.h"

namespace {

using sim::Hive;
using sim::View;

const std::string tip = "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}";
const std::string item = tip + "\\Category\\Item\\{65653599-5030-4C0F-8871-83F6AFDE5098}";
const std::string categories = tip + "\\Category\\Category";
const std::string immersive = "{13A016DF-560B-46CD-947A-4C3AF1E0E35D}";
const std::string systray = "{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}";
const std::string keyboard = "{34745C63-B2F0-4784-8B67-5E12C8701A31}";
const std::vector<std::string> written = {
    "{046B8C80-1647-40F7-9B21-B93B81AABC1B}", "{364215D9-75BC-11D7-A6EF-00065B84435C}",
    "{49D2F9CE-1F5E-11D7-A6D3-00065B84435C}", "{49D2F9CF-1F5E-11D7-A6D3-00065B84435C}",
    "{CCF05DD7-4A87-11D7-A6E2-00065B84435C}"};
const std::string sortOrder =
    "SOFTWARE\\Microsoft\\CTF\\SortOrder\\AssemblyItem\\0x00000804\\" + keyboard;
const std::string clsid = "{65653599-5030-4C0F-8871-83F6AFDE5098}";
const std::string classKey = "SOFTWARE\\Classes\\CLSID\\" + clsid;

class TextService : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        tsf(sim::Os::win10_64);
    }
    void TearDown() override {
        EXPECT_EQ(m().registry.openHandles(), 0u);
        SimTest::TearDown();
    }
    // A machine with the TSF modules placed, whose registration writes what the stand-ins do.
    void tsf(sim::Os os) {
        boot(os);
        state.interfaceChoice = 1;
        state.windows10 = os == sim::Os::win10_32 || os == sim::Os::win10_64;
        state.osBits = m().is64Bit() ? 64 : 32;
        // TSF registers each category both ways: the service under the category and the
        // category under the service.
        std::vector<std::string> keys = {tip, classKey + "\\InprocServer32"};
        for (const std::string& g : {immersive, systray, keyboard}) {
            keys.push_back(item + "\\" + g);
            keys.push_back(categories + "\\" + g + "\\" + clsid);
        }
        m().processes.modules["vornsrf.dll"] = {32, keys, {tip, classKey}};
        m().processes.modules["vornsrf6.dll"] = {64, keys, {tip, classKey}};
        m().redirectionDisabled = true;
        m().writeFile(m().systemDir() + "\\vornsrf" + (m().is64Bit() ? "6" : "") + ".dll", "x");
        if (m().is64Bit()) m().writeFile(m().sysWow64Dir() + "\\vornsrf.dll", "x");
        m().redirectionDisabled = false;
    }
    std::vector<std::string> commands() {
        std::vector<std::string> lines;
        for (const sim::StartedProgram& p : m().processes.started) lines.push_back(p.commandLine);
        return lines;
    }
    // The modules whose registration ran, in order.
    std::vector<std::string> registered() {
        std::vector<std::string> modules;
        for (const sim::StartedProgram& p : m().processes.started)
            if (!p.registeredModule.empty()) modules.push_back(p.registeredModule);
        return modules;
    }
    sim::Registry& reg() { return m().registry; }
    void sortItem(int i, const std::string& itemClsid, bool withProfile = true) {
        char name[16];
        std::snprintf(name, sizeof name, "%08d", i);
        std::string key = sortOrder + "\\" + name;
        reg().setText(Hive::currentUser, key, "CLSID", itemClsid);
        if (withProfile) reg().setText(Hive::currentUser, key, "profile", "{PROFILE-ID}");
        reg().setDword(Hive::currentUser, key, "KeyboardLayout", 0x08040804);
    }
};

}  // namespace

TEST_F(TextService, SixtyFourBitWindowsRegistersBothModulesTwice) {
    m().writeFile("C:\\setup\\regsvr32.exe", "MZ");  // planted beside the setup: never run
    EXPECT_EQ(registerTextService(), 1);
    const std::string regsvr32 = "\"C:\\windows\\system32\\regsvr32.exe\" /s ";
    EXPECT_EQ(commands(), (std::vector<std::string>{
                              regsvr32 + "\"C:\\windows\\syswow64\\vornsrf.dll\"",
                              regsvr32 + "\"C:\\windows\\system32\\vornsrf6.dll\"",
                              regsvr32 + "\"C:\\windows\\syswow64\\vornsrf.dll\"",
                              regsvr32 + "\"C:\\windows\\system32\\vornsrf6.dll\""}));
    const auto& started = m().processes.started;
    // First through redirection (the 32-bit regsvr32), then the native one.
    EXPECT_FALSE(started[0].redirectionOff);
    EXPECT_FALSE(started[1].redirectionOff);
    EXPECT_TRUE(started[2].redirectionOff);
    EXPECT_TRUE(started[3].redirectionOff);
    EXPECT_EQ(started[1].program, "c:\\windows\\syswow64\\regsvr32.exe");
    EXPECT_EQ(started[3].program, "c:\\windows\\system32\\regsvr32.exe");
    EXPECT_EQ(started[3].registeredModule, "c:\\windows\\system32\\vornsrf6.dll");
    for (const auto& p : started) {
        EXPECT_EQ(p.show, 5u);
        EXPECT_TRUE(p.waitedFor);  // each ended before the next began
    }
    EXPECT_EQ(m().sleptMilliseconds, 4 * m().processes.runTime);  // no fixed sleeps
    EXPECT_FALSE(m().redirectionDisabled);
    EXPECT_EQ(registered(), (std::vector<std::string>{"c:\\windows\\syswow64\\vornsrf.dll",
                                                      "c:\\windows\\syswow64\\vornsrf.dll",
                                                      "c:\\windows\\system32\\vornsrf6.dll"}));
    // Both modules write the one text-service key that both views share.
    EXPECT_TRUE(reg().exists(Hive::localMachine, item + "\\" + keyboard, View::process));
    EXPECT_TRUE(reg().exists(Hive::localMachine, item + "\\" + keyboard, View::native));
}

TEST_F(TextService, ThirtyTwoBitWindowsRunsOneCommand) {
    tsf(sim::Os::win7_32);
    registerTextService();
    EXPECT_EQ(commands(), (std::vector<std::string>{
                              "\"C:\\windows\\system32\\regsvr32.exe\" /s "
                              "\"C:\\windows\\system32\\vornsrf.dll\""}));
    EXPECT_EQ(m().sleptMilliseconds, m().processes.runTime);
    EXPECT_TRUE(reg().exists(Hive::localMachine, tip, View::native));
    // A registration that never ends is given up after 30 s, and the install goes on.
    tsf(sim::Os::win7_32);
    m().processes.runTime = 1000000;
    registerTextService();
    EXPECT_EQ(m().sleptMilliseconds, 30000u);
}

TEST_F(TextService, FailingRedirectionSwitchLeavesOutTheSecondPass) {
    for (int result : {0, 2}) {
        tsf(sim::Os::win10_64);
        m().redirectionSwitchResult = result;
        registerTextService();
        EXPECT_EQ(commands().size(), 2u) << result;
        EXPECT_EQ(m().sleptMilliseconds, 2 * m().processes.runTime);
        EXPECT_FALSE(m().redirectionDisabled);
        // Only the 32-bit module: the 64-bit one is out of reach through redirection.
        EXPECT_EQ(registered(), std::vector<std::string>{"c:\\windows\\syswow64\\vornsrf.dll"});
    }
    tsf(sim::Os::win10_64);
    m().hasRedirectionSwitch = false;
    registerTextService();
    EXPECT_EQ(commands().size(), 2u);
}

TEST_F(TextService, VerificationOnWindows10WritesTheFiveCategories) {
    registerTextService();
    EXPECT_TRUE(verifyTextService());
    EXPECT_TRUE(m().messageBoxes.empty());
    for (const std::string& g : written) {
        EXPECT_TRUE(reg().exists(Hive::localMachine, categories + "\\" + g + "\\" + clsid)) << g;
        EXPECT_TRUE(reg().exists(Hive::localMachine, item + "\\" + g)) << g;
        EXPECT_TRUE(reg().valueNames(Hive::localMachine, item + "\\" + g).empty());
    }
    // The text-service key is one for both views, so the 64-bit side of TSF finds them too.
    EXPECT_TRUE(reg().exists(Hive::localMachine, item + "\\" + written[0], View::native));
    EXPECT_FALSE(reg().exists(Hive::localMachine,
                              "SOFTWARE\\Wow6432Node\\Microsoft\\CTF\\TIP", View::native));
}

TEST_F(TextService, EachMissingKeyHasItsNumber) {
    const std::vector<std::string> tested = {tip, item + "\\" + immersive, item + "\\" + systray,
                                             item + "\\" + keyboard};
    for (int missing = 3; missing >= 0; --missing) {
        tsf(sim::Os::win10_64);
        registerTextService();
        reg().remove(Hive::localMachine, tested[missing]);
        EXPECT_FALSE(verifyTextService());
        ASSERT_EQ(m().messageBoxes.size(), 1u);
        std::string text = "系统32位dll文件没有挂接成功(err=" + std::to_string(missing) +
                           ")！，请退出安装程序重新安装！";
        EXPECT_EQ(m().messageBoxes[0].text, sim::fromGbk(text));
        EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl(Qolvane)安装");
        EXPECT_FALSE(reg().exists(Hive::localMachine, item + "\\" + written[0]));
    }
}

TEST_F(TextService, EitherModuleAloneSatisfiesTheCheckThroughTheSharedKey) {
    // Both views share the text-service key, so the 32-bit setup finds what either wrote.
    for (const char* alone : {"vornsrf.dll", "vornsrf6.dll"}) {
        tsf(sim::Os::win10_64);
        m().processes.modules.erase(std::string(alone) == "vornsrf.dll" ? "vornsrf6.dll"
                                                                        : "vornsrf.dll");
        registerTextService();
        EXPECT_TRUE(verifyTextService()) << alone;
        EXPECT_TRUE(m().messageBoxes.empty()) << alone;
        EXPECT_TRUE(reg().exists(Hive::localMachine, item + "\\" + written[4], View::native))
            << alone;
    }
}

TEST_F(TextService, NoCheckWithImeOrBeforeWindows10) {
    state.interfaceChoice = 0;
    EXPECT_TRUE(verifyTextService());
    tsf(sim::Os::win7_64);
    EXPECT_TRUE(verifyTextService());
    EXPECT_TRUE(m().messageBoxes.empty());
    EXPECT_FALSE(reg().exists(Hive::localMachine, categories));
}

TEST_F(TextService, CategoriesBelowMissingParentsAreLeftOut) {
    reg().make(Hive::localMachine, item);
    writeTipCategories();
    EXPECT_FALSE(reg().exists(Hive::localMachine, categories));
    EXPECT_TRUE(reg().exists(Hive::localMachine, item + "\\" + written[4]));
}

TEST_F(TextService, SortOrderItemsWithoutAllValuesEndTheSearch) {
    sortItem(0, "{11111111-1111-1111-1111-111111111111}", false);
    sortItem(1, clsid);
    EXPECT_EQ(findProductInSortOrder(), 0u);

    reg().remove(Hive::currentUser, sortOrder);
    sortItem(0, clsid);
    reg().setValue(Hive::currentUser, sortOrder + "\\00000000", "KeyboardLayout", 3,
                   std::string(8, '\0'));  // longer than a number
    EXPECT_EQ(findProductInSortOrder(), 0u);
}

TEST_F(TextService, SortOrderPositionIsByExactClsidInTheFirstHundredItems) {
    EXPECT_EQ(findProductInSortOrder(), 0u);  // no list
    sortItem(0, "{11111111-1111-1111-1111-111111111111}");
    sortItem(1, "{22222222-2222-2222-2222-222222222222}");
    sortItem(2, clsid);
    EXPECT_EQ(findProductInSortOrder(), 3u);

    reg().remove(Hive::currentUser, sortOrder);
    std::string lower = clsid;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    sortItem(0, lower);
    EXPECT_EQ(findProductInSortOrder(), 0u);

    reg().remove(Hive::currentUser, sortOrder);
    for (int i = 0; i < 100; ++i) sortItem(i, "{11111111-1111-1111-1111-111111111111}");
    sortItem(100, clsid);
    EXPECT_EQ(findProductInSortOrder(), 0u);
    sortItem(99, clsid + "trailing");
    EXPECT_EQ(findProductInSortOrder(), 100u);
}

namespace {

const std::string foreignTip = "SOFTWARE\\Microsoft\\CTF\\TIP\\{11111111-1111-1111-1111-111111111111}";
const std::string foreignClass = "SOFTWARE\\Classes\\CLSID\\{11111111-1111-1111-1111-111111111111}";
const std::string other = "{22222222-2222-2222-2222-222222222222}";

class TextServiceRemoval : public TextService {
protected:
    // An installed product beside a foreign text service, in the lists of two languages.
    void installed(sim::Os os) {
        tsf(os);
        registerTextService();
        writeTipCategories();
        for (View view : {View::process, View::native}) {
            reg().setText(Hive::localMachine, foreignTip, "Enable", "1", view);
            reg().setText(Hive::localMachine, foreignClass, "", "Other", view);
        }
        sortItem(0, other);
        sortItem(1, clsid);
        sortItem(2, "{33333333-3333-3333-3333-333333333333}");
        reg().make(Hive::currentUser, sortOrder + "\\00000002\\Extra");
        reg().setText(Hive::currentUser, list409 + "\\00000000", "CLSID", clsid);
        reg().setText(Hive::currentUser, list409 + "\\00000001", "CLSID", other);
    }
    std::vector<std::string> clsids(const std::string& list) {
        std::vector<std::string> found;
        for (const std::string& item : reg().subkeyNames(Hive::currentUser, list))
            found.push_back(item + "=" + reg().text(Hive::currentUser, list + "\\" + item, "CLSID"));
        return found;
    }
    void expectProductGone() {
        for (View view : {View::process, View::native}) {
            EXPECT_FALSE(reg().exists(Hive::localMachine, tip, view));
            EXPECT_FALSE(reg().exists(Hive::localMachine, classKey, view));
            EXPECT_TRUE(reg().exists(Hive::localMachine, foreignTip, view));
            EXPECT_TRUE(reg().exists(Hive::localMachine, foreignClass, view));
        }
        EXPECT_EQ(clsids(sortOrder), (std::vector<std::string>{
                                         "00000000=" + other,
                                         "00000001={33333333-3333-3333-3333-333333333333}"}));
        EXPECT_EQ(clsids(list409), std::vector<std::string>{"00000000=" + other});
    }
    const std::string list409 =
        "SOFTWARE\\Microsoft\\CTF\\SortOrder\\AssemblyItem\\0x00000409\\" + keyboard;
};

}  // namespace

TEST_F(TextServiceRemoval, SixtyFourBitWindowsUnregistersEachModuleInItsView) {
    installed(sim::Os::win10_64);
    m().processes.started.clear();
    m().writeFile("C:\\setup\\regsvr32.exe", "MZ");
    EXPECT_GT(unregisterTextService(), 0);
    EXPECT_EQ(commands(), (std::vector<std::string>{
                              "\"C:\\windows\\syswow64\\regsvr32.exe\" /u /s "
                              "\"C:\\windows\\syswow64\\vornsrf.dll\"",
                              "\"C:\\windows\\system32\\regsvr32.exe\" /u /s "
                              "\"C:\\windows\\system32\\vornsrf6.dll\""}));
    const auto& started = m().processes.started;
    EXPECT_EQ(started[0].unregisteredModule, "c:\\windows\\syswow64\\vornsrf.dll");
    EXPECT_EQ(started[1].program, "c:\\windows\\system32\\regsvr32.exe");
    EXPECT_EQ(started[1].bits, 64u);
    EXPECT_EQ(started[1].unregisteredModule, "c:\\windows\\system32\\vornsrf6.dll");
    EXPECT_TRUE(started[0].waitedFor && started[1].waitedFor);
    EXPECT_FALSE(m().redirectionDisabled);
    expectProductGone();
    // Moved items keep everything they held.
    EXPECT_TRUE(reg().exists(Hive::currentUser, sortOrder + "\\00000001\\Extra"));
    EXPECT_EQ(reg().text(Hive::currentUser, sortOrder + "\\00000001", "KeyboardLayout"),
              std::string("\x04\x08\x04\x08", 4));

    // Nothing left: nothing started, nothing changed.
    EXPECT_EQ(unregisterTextService(), 0);
    EXPECT_EQ(started.size(), 2u);
    expectProductGone();
}

TEST_F(TextServiceRemoval, WhatAMissingModuleLeftIsRemovedAllTheSame) {
    installed(sim::Os::win10_64);
    m().processes.started.clear();
    m().redirectionDisabled = true;
    std::filesystem::remove(m().hostPath(m().systemDir() + "\\vornsrf6.dll"));
    m().redirectionDisabled = false;
    m().processes.runTime = 1000000;  // and the other never ends
    m().sleptMilliseconds = 0;
    EXPECT_GT(unregisterTextService(), 0);
    EXPECT_EQ(commands().size(), 1u);
    EXPECT_EQ(m().sleptMilliseconds, 30000u);
    expectProductGone();
}

TEST_F(TextServiceRemoval, ThirtyTwoBitWindowsHasOneModuleAndOneView) {
    installed(sim::Os::xp32);
    m().processes.started.clear();
    EXPECT_GT(unregisterTextService(), 0);
    EXPECT_EQ(commands(), std::vector<std::string>{
                              "\"C:\\windows\\system32\\regsvr32.exe\" /u /s "
                              "\"C:\\windows\\system32\\vornsrf.dll\""});
    expectProductGone();
}

TEST_F(TextServiceRemoval, AKeyThatCannotBeDeletedFailsAndTheRestGoes) {
    installed(sim::Os::win10_64);
    m().processes.modules.clear();  // modules that unregister nothing
    reg().find(Hive::localMachine, item + "\\" + written[0])->readOnly = true;
    EXPECT_EQ(unregisterTextService(), -1);
    EXPECT_TRUE(reg().exists(Hive::localMachine, item + "\\" + written[0]));
    EXPECT_FALSE(reg().exists(Hive::localMachine, categories));
    EXPECT_FALSE(reg().exists(Hive::localMachine, classKey, View::native));
    EXPECT_EQ(clsids(list409), std::vector<std::string>{"00000000=" + other});

    // An ordering list we may not change fails while it names the product, and only then.
    reg().find(Hive::localMachine, item + "\\" + written[0])->readOnly = false;
    sortItem(1, clsid);
    reg().find(Hive::currentUser, sortOrder)->readOnly = true;
    EXPECT_EQ(unregisterTextService(), -1);
    EXPECT_EQ(clsids(sortOrder).size(), 2u);
    reg().remove(Hive::currentUser, sortOrder + "\\00000001");
    EXPECT_EQ(unregisterTextService(), 0);
}
