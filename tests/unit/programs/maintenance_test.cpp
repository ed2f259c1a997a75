// The check and the repair of an installation: each kind of damage found by the one and put
// right by the other, the check changing nothing, the learnt data never touched.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "../payload/container_builder.h"
#include "../registration/layout_fixture.h"
#include "../userdata/installation_builder.h"
#include "common/install_state.h"
#include "registration/user_steps.h"
#include "common/outcome.h"
#include "programs/pipeline.h"
#include "programs/startup.h"
#include "common/text.h"
#include "payload/installed_files.h"
#include "payload/module_placement.h"

namespace {

using sim::Hive;

const std::string dir = "C:\\Program Files\\vornel8\\";
constexpr const char* layoutsKey = "System\\CurrentControlSet\\Control\\Keyboard Layouts";
const std::string logPath = "C:\\temp\\vornsetup.log";
const std::string uninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vornqwb8";
const std::string tip = "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}";
const std::string keyboardItem = tip + "\\Category\\Item\\{65653599-5030-4C0F-8871-83F6AFDE5098}"
                                       "\\{34745C63-B2F0-4784-8B67-5E12C8701A31}";

// "智能Marl输入平台" in UTF-16LE, two blanks and a version: what the payload's modules carry.
std::string labelled(const std::string& version) {
    std::u16string text = u"智能Marl输入平台  " + std::u16string(version.begin(), version.end());
    return "MZ" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2) + "tail";
}

std::vector<TestEntry> payloadEntries() {
    std::vector<TestEntry> entries;
    for (const char* name : {"vorn320.ime", "vorn640.ime", "vornel4.ime", "vornel64.ime", "vornsrf.dll",
                             "vornsrf6.dll", "csrf732.dll", "csrf764.dll", "vorndel8.exe", "vornqvtk.exe",
                             "vrhzbs.vrh", "vorndwdw.txt", "vrszsj43.vrh", "vornpyck.vrh"})
        entries.push_back({name, std::string("as shipped: ") + name});
    entries.push_back({"setupw64.exe", labelled("6.7")});
    entries.push_back({"vorncyzk.vrh", storedLibrary("中国; 人民; ")});
    return entries;
}

// What the user has taught the input method: a payload file, one the input method creates,
// and the phrase library.
const std::map<std::string, std::string> learnt = {
    {"vorndwdw.txt", "learnt: user's own words"},
    {"vornzdfh.vrh", "learnt: created by the input method"},
    {"vorncyzk.vrh", storedLibrary("学习; 记住的词组; ")},
};

// Every file with its bytes and every key with its values: the whole machine.
std::string machineState(sim::Machine& m) {
    std::ostringstream out;
    std::vector<std::filesystem::path> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(m.root()))
        if (item.is_regular_file()) files.push_back(item.path());
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        if (path.filename() == "vornsetup.log") continue;  // the check's own report
        std::ifstream in(path, std::ios::binary);
        out << path.string() << "=" << in.rdbuf() << "\n";
    }
    std::function<void(const sim::RegistryKey&, const std::string&)> dump =
        [&](const sim::RegistryKey& key, const std::string& at) {
            for (const auto& [name, value] : key.values) out << at << ":" << name << "=" << value.data << "\n";
            for (const auto& [name, sub] : key.subkeys) dump(*sub, at + "\\" + name);
        };
    for (Hive hive : {Hive::localMachine, Hive::currentUser, Hive::users})
        if (const sim::RegistryKey* root = m.registry.walk(hive, {})) dump(*root, std::to_string(int(hive)));
    return out.str();
}

