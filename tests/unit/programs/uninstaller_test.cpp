// The uninstaller over a machine the setup installed: afterwards the machine is as it was before
// the install, but for the learnt data it keeps.
#include "programs/uninstaller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "../payload/container_builder.h"
#include "../registration/layout_fixture.h"
#include "../userdata/installation_builder.h"
#include "common/install_state.h"
#include "common/locations.h"
#include "common/outcome.h"
#include "platform/ime.h"
#include "programs/per_user.h"
#include "programs/pipeline.h"
#include "common/product.h"
#include "programs/startup.h"
#include "registration/text_service.h"
#include "registration/user_steps.h"

namespace {

const std::string clsid = "{65653599-5030-4C0F-8871-83F6AFDE5098}";
const std::string tip = "SOFTWARE\\Microsoft\\CTF\\TIP\\" + clsid;
const std::string classKey = "SOFTWARE\\Classes\\CLSID\\" + clsid;
const std::string keyboard = "{34745C63-B2F0-4784-8B67-5E12C8701A31}";

class Uninstaller : public LayoutTest {
protected:
    std::string dir() { return m().is64Bit() ? "C:\\Program Files\\vornel8\\" : "C:\\Program Files\\vornel8\\"; }

    void machine(sim::Os os) {
        boot(os);
        std::vector<TestEntry> entries;
        for (const char* name : {"vorn320.ime", "vorn640.ime", "vornel4.ime", "vornel64.ime", "vornsrf.dll",
                                 "vornsrf6.dll", "csrf732.dll", "csrf764.dll", "vorndel8.exe", "vornqvtk.exe",
                                 "setupw64.exe", "vornel88.exe"})
            entries.push_back({name, std::string("module ") + name});
        for (const TestEntry& entry : completeInstallEntries()) entries.push_back(entry);
        m().resources["VRZ/QVTKVRZ"] = buildContainer(entries);
        // What every Windows has, with things of other programs in the keys the product shares.
        auto& r = reg();
        r.setText(sim::Hive::localMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Other", "o.exe");
        r.setText(sim::Hive::localMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other",
                  "DisplayName", "Other");
        r.setText(sim::Hive::localMachine,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post Platform",
                  "SV1", "");
        addLayout("00000409", "US");
        addLayout("E0300804", "Other IME");
        r.setText(sim::Hive::localMachine, layoutKey("E0300804"), "Ime File", "OTHER.IME");
        setPreload({"00000409", "E0300804"});
        setPreload({"00000409", "E0300804"}, sim::Hive::users, defaultList);
        r.make(sim::Hive::localMachine, "SOFTWARE\\Microsoft\\CTF\\TIP\\{11111111-2222-3333-4444-555555555555}");
        r.setText(sim::Hive::currentUser, "SOFTWARE\\Microsoft\\CTF\\SortOrder\\AssemblyItem\\0x00000804\\" +
                  keyboard + "\\00000000", "CLSID", "{11111111-2222-3333-4444-555555555555}");
        m().writeFile(m().systemDir() + "\\other.dll", "other");
        // The setup as it was started: it leaves a copy of itself for the repair.
        m().writeFile("C:\\setup\\vornsetup.exe", "the setup");
        m().processes.programPath = "C:\\setup\\vornsetup.exe";
        m().makeDirectories(dir().substr(0, 17));
        for (sim::View view : {sim::View::native, sim::View::redirected})
            r.make(sim::Hive::localMachine, "SOFTWARE\\Classes\\CLSID", view);
        // The text-service modules write and remove what the stand-ins do.
        std::vector<std::string> keys = {tip, tip + "\\Category\\Item\\" + clsid + "\\" + keyboard,
                                         classKey + "\\InprocServer32"};
        m().processes.modules["vornsrf.dll"] = {32, keys, {tip, classKey}};
        m().processes.modules["vornsrf6.dll"] = {64, keys, {tip, classKey}};
    }

    // The host-relative names of the install directory and files in it.
    std::string hostDir() { return "c/Program Files/vornel8"; }

    void installIme() {
        ASSERT_EQ(runSetup(nullptr, nullptr, "/S", 1), 0);
        releasePayloadAndWorkBlock();
    }
    void installTsf() {
        state.interfaceChoice = 1;
        state.wizardStarted = 1;
        ASSERT_TRUE(preparePayloadAndFacts(nullptr));
        coreInstall();
        verifyTextService();
        releasePayloadAndWorkBlock();
    }
    // The learnt files with contents of their own, as a used installation has them.
    void useIt() {
        for (const auto& [name, content] : learnedFiles()) m().writeFile(dir() + name, content);
    }
    // What an uninstall that keeps the data leaves: the directory, the learnt files (the Pinyin
    // library among them), the backup.
    std::vector<std::string> keptData() {
        std::vector<std::string> names = {"+" + hostDir() + "/", "+" + hostDir() + "/vornback.vrz"};
        for (const auto& file : learnedFiles()) names.push_back("+" + hostDir() + "/" + file.first);
        std::sort(names.begin(), names.end());
        return names;
    }
    // What stays for the users who sign in later: the per-user program and its component, now
    // running the removal, and the mark that this account has had it.
    static std::vector<std::string> leftForOtherUsers() {
        const std::string component = "SOFTWARE\\MICROSOFT\\ACTIVE SETUP\\INSTALLED COMPONENTS\\"
                                      "{E3B1C9A2-5D47-4F08-9B6E-2A7C41D0F853}\\";
        return {"+c/windows/vornuser8.exe",
                "+hive0\\" + component,
                "+hive0\\" + component + ":",
                "+hive0\\" + component + ":ISINSTALLED",
                "+hive0\\" + component + ":STUBPATH",
                "+hive0\\" + component + ":VERSION",
                "+hive1\\" + component,
                "+hive1\\" + component + ":VERSION"};
    }
    // A user signs in and Windows runs, once, each component whose version the user has not had
    // (Active Setup): here the setup's, through the program's own entry. Its exit code, or -1
    // when it did not run.
    int signIn(const std::string& user) {
        m().signIn(user);
        auto version = reg().value(sim::Hive::localMachine, userStepsComponentKey, "Version", sim::View::native);
        if (!version || reg().text(sim::Hive::currentUser, userStepsComponentKey, "Version") == version->data) return -1;
        const std::string program = "\"C:\\windows\\vornuser8.exe\" ";
        std::string command = reg().text(sim::Hive::localMachine, userStepsComponentKey, "StubPath", sim::View::native);
        EXPECT_EQ(command.substr(0, program.size()), program);
        EXPECT_EQ(file("C:\\windows\\vornuser8.exe"), "the per-user steps");
        int code = runPerUserSteps(command.substr(program.size()).c_str());
        reg().setText(sim::Hive::currentUser, userStepsComponentKey, "Version", version->data);
        return code;
    }
    static std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return sorted(a);
    }
    std::vector<std::string> findLayoutIds() {
        std::vector<std::string> ids;
        for (const std::string& id : layoutIds())
            if (sim::upperAscii(layoutValue(id, "Ime File")) == "VORNEL4.IME") ids.push_back(id);
        return ids;
    }
    static std::vector<std::string> sorted(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace

TEST_F(Uninstaller, RemovesEverythingTheSetupAddedButTheKeptDataForEachInterface) {
    struct Case {
        const char* name;
        sim::Os os;
        bool tsf;
    };
    for (const Case& c : {Case{"IME on XP", sim::Os::xp32, false}, Case{"TSF on Windows 10", sim::Os::win10_64, true},
                          Case{"IME on Windows 7 64-bit", sim::Os::win7_64, false}}) {
        machine(c.os);
        Snapshot before = snapshot();
        if (c.tsf) installTsf();
        else installIme();
        useIt();
        m().messageBoxes.clear();
        // Installed for real, so that there is something to remove.
        EXPECT_EQ(reg().text(sim::Hive::localMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vornqwb8",
                             "ModifyPath"),
                  "\"" + dir() + "vornsetup.exe\" /REPAIR") << c.name;
        if (c.tsf) EXPECT_TRUE(reg().exists(sim::Hive::localMachine, tip)) << c.name;
        else EXPECT_FALSE(findLayoutIds().empty()) << c.name;
        EXPECT_TRUE(m().exists("C:\\windows\\vorndel8.exe")) << c.name;
        EXPECT_EQ(runUninstaller("/S"), uninstallRemoved) << c.name;
        // The text service here registers no profile: nothing of it for other users to remove.
        EXPECT_EQ(sorted(difference(before, snapshot())), c.tsf ? keptData() : with(keptData(), leftForOtherUsers()))
            << c.name;
        for (const auto& [name, content] : learnedFiles()) EXPECT_EQ(file(dir() + name), content) << name;
        EXPECT_TRUE(m().pendingDeletes.empty()) << c.name;
        EXPECT_TRUE(m().messageBoxes.empty()) << c.name;

        // A second run finds nothing and changes nothing.
        Snapshot kept = snapshot();
        EXPECT_EQ(runUninstaller("/S"), uninstallNotInstalled) << c.name;
        EXPECT_EQ(difference(kept, snapshot()), std::vector<std::string>{}) << c.name;

        // The next setup finds the kept data and puts them back.
        if (!c.tsf) {
            installIme();
            for (const auto& [name, content] : learnedFiles()) {
                if (name != "vrszsj43.vrh") {
                    EXPECT_EQ(file(dir() + name), content) << c.name << " " << name;
                }
            }
        }
    }
}

TEST_F(Uninstaller, AskedOnceTheUserChoosesWhatGoes) {
    struct Case {
        int answer;
        int exitCode;
        bool installedAfter;
        bool keptAfter;
    };
    for (const Case& c : {Case{plat::idYes, uninstallRemoved, false, true}, Case{plat::idNo, uninstallRemoved, false, false},
                          Case{plat::idCancel, uninstallCancelled, true, true}}) {
        machine(sim::Os::win7_32);
        Snapshot before = snapshot();
        installIme();
        useIt();
        Snapshot installed = snapshot();
        m().messageBoxes.clear();
        m().answers = {c.answer};
        EXPECT_EQ(runUninstaller(""), c.exitCode);
        ASSERT_EQ(m().messageBoxes.size(), c.answer == plat::idCancel ? 1u : 2u);
        EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl卸载");
        EXPECT_EQ(m().messageBoxes[0].type & 0xF, plat::mbYesNoCancel);
        std::vector<std::string> expected;
        if (!c.installedAfter) expected = with(c.keptAfter ? keptData() : std::vector<std::string>{}, leftForOtherUsers());
        EXPECT_EQ(sorted(difference(c.installedAfter ? installed : before, snapshot())), expected);
    }
}

TEST_F(Uninstaller, AModuleInUseGoesAtTheRestartUnderAnotherName) {
    machine(sim::Os::xp32);
    Snapshot before = snapshot();
    installIme();
    m().markBusy("C:\\windows\\system32\\vornel4.ime");
    EXPECT_EQ(runUninstaller("/S /REMOVEDATA"), uninstallRestartNeeded);
    EXPECT_FALSE(m().exists("C:\\windows\\system32\\vornel4.ime"));
    EXPECT_EQ(m().pendingDeletes, std::vector<std::string>{m().normalize("C:\\windows\\system32\\vornel2.ime")});
    EXPECT_EQ(sorted(difference(before, snapshot())), with({"+c/windows/system32/vornel2.ime"}, leftForOtherUsers()));
    m().restart();
    EXPECT_EQ(sorted(difference(before, snapshot())), leftForOtherUsers());
}

// Windows 8 and later list a text service only once input.dll enabled it: the setup enables
// each profile the modules registered, the uninstaller disables them, first making another
// enabled input the default when the product was it. Without input.dll nothing is asked.
TEST_F(Uninstaller, TheTextServiceIsEnabledAndDisabledThroughInputDll) {
    const std::string profile = "{0A6E3F1B-1111-2222-3333-444455556666}";
    const std::u16string id = u"0x0804:{65653599-5030-4C0F-8871-83F6AFDE5098}{0A6E3F1B-1111-2222-3333-444455556666}";
    const std::u16string us = u"0x0409:0x00000409";
    using Calls = std::vector<std::pair<std::u16string, uint32_t>>;
    const struct {
        sim::Os os;
        bool refuses;
        int installed, removed;
        Calls calls;
    } rows[] = {
        {sim::Os::win10_64, false, exitInstalled, uninstallRemoved, {{id, 0}, {id, plat::ilotUninstall}}},
        {sim::Os::win10_32, true, exitModuleFailed, uninstallFailed, {{id, 0}, {id, plat::ilotUninstall}}},
        {sim::Os::xp32, false, exitInstalled, uninstallRemoved, {}},
    };
    for (const auto& row : rows) {
        machine(row.os);
        for (const char* module : {"vornsrf.dll", "vornsrf6.dll"})
            m().processes.modules[module].keys.push_back(tip + "\\LanguageProfile\\0x00000804\\" + profile);
        m().inputDll.enabled = {us};
        m().inputDll.refuses = row.refuses;
        resetOutcome();
        installTsf();
        EXPECT_EQ(setupOutcome(), row.installed);
        if (!row.refuses && row.os != sim::Os::xp32) {
            EXPECT_EQ(m().inputDll.enabled, (std::vector<std::u16string>{us, id}));
        }
        m().inputDll.defaultId = id;
        EXPECT_EQ(runUninstaller("/S"), row.removed);
        EXPECT_EQ(m().inputDll.calls, row.calls);
        if (!row.refuses && row.os != sim::Os::xp32) {
            EXPECT_EQ(m().inputDll.enabled, std::vector<std::u16string>{us});
            EXPECT_EQ(m().inputDll.defaultId, us);
        }
    }
}

// A deployment tool installs as SYSTEM; every user gets the preload entry or the enabled text
// service at the next sign-in, once, and loses it at the first sign-in after the uninstall.
TEST_F(Uninstaller, EveryUserGetsThePerUserStepsAtTheNextSignInAndLosesThemAfterTheUninstall) {
    const std::string profile = "{0A6E3F1B-1111-2222-3333-444455556666}";
    const std::u16string id = u"0x0804:" + host::fromGbk(clsid + profile);
    const std::u16string us = u"0x0409:0x00000409";
    const struct {
        sim::Os os;
        bool tsf;
        const char* installer;
    } rows[] = {
        {sim::Os::win10_64, false, "SYSTEM"},
        {sim::Os::win10_64, true, "SYSTEM"},
        {sim::Os::win7_32, true, "admin"},
        {sim::Os::xp32, false, "admin"},
    };
    for (const auto& row : rows) {
        const std::string name = std::string(row.tsf ? "TSF" : "IME") + " as " + row.installer;
        machine(row.os);
        for (const char* module : {"vornsrf.dll", "vornsrf6.dll"})
            m().processes.modules[module].keys.push_back(tip + "\\LanguageProfile\\0x00000804\\" + profile);
        m().signIn(row.installer);
        setPreload({"00000409"});
        if (row.tsf) installTsf();
        else installIme();
        std::string layout = row.tsf ? "" : sim::lowerAscii(findLayoutIds().at(0));
        // What the product gave the user signed in: its layout in the preload list, or its
        // profile enabled; and for the one who has it as default, another input made the default.
        auto has = [&] {
            std::vector<std::string> list = preload();
            return row.tsf ? std::count(m().inputDll.enabled.begin(), m().inputDll.enabled.end(), id) == 1
                           : std::count(list.begin(), list.end(), layout) == 1;
        };
        m().signIn("alice");
        setPreload({"00000409"});
        m().inputDll.enabled = {us};
        EXPECT_FALSE(has()) << name;
        EXPECT_EQ(signIn("alice"), perUserDone) << name;
        EXPECT_TRUE(has()) << name;
        EXPECT_EQ(signIn("alice"), -1) << name;  // once
        EXPECT_EQ(signIn(row.installer), -1) << name;  // the install did it for its own account
        signIn("alice");
        m().inputDll.defaultId = id;

        signIn(row.installer);
        ASSERT_EQ(runUninstaller("/S"), uninstallRemoved) << name;
        EXPECT_EQ(reg().text(sim::Hive::localMachine, userStepsComponentKey, "StubPath", sim::View::native),
                  "\"C:\\windows\\vornuser8.exe\" /REMOVE " +
                      (row.tsf ? sim::toGbk(id) : sim::upperAscii(layout)))
            << name;
        EXPECT_EQ(signIn("alice"), perUserDone) << name;
        EXPECT_FALSE(has()) << name;
        if (row.tsf) {
            EXPECT_EQ(m().inputDll.defaultId, us) << name;
        }
        EXPECT_EQ(preload(), std::vector<std::string>{"00000409"}) << name;
        // A user made after the uninstall: nothing of the product, nothing changed.
        m().signIn("bob");
        setPreload({"00000409"});
        EXPECT_EQ(signIn("bob"), perUserDone) << name;
        EXPECT_EQ(preload(), std::vector<std::string>{"00000409"}) << name;
        // input.dll asked to enable for the installer and alice, to disable for each of the three.
        using Calls = std::vector<std::pair<std::u16string, uint32_t>>;
        const uint32_t off = plat::ilotUninstall;
        const Calls calls = row.tsf ? Calls{{id, 0}, {id, 0}, {id, off}, {id, off}, {id, off}} : Calls{};
        EXPECT_EQ(m().inputDll.calls, calls) << name;
    }
}

// The per-user program's command lines, and a machine without the product.
TEST_F(Uninstaller, ThePerUserStepsTakeOnlyTheirOwnCommands) {
    machine(sim::Os::win10_64);
    const struct {
        const char* command;
        int code;
    } rows[] = {
        {"/ADD", perUserNothingRegistered},
        {"/add extra", perUserInvalidCommandLine},
        {"", perUserInvalidCommandLine},
        {"/REMOVE e0200804 0x0804:{65653599-5030-4C0F-8871-83F6AFDE5098}{0A6E3F1B-1111-2222-3333-444455556666}",
         perUserDone},
        {"/REMOVE e0200804;x", perUserInvalidCommandLine},
        {"/REMOVE ..\\e0200804", perUserInvalidCommandLine},
        {"/REMOVE 0x0804:{65653599-5030-4C0F-8871-83F6AFDE5098}", perUserInvalidCommandLine},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(runPerUserSteps(row.command), row.code) << row.command;
        EXPECT_TRUE(m().messageBoxes.empty()) << row.command;
    }
    EXPECT_EQ(logOf("C:\\temp\\vornuser8.log"), "vornuser8 9.0\tcommand=/REMOVE 0x0804:{65653599-5030-4C0F-8871-83F6AFDE5098}\r\n"
                                                 "command not taken\t0x0804:{65653599-5030-4C0F-8871-83F6AFDE5098}\r\n"
                                                 "exit=1639\r\n");
}

TEST_F(Uninstaller, BeforeTheRestartASecondRunWaitsAndASetupKeepsItsFiles) {
    machine(sim::Os::xp32);
    installIme();
    m().markBusy("C:\\windows\\system32\\vornel4.ime");
    ASSERT_EQ(runUninstaller("/S /REMOVEDATA"), uninstallRestartNeeded);
    const std::vector<std::string> aside = {m().normalize("C:\\windows\\system32\\vornel2.ime")};
    ASSERT_EQ(m().pendingDeletes, aside);

    // Only what waits for the restart is left: said once, nothing recorded twice.
    EXPECT_EQ(runUninstaller("/S"), uninstallRemoved);
    EXPECT_EQ(m().pendingDeletes, aside);
    EXPECT_EQ(logOf("C:\\temp\\vorndel8.log").find("not removed"), std::string::npos);
    EXPECT_NE(logOf("C:\\temp\\vorndel8.log").find("waits for the restart\tC:\\windows\\system32\\vornel2.ime"),
              std::string::npos)
        << logOf("C:\\temp\\vorndel8.log");

    // Deletes an older uninstaller recorded under the installed names do not take the new install.
    const std::string other = m().normalize("C:\\other\\old.dll");
    for (const std::string& path : {dir() + "vral01.jpg", dir() + "vornel4.ime", dir().substr(0, dir().size() - 1),
                                    std::string("C:\\windows\\system32\\vornel4.ime"),
                                    std::string("C:\\windows\\vorndel8.exe"), std::string("C:\\other\\old.dll")})
        m().pendingDeletes.push_back(m().normalize(path));
    installIme();
    EXPECT_EQ(m().pendingDeletes, (std::vector<std::string>{aside[0], other}));
    Snapshot installed = snapshot();
    m().restart();
    EXPECT_EQ(difference(installed, snapshot()), std::vector<std::string>{"-c/windows/system32/vornel2.ime"});
}

TEST_F(Uninstaller, AFailedRunKeepsItsEntryAndTheNextFinishesIt) {
    machine(sim::Os::xp32);
    Snapshot before = snapshot();
    installIme();
    const std::string entry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vornqwb8";
    // Windows puts an installed IME into the user's list; the simulated IMM, like Wine's, does not.
    ASSERT_EQ(findLayoutIds().size(), 1u);
    setPreload({"00000409", sim::lowerAscii(findLayoutIds()[0]), "E0300804"});
    reg().find(sim::Hive::currentUser, userList)->readOnly = true;
    EXPECT_EQ(runUninstaller("/S /REMOVEDATA"), uninstallFailed);
    EXPECT_TRUE(reg().exists(sim::Hive::localMachine, entry));
    EXPECT_TRUE(m().exists("C:\\windows\\vorndel8.exe"));
    EXPECT_TRUE(findLayoutIds().empty());  // the layout itself went, its preload entry did not

    // The layout the install recorded leads the next run to the entry left behind.
    reg().find(sim::Hive::currentUser, userList)->readOnly = false;
    EXPECT_EQ(runUninstaller("/S /REMOVEDATA"), uninstallRemoved);
    EXPECT_EQ(sorted(difference(before, snapshot())), leftForOtherUsers());
}

// A line of what could not be removed carries Windows' error number: a file's delete, or the
// registry call that failed.
TEST_F(Uninstaller, WhatIsNotRemovedIsLoggedWithWindowsErrorNumber) {
    const struct {
        bool file;  // else the user's preload list
        std::string line;
    } rows[] = {
        {false, "not removed\tpreload list\terror=5\r\n"},
        {true, "not removed\tC:\\windows\\system32\\vornel4.ime\terror=5\r\n"},
    };
    for (const auto& row : rows) {
        machine(sim::Os::xp32);
        installIme();
        setPreload({"00000409", sim::lowerAscii(findLayoutIds().at(0))});
        if (row.file) m().denyWrite("C:\\windows\\system32\\vornel4.ime");
        else reg().find(sim::Hive::currentUser, userList)->readOnly = true;
        EXPECT_EQ(runUninstaller("/S"), uninstallFailed) << row.line;
        EXPECT_NE(logOf("C:\\temp\\vorndel8.log").find(row.line), std::string::npos) << logOf("C:\\temp\\vorndel8.log");
    }
}

TEST_F(Uninstaller, RefusalsChangeNothing) {
    struct Case {
        const char* name;
        sim::Os os;
        std::function<void(sim::Machine&)> make;
        int exitCode;
    };
    const Case cases[] = {
        {"no administrator", sim::Os::win10_64, [](sim::Machine& m) { m.denyWrite("C:\\windows\\vorndel8.tmp"); },
         uninstallNotAdministrator},
        {"another running", sim::Os::win7_32, [](sim::Machine& m) { m.otherInstances[instanceMutexName] = 60000; },
         uninstallAnotherRunning},
    };
    for (const Case& c : cases) {
        machine(c.os);
        installIme();
        Snapshot installed = snapshot();
        c.make(m());
        EXPECT_EQ(runUninstaller("/S"), c.exitCode) << c.name;
        EXPECT_EQ(difference(installed, snapshot()), std::vector<std::string>{}) << c.name;
    }
}

TEST_F(Uninstaller, TraditionalScriptUnderCodePage950) {
    machine(sim::Os::win7_32);
    m().oemCodePage = 950;
    EXPECT_EQ(runUninstaller(""), uninstallNotInstalled);
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl解除安裝");
    EXPECT_EQ(m().messageBoxes[0].text, u"本機沒有安裝智能Marl輸入平台 9.0，沒有需要解除安裝的內容。");
}