class Maintenance : public LayoutTest {
protected:
    void TearDown() override {
        releasePayloadAndWorkBlock();
        LayoutTest::TearDown();
    }
    void machine(sim::Os os) {
        boot(os);
        m().resources["VRZ/QVTKVRZ"] = buildContainer(payloadEntries());
        standardLayouts();
        reg().make(Hive::localMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
        // IMM refuses: the layout is written by hand and put into the preload list.
        m().imm.acceptsModules = false;
        std::vector<std::string> keys = {tip, keyboardItem};
        for (const char* category : {"{13A016DF-560B-46CD-947A-4C3AF1E0E35D}", "{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}"})
            keys.push_back(keyboardItem.substr(0, keyboardItem.rfind('\\') + 1) + category);
        for (const auto& [module, bits] : {std::pair{"vornsrf.dll", 32u}, std::pair{"vornsrf6.dll", 64u}}) {
            m().processes.modules[module].bits = bits;
            m().processes.modules[module].keys = keys;
        }
    }
    // A silent install (IME), or the wizard's core install with the TSF interface.
    void install(bool tsf) {
        if (!tsf) {
            ASSERT_EQ(runSetup(nullptr, nullptr, "/S", 1), exitInstalled);
        } else {
            ASSERT_TRUE(preparePayloadAndFacts(nullptr));
            state.interfaceChoice = 1;
            state.wizardStarted = 1;
            coreInstall();
            releasePayloadAndWorkBlock();
        }
        for (const auto& [name, content] : learnt) m().writeFile(dir + name, content);
        resetInstallState();
    }
    int run(const char* commandLine) {
        resetInstallState();
        std::filesystem::remove(m().hostPath(logPath));
        m().messageBoxes.clear();
        int code = runSetup(nullptr, nullptr, commandLine, 1);
        log_ = logOf(logPath);
        return code;
    }
    void expectLearntUnchanged(const std::string& when) {
        for (const auto& [name, content] : learnt) EXPECT_EQ(file(dir + name), content) << name << " " << when;
    }
    bool logged(const std::string& line) const { return log_.find(line + "\r\n") != std::string::npos; }
    std::string log_;
};

struct Damage {
    const char* name;
    sim::Os os;
    bool tsf;
    std::function<void(sim::Machine&)> make;
    std::string finding;  // the log line's kind and object
};

}  // namespace

TEST_F(Maintenance, EachDamageIsFoundChangingNothingAndRepairedKeepingTheLearntData) {
    const std::string layouts = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Keyboard Layouts";
    const Damage damages[] = {
        {"module deleted from SysWOW64", sim::Os::win10_64, false,
         [](sim::Machine& m) { std::filesystem::remove(m.hostPath("C:\\windows\\SysWOW64\\vornel4.ime")); },
         "missing module\tC:\\windows\\syswow64\\vornel4.ime"},
        {"module changed, its size kept", sim::Os::xp32, false,
         [](sim::Machine& m) { m.writeFile("C:\\windows\\system32\\vornel4.ime", "as shipped: vornel4.imf"); },
         "different module\tC:\\windows\\system32\\vornel4.ime"},
        {"module deleted from the system directory", sim::Os::xp32, false,
         [](sim::Machine& m) { std::filesystem::remove(m.hostPath("C:\\windows\\system32\\vornel4.ime")); },
         "missing module\tC:\\windows\\system32\\vornel4.ime"},
        {"data file changed", sim::Os::win10_64, false,
         [](sim::Machine& m) { m.writeFile(dir + "vrhzbs.vrh", "as shipped: vrhzbx.vrh"); },
         "damaged file\t" + dir + "vrhzbs.vrh"},
        {"patched companion deleted", sim::Os::win10_64, false,
         [](sim::Machine& m) { std::filesystem::remove(m.hostPath(dir + "setupw64.exe")); },
         "missing file\t" + dir + "setupw64.exe"},
        {"layout key deleted", sim::Os::xp32, false,
         [](sim::Machine& m) { m.registry.remove(Hive::localMachine, std::string(layoutsKey) + "\\E0010804"); },
         "missing keyboard layout\t" + layouts},
        {"preload entry deleted", sim::Os::win7_32, false,
         [](sim::Machine& m) {
             m.registry.remove(Hive::currentUser, "keyboard layout\\preload");
             m.registry.setText(Hive::currentUser, "keyboard layout\\preload", "1", "00000409");
             m.registry.setText(Hive::currentUser, "keyboard layout\\preload", "2", "00000804");
         },
         "missing preload entry\tE0010804"},
        {"uninstall entry deleted", sim::Os::win7_32, false,
         [](sim::Machine& m) { m.registry.remove(Hive::localMachine, uninstallKey); },
         "missing uninstall entry\tHKEY_LOCAL_MACHINE\\" + uninstallKey},
        {"per-user program deleted", sim::Os::win10_64, true,
         [](sim::Machine& m) { std::filesystem::remove(m.hostPath("C:\\windows\\vornuser8.exe")); },
         "missing per-user steps\tHKEY_LOCAL_MACHINE\\" + std::string(userStepsComponentKey)},
        {"per-user component left running the removal", sim::Os::xp32, false,
         [](sim::Machine& m) {
             m.registry.setText(Hive::localMachine, userStepsComponentKey, "StubPath",
                                "\"C:\\windows\\vornuser8.exe\" /REMOVE e0010804", sim::View::native);
         },
         "missing per-user steps\tHKEY_LOCAL_MACHINE\\" + std::string(userStepsComponentKey)},
        {"64-bit text-service module deleted", sim::Os::win10_64, true,
         [](sim::Machine& m) {
             m.redirectionDisabled = true;
             std::filesystem::remove(m.hostPath("C:\\windows\\system32\\vornsrf6.dll"));
             m.redirectionDisabled = false;
         },
         "missing module\tC:\\windows\\system32\\vornsrf6.dll"},
        {"text-service key deleted", sim::Os::win7_64, true,
         [](sim::Machine& m) { m.registry.remove(Hive::localMachine, keyboardItem); },
         "missing text-service key\tHKEY_LOCAL_MACHINE\\" + keyboardItem},
        {"renamed text-service module changed", sim::Os::win7_32, true,
         [](sim::Machine& m) { m.writeFile(dir + "vornsrf.dll", "as shipped: csrf732.dlx"); },
         "damaged file\t" + dir + "vornsrf.dll"},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        machine(damage.os);
        install(damage.tsf);
        ASSERT_EQ(run("/CHECK /S"), exitHealthy) << log_;
        damage.make(m());

        std::string before = machineState(m());
        EXPECT_EQ(run("/CHECK /S"), exitDamaged);
        EXPECT_TRUE(logged("finding\t" + damage.finding)) << log_;
        EXPECT_TRUE(logged("result=damaged\texit=10")) << log_;
        EXPECT_EQ(machineState(m()), before);
        expectLearntUnchanged("after the check");

        m().protectedAccess.clear();
        EXPECT_EQ(run("/REPAIR /S"), exitHealthy) << log_;
        EXPECT_TRUE(logged("repaired\t" + damage.finding)) << log_;
        EXPECT_TRUE(m().messageBoxes.empty());
        // What was put back is locked as the install locks it: no user may swap it afterwards.
        for (const auto& entry : std::filesystem::directory_iterator(m().hostPath(dir))) {
            std::string name = entry.path().filename().string();
            if (name.ends_with(".exe") || name.ends_with(".dll") || name.ends_with(".ime")) {
                EXPECT_NE(std::find(m().protectedAccess.begin(), m().protectedAccess.end(), m().normalize(dir + name)),
                          m().protectedAccess.end())
                    << name;
            }
        }
        EXPECT_EQ(run("/CHECK /S"), exitHealthy) << log_;
        expectLearntUnchanged("after the repair");
    }
}

TEST_F(Maintenance, NoInstallationIsNotInstalledInBothModes) {
    const std::pair<const char*, std::function<void(sim::Machine&)>> cases[] = {
        {"no path file", [](sim::Machine&) {}},
        {"its directory gone", [](sim::Machine& m) { m.writeFile("C:\\windows\\vornpat8.vrh", "D:\\gone\\"); }},
        {"an empty path file", [](sim::Machine& m) { m.writeFile("C:\\windows\\vornpat8.vrh", ""); }},
        // A directory the setup never makes: the repair would write payload files into it.
        {"no install directory", [](sim::Machine& m) {
             m.writeFile("C:\\windows\\vornpat8.vrh", "C:\\windows\\");
             m.writeFile("C:\\vornel8\\vornpat8.vrh", "C:\\windows\\");
         }},
    };
    for (const auto& [name, make] : cases)
        for (const char* commandLine : {"/CHECK /S", "/REPAIR /S"}) {
            machine(sim::Os::win10_64);
            make(m());
            std::string before = machineState(m());
            EXPECT_EQ(run(commandLine), exitNotInstalled) << name << " " << commandLine;
            EXPECT_EQ(machineState(m()), before) << name << " " << commandLine;  // not even a path file
            EXPECT_TRUE(logged("result=not installed\texit=1605")) << log_;
            EXPECT_FALSE(m().exists(dir + "vornel4.ime")) << name;  // nothing installed either
        }
    machine(sim::Os::win10_64);
    EXPECT_EQ(run("/CHECK"), exitNotInstalled);
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].text, u"没有找到智能Marl的安装。");
}

TEST_F(Maintenance, MissingLearntFilesComeFromTheBackupAndChangedOnesAreTheUsers) {
    machine(sim::Os::win7_32);
    install(false);
    // A reinstall backs the learnt files up into vornback.vrz.
    ASSERT_EQ(run("/S"), exitInstalled) << log_;
    ASSERT_TRUE(m().exists(dir + "vornback.vrz"));
    std::filesystem::remove(m().hostPath(dir + "vornzdfh.vrh"));
    std::filesystem::remove(m().hostPath(dir + "vorncyzk.vrh"));
    m().writeFile(dir + "vorndwdw.txt", "learnt since the backup");
    m().writeFile(dir + "vornpyck.vrh", "learnt by the Pinyin edition");

    EXPECT_EQ(run("/CHECK /S"), exitDamaged);
    EXPECT_TRUE(logged("finding\tmissing learnt file\t" + dir + "vornzdfh.vrh")) << log_;
    EXPECT_TRUE(logged("finding\tmissing learnt file\t" + dir + "vorncyzk.vrh")) << log_;
    EXPECT_EQ(log_.find("vorndwdw.txt"), std::string::npos) << log_;
    EXPECT_EQ(log_.find("vornpyck.vrh"), std::string::npos) << log_;

    EXPECT_EQ(run("/REPAIR /S"), exitHealthy) << log_;
    EXPECT_EQ(file(dir + "vornzdfh.vrh"), learnt.at("vornzdfh.vrh"));
    EXPECT_EQ(file(dir + "vorncyzk.vrh"), learnt.at("vorncyzk.vrh"));
    EXPECT_EQ(file(dir + "vorndwdw.txt"), "learnt since the backup");
    EXPECT_EQ(file(dir + "vornpyck.vrh"), "learnt by the Pinyin edition");
    EXPECT_EQ(run("/CHECK /S"), exitHealthy) << log_;

    // Without a backup, a missing learnt file the payload has is the payload's again.
    std::filesystem::remove(m().hostPath(dir + "vornback.vrz"));
    std::filesystem::remove(m().hostPath(dir + "vorndwdw.txt"));
    std::filesystem::remove(m().hostPath(dir + "vornzdfh.vrh"));
    EXPECT_EQ(run("/REPAIR /S"), exitHealthy) << log_;
    EXPECT_EQ(file(dir + "vorndwdw.txt"), "as shipped: vorndwdw.txt");
    EXPECT_FALSE(m().exists(dir + "vornzdfh.vrh"));  // nothing has it: the input method makes it anew
}

TEST_F(Maintenance, InteractiveRunsTellEverythingInOneBox) {
    machine(sim::Os::win7_32);
    install(false);
    std::filesystem::remove(m().hostPath("C:\\windows\\system32\\vornel4.ime"));
    m().writeFile(dir + "vrhzbs.vrh", "damaged");
    EXPECT_EQ(run("/CHECK"), exitDamaged);
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].text,
              u"智能Marl的安装有以下问题：\r\n文件已损坏：C:\\Program Files\\vornel8\\vrhzbs.vrh"
              u"\r\n缺少模块：C:\\windows\\system32\\vornel4.ime\r\n\r\n可以用 vornsetup.exe /REPAIR 修复。");
    EXPECT_EQ(log_, "<missing>");  // no log unless asked for

    m().denyWrite(dir + "vrhzbs.vrh");
    EXPECT_EQ(run("/REPAIR"), exitModuleFailed);
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].text,
              u"智能Marl已修复：\r\n缺少模块：C:\\windows\\system32\\vornel4.ime\r\n\r\n以下问题没有修复："
              u"\r\n文件已损坏：C:\\Program Files\\vornel8\\vrhzbs.vrh");
}

TEST_F(Maintenance, ADamagedCopyIsNeverPlaced) {
    for (const std::string placed : {"C:\\windows\\system32\\vornel4.ime", "C:\\windows\\vorndel8.exe"}) {
        machine(sim::Os::win7_32);
        install(false);
        // The install directory's copy damaged beyond the repair, the placed one gone.
        std::string copy = dir + placed.substr(placed.rfind('\\') + 1);
        m().writeFile(copy, "damaged");
        m().denyWrite(copy);
        std::filesystem::remove(m().hostPath(placed));
        EXPECT_EQ(run("/REPAIR /S"), exitModuleFailed) << placed;
        EXPECT_FALSE(m().exists(placed)) << placed;
        EXPECT_TRUE(logged("not repaired\tmissing module\t" + placed)) << log_;
        EXPECT_TRUE(logged("not repaired\tdamaged file\t" + copy)) << log_;
    }
}

TEST(InstalledFiles, TheLabelPatchInMemoryIsThePatchOfTheFile) {
    sim::Machine m(sim::Os::win7_32);
    resetInstallState();
    uint8_t block[versionPatchLimit + 64];
    state.workBuffer = block;
    for (const std::string& content :
         {labelled("6.3"), labelled("6.7"), labelled("8.1"), labelled("6.3") + labelled("6.7"),
          std::string("no label"), labelled("6.3").substr(0, 25)}) {
        m.writeFile("C:\\module.ime", content);
        patchVersionLabel("C:\\module.ime");
        std::string inMemory = content;
        patchVersionLabelBytes(reinterpret_cast<uint8_t*>(inMemory.data()), inMemory.size());
        EXPECT_EQ(inMemory, m.readFile("C:\\module.ime").value_or("<missing>"));
    }
    state.workBuffer = nullptr;
}

TEST(InstalledFiles, TheRepairProgramIsTheSetupItselfInTheInstallDirectory) {
    struct Case {
        const char* name;
        std::string programPath;
        bool placed;
        std::string copy;  // what installDir holds afterwards as "vornsetup.exe"
    };
    const Case cases[] = {
        {"copied", "C:\\setup\\vornsetup.exe", true, "setup 9.0"},
        {"run from the copy", dir + "VORNSETUP.EXE", true, "older copy"},
        // Without its own path an older copy must not stand in: it carries an older payload.
        {"own path unknown", "", false, "older copy"},
        {"own file gone", "C:\\setup\\gone.exe", false, "older copy"},
    };
    for (const Case& c : cases) {
        sim::Machine m(sim::Os::win10_64);
        resetInstallState();
        copyText(state.installDir, dir.c_str());
        m.writeFile("C:\\setup\\vornsetup.exe", "setup 9.0");
        m.writeFile(dir + "vornsetup.exe", "older copy");
        m.processes.programPath = c.programPath;
        EXPECT_EQ(placeRepairProgram(), c.placed) << c.name;
        EXPECT_EQ(m.readFile(dir + "vornsetup.exe").value_or("<missing>"), c.copy) << c.name;
    }
}

// A module still loaded goes aside for the restart: repaired, and the restart asked for.
TEST_F(Maintenance, AModulePutBackWhileLoadedAsksForTheRestart) {
    machine(sim::Os::xp32);
    install(false);
    m().writeFile("C:\\windows\\system32\\vornel4.ime", "as shipped: vornel4.imf");
    m().markBusy("C:\\windows\\system32\\vornel4.ime");
    EXPECT_EQ(run("/REPAIR /S"), exitRestartNeeded) << log_;
    EXPECT_TRUE(logged("result=repaired, a restart completes it\texit=3010")) << log_;
    EXPECT_EQ(run("/CHECK /S"), exitHealthy) << log_;
}

// A deployment tool checks as LocalSystem, whose preload list is nobody's: the installation is
// judged without it; the signed-in user's check still finds his entry missing.
TEST_F(Maintenance, LocalSystemsPreloadListIsNoPartOfTheCheck) {
    machine(sim::Os::win7_32);
    install(false);
    m().registry.remove(Hive::currentUser, "keyboard layout\\preload");
    m().registry.setText(Hive::currentUser, "keyboard layout\\preload", "1", "00000409");
    EXPECT_EQ(run("/CHECK /S"), exitDamaged) << log_;
    m().userName = "SYSTEM";
    EXPECT_EQ(run("/CHECK /S"), exitHealthy) << log_;
}
