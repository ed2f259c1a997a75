// Whole installs over a used installation, once per fault point they pass: whatever call
// fails, the run ends as it should and no learnt file is lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "checks/admin_check.h"
#include "common/learned_data.h"
#include "common/locations.h"
#include "common/outcome.h"
#include "programs/pipeline.h"
#include "programs/startup.h"
#include "programs/uninstaller.h"
#include "programs/unattended.h"
#include "installation_builder.h"
#include "sim_fixture.h"
#include "wizard/main_window.h"
#include "wizard/wizard_objects.h"

namespace {

struct Config {
    const char* name;
    sim::Os os;
    bool silent;
    bool ime;  // the wizard offers the interface only on XP and older
};

// VORN_FAULT_SHARD=k/n runs only the fault points whose number is k modulo n, so that n
// processes share the points (the sanitizer build's run takes ten minutes on one core).
struct Shard {
    uint64_t index = 0, count = 1;
};

Shard shardFromEnvironment() {
    Shard shard;
    const char* text = std::getenv("VORN_FAULT_SHARD");
    unsigned long long index = 0, count = 0;
    char end = 0;
    if (text && std::sscanf(text, "%llu/%llu%c", &index, &count, &end) == 2 && count > 0 && index < count)
        shard = {index, count};
    else if (text && *text)
        ADD_FAILURE() << "VORN_FAULT_SHARD is k/n with k < n, not \"" << text << "\"";
    return shard;
}

bool inShard(uint64_t point) {
    static const Shard shard = shardFromEnvironment();
    return point % shard.count == shard.index;
}

const Config configs[] = {
    {"wizard-tsf-win10-64", sim::Os::win10_64, false, false},
    {"wizard-tsf-win7-32", sim::Os::win7_32, false, false},
    {"wizard-ime-xp-32", sim::Os::xp32, false, true},
    {"silent-ime-win10-64", sim::Os::win10_64, true, true},
    {"silent-ime-xp-32", sim::Os::xp32, true, true},
};

// Modules of both interfaces, the payload's own copies of files the input method learns into,
// a skin, and a few data files. Not the files only the input method creates.
std::vector<TestEntry> payloadEntries() {
    std::vector<TestEntry> entries;
    for (const char* name :
         {"vorn320.ime",  "vorn321.ime",  "vorn640.ime",  "vorn641.ime",  "vornel4.ime",
          "vornel64.ime", "vornsrf.dll",  "vornsrf6.dll", "csrf732.dll",  "csrf764.dll",
          "vorndel8.exe", "vornqvtk.exe", "setupw64.exe", "vrszsj43.vrh", "cfontset.vrh",
          "vorndhz.vrh",  "vorndwdw.txt", "vornzdym.vrh", "vrpyzdym.vrh", "vrwbpy.txt",
          "vornynhz.txt", "vornzdfh.vrh", "ftvrzdym.txt", "cwb.ov1",      "vrbmps44.bmp"})
        entries.push_back({name, std::string("as shipped: ") + name});
    entries.push_back({"vorncyzk.vrh", storedLibrary("中国; 人民; ")});
    entries.push_back({"vornpyck.vrh", storedLibrary("拼音; 汉字; ")});
    std::vector<TestEntry> skin = {{"vrbmp8.vrh", std::string(300, '\x01')}};
    for (int i = 1; i <= 7; ++i)
        skin.push_back({"vrbmpsx" + std::to_string(i) + ".bmp", "BM" + std::string(40, '\x40')});
    entries.push_back({"冷色瓷面.vrz", buildContainer(skin, true)});
    // Names one moved aside could take from another: only the product's own names are never used.
    for (int i = 0; i < 4; ++i) entries.push_back({"vrpykey" + std::to_string(i) + ".txt", "table"});
    return entries;
}

// Every text a step of the install may show, formatted ones by their fixed start.
const char16_t* const knownTexts[] = {
    u"没有成功解压复制",  u"没有成功写入", u"文件解压不完整，请到智能Marl网站",
    u"检测到安装目录下有智能Marl以前的词组等数据文件，是否保留？",
    u"检测到有智能Marl以前的词组等数据文件，是否保留？",
    u"没有成功复制",      u"安装包没有成功解压",
    u"成功恢复了",        u"原有数据文件没有成功复制",
    u"安装完毕，如不能使用，请重新启动计算机！",
    u"智能Marl汉字输入系统9.0版安装情况报告。",
    u"检测到内存中有智能Marl数据没有退出",
    u"本安装程序需要以管理员权限运行",
    u"系统32位dll文件没有挂接成功",  u"系统64位dll文件没有挂接成功",
    u"Software open error",
    u"智能Marl安装软件检测到有下列 ",
    u"　　你以前安装的",  u"是否设置智能Marl为系统非默认输入法？",
    u"请重新启动机器后安装智能Marl！",
    u"皮肤文件没有成功复制，请重新安装皮肤文件！",
};

bool known(const std::u16string& text) {
    for (const char16_t* start : knownTexts)
        if (text.starts_with(start)) return true;
    // The list of damaged files of the payload or the backup: names, then the summary.
    return text.find(u"....") != std::u16string::npos || text.starts_with(u"有文件没有成功解压");
}

class LearnedDataFaults : public SimTest {
protected:
    const std::string dir = "C:\\Program Files\\vornel8\\";

    void TearDown() override {
        endUnattended();
        releasePayloadAndWorkBlock();
        wizard = WizardObjects{};
        SimTest::TearDown();
    }

    // An earlier installation in the install directory, used: each learnt file has content of
    // its own. Recorded in the path file.
    void usedMachine(const Config& config) {
        boot(config.os);
        m().desktop.rasterise = false;  // no pixel is looked at here
        endUnattended();
        wizard = WizardObjects{};
        m().resources["VRZ/QVTKVRZ"] = payload_;
        for (const TestEntry& entry : payloadEntries()) m().writeFile(dir + entry.name, entry.content);
        for (const auto& [name, content] : learnedFiles()) m().writeFile(dir + name, content);
        m().writeFile("C:\\windows\\vornpat8.vrh", dir);
    }

    // What every Windows has and the check asks for: the list of programs' key, a Chinese
    // layout in the user's list.
    void windowsRegistry() {
        m().registry.make(sim::Hive::localMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
        m().registry.setText(sim::Hive::localMachine,
                             "System\\CurrentControlSet\\Control\\Keyboard Layouts\\00000804", "layout text",
                             "Chinese (Simplified) - US Keyboard");
        m().registry.setText(sim::Hive::currentUser, "Keyboard Layout\\Preload", "1", "00000804");
        // IMM refuses the module: the layout and its preload entry are written by hand, as
        // the check expects them (the simulated IMM, like Wine's, lists nothing itself).
        m().imm.acceptsModules = false;
    }

    // The whole run, as the program's entry and the user would take it.
    void run(const Config& config) {
        if (config.silent) {
            runSetup(nullptr, nullptr, "setvrsrf32", 1);
            ended_ = true;
            return;
        }
        state.page = 0;
        state.oemCodePage = plat::getOemCodePage();
        computeInstallDir();
        if (isNotAdministrator()) return;
        setWizardInstance(nullptr);
        if (!registerMainWindowClass(nullptr) || !createMainWindow(nullptr, plat::swShowNormal))
            return;
        auto click = [](int x, int y) {
            mainWindowProc(wizard.mainWindow, plat::wmLButtonDown, 0,
                           static_cast<intptr_t>((y << 16) | x));
        };
        if (config.ime) click(300, 225);  // the IME interface
        for (int i = 0; i < 3; ++i) click(90, 257);  // on, on, confirm
        // The message loop until the wizard ends; the completion timer fires when due.
        for (int steps = 0; steps < 100; ++steps) {
            plat::Message message;
            if (plat::getMessage(message) <= 0) {
                if (m().timers.empty()) {
                    ended_ = true;
                    return;
                }
                sim::Machine::Timer timer = m().timers.front();
                mainWindowProc(timer.window, plat::wmTimer, timer.id, 0);
                continue;
            }
            plat::dispatchMessage(message);
        }
    }

    // Each learnt file where the user can have it back: in the install directory as it was
    // (a library through its ".bak" copy), or intact in the backup.
    std::vector<std::string> lostFiles() {
        m().faults.failAt = 0;
        std::map<std::string, std::string> backup;
        std::string container = file(dir + "vornback.vrz");
        ArchiveWalk walk(reinterpret_cast<const uint8_t*>(container.data()), container.size());
        ArchiveEntry entry;
        std::vector<uint8_t> content(1 << 20);
        while (walk.next(entry)) {
            char name[100];
            entryName(entry, name, sizeof name);
            if (uint32_t length = unpackVerified(entry, content.data(), content.size() - 64))
                backup[name] = std::string(content.begin(), content.begin() + length);
        }
        std::vector<std::string> lost;
        for (const auto& [name, content] : learnedFiles()) {
            bool kept = file(dir + name) == content;
            for (size_t i = 0; i < learnedDataFileCount; ++i) {
                const LearnedDataFile& f = learnedDataFiles[i];
                if (name != f.name) continue;
                kept |= file(dir + f.packedName) == content;
                auto found = backup.find(f.packedName);
                kept |= found != backup.end() && found->second == content;
            }
            if (!kept) lost.push_back(name);
        }
        return lost;
    }

    std::vector<std::u16string> messages() {
        std::vector<std::u16string> texts;
        for (const auto& box : m().messageBoxes) texts.push_back(box.text);
        for (const auto& message : unattendedMessages()) texts.push_back(message.text);
        return texts;
    }

    std::string payload_ = buildContainer(payloadEntries());
    bool ended_ = false;
};

}  // namespace

TEST_F(LearnedDataFaults, NoFaultPointLosesALearntFile) {
    uint64_t covered = 0;
    for (const Config& config : configs) {
        // The run without a fault: every learnt file back, and the number of points it passes.
        usedMachine(config);
        m().faults = {};
        m().answers.clear();
        ended_ = false;
        run(config);
        const uint64_t points = m().faults.passed;
        ASSERT_TRUE(ended_) << config.name;
        ASSERT_EQ(lostFiles(), std::vector<std::string>{}) << config.name;
        ASSERT_GT(points, 200u) << config.name;

        for (uint64_t at = 1; at <= points; ++at) {
            if (!inShard(at)) continue;
            usedMachine(config);
            m().faults = {0, at, ""};
            ended_ = false;
            run(config);
            std::string where = std::string(config.name) + ": " + m().faults.failedPoint +
                                " at point " + std::to_string(at);
            // The admin check's own probe refused is the one fault that ends the run early.
            EXPECT_TRUE(ended_ || state.page == 0) << where;
            EXPECT_EQ(lostFiles(), std::vector<std::string>{}) << where;
            for (const std::u16string& text : messages())
                EXPECT_TRUE(known(text)) << where << ": " << sim::toUtf8(text);
            if (HasFailure()) return;
        }
        covered += points;
    }
    std::printf("fault points covered: %llu in %zu whole runs\n",
                static_cast<unsigned long long>(covered), sizeof configs / sizeof configs[0]);
}

// The uninstaller keeping the data over an installed machine, once per fault point: each learnt
// file stays in the directory or intact in the backup, and the exit code is the one the machine
// it leaves calls for. Against the run without a fault: anything more left that no delete at the
// restart takes is 1; else anything left for the restart is 3010; else 0. A refusal (7, 8)
// changes nothing.
TEST_F(LearnedDataFaults, EachFaultPointOfTheUninstallEndsWithTheCodeItLeaves) {
    for (sim::Os os : {sim::Os::win10_64, sim::Os::xp32}) {
        const Config config{"uninstall", os, true, true};
        auto installed = [&] {
            usedMachine(config);
            run(config);
            m().faults = {};
            m().pendingDeletes.clear();
        };
        installed();
        ASSERT_EQ(runUninstaller("/S"), uninstallRemoved);
        const uint64_t points = m().faults.passed;
        const Snapshot removed = snapshot();
        ASSERT_EQ(lostFiles(), std::vector<std::string>{});
        ASSERT_GT(points, 100u);
        for (uint64_t at = 1; at <= points; ++at) {
            if (!inShard(at)) continue;
            installed();
            const Snapshot before = snapshot();
            m().faults = {0, at, ""};
            int code = runUninstaller("/S");
            m().faults.failAt = 0;
            std::string where = m().faults.failedPoint + " at point " + std::to_string(at);
            const Snapshot after = snapshot();
            std::vector<std::string> left, waiting;
            for (const std::string& change : difference(removed, after)) {
                // Gone is the learnt files' question; the rights probe is no part of the product.
                if (change[0] == '-' || change == "+c/windows/vorndel8.tmp") continue;
                std::string path = "C:\\" + change.substr(3);  // "+c/..." as the machine names it
                std::replace(path.begin(), path.end(), '/', '\\');
                bool atRestart = change.rfind("+c/", 0) == 0 &&
                                 std::find(m().pendingDeletes.begin(), m().pendingDeletes.end(), m().normalize(path)) !=
                                     m().pendingDeletes.end();
                (atRestart ? waiting : left).push_back(change);
            }
            if (code == uninstallNotAdministrator || code == uninstallAnotherRunning) {
                EXPECT_EQ(difference(before, after), std::vector<std::string>{}) << where;
            } else {
                // Every failure is named in the log; what could not be read is one even when
                // nothing turned out to be left (it may have been the product's), and a read
                // that only looked for an installation is none.
                const std::string log = logOf("C:\\temp\\vorndel8.log");
                bool named = log.find("\nnot removed\t") != std::string::npos;
                int expected = !left.empty() || named ? uninstallFailed
                               : !waiting.empty()     ? uninstallRestartNeeded
                                                      : uninstallRemoved;
                if (!left.empty()) {
                    EXPECT_TRUE(named) << where << "\n" << log;
                }
                EXPECT_EQ(code, expected) << where << "; left: " << testing::PrintToString(left) << "\n"
                                          << logOf("C:\\temp\\vorndel8.log");
            }
            EXPECT_EQ(lostFiles(), std::vector<std::string>{}) << where;
            if (HasFailure()) return;
        }
        std::printf("uninstall fault points covered: %llu\n", static_cast<unsigned long long>(points));
    }
}

// A setup again after an uninstall whose busy module waits for the restart, with deletes an
// older run recorded under installed names, once per fault point; then the restart. Whatever a
// check without faults then finds, the run did not say 0; a run that said 0 left it healthy.
TEST_F(LearnedDataFaults, EachFaultPointOfAReinstallBeforeTheRestartSaysWhatItLeft) {
    for (sim::Os os : {sim::Os::win10_64, sim::Os::xp32}) {
        const Config config{"reinstall", os, true, true};
        auto uninstalled = [&] {
            usedMachine(config);
            windowsRegistry();
            run(config);
            m().faults = {};
            m().markBusy("C:\\windows\\system32\\vornel4.ime");
            ASSERT_EQ(runUninstaller("/S"), uninstallRestartNeeded);
            for (const std::string& path : {dir + "vrbmps44.bmp", dir + "vornqvtk.exe", std::string("C:\\windows\\vorndel8.exe")})
                m().pendingDeletes.push_back(m().normalize(path));
            resetInstallState();
        };
        uninstalled();
        ASSERT_EQ(runSetup(nullptr, nullptr, "setvrsrf32", 1), exitInstalled);
        const uint64_t points = m().faults.passed;
        ASSERT_GT(points, 100u);
        for (uint64_t at = 1; at <= points; ++at) {
            if (!inShard(at)) continue;
            uninstalled();
            m().faults = {0, at, ""};
            int code = runSetup(nullptr, nullptr, "setvrsrf32", 1);
            m().faults.failAt = 0;
            std::string where = m().faults.failedPoint + " at point " + std::to_string(at) + "\n" +
                                logOf("C:\\temp\\vornsetup.log");
            m().restart();
            EXPECT_EQ(lostFiles(), std::vector<std::string>{}) << where;
            if (code == exitNotAdministrator || code == exitAnotherSetup) continue;
            resetInstallState();
            int check = runSetup(nullptr, nullptr, "/CHECK /S", 1);
            if (code == exitInstalled) {
                EXPECT_EQ(check, exitHealthy) << where << "\ncheck:\n" << logOf("C:\\temp\\vornsetup.log");
            }
            if (HasFailure()) return;
        }
        std::printf("reinstall fault points covered: %llu\n", static_cast<unsigned long long>(points));
    }
}

namespace {

// The exit code a finding of the check calls for when the repair leaves it.
int codeFor(const std::string& kind) { return kind == "missing learnt file" ? exitDataNotRestored : exitModuleFailed; }

// The kinds named in a log's lines that start with `what`, as "what\tkind\tobject".
std::vector<std::string> kindsLogged(const std::string& log, const std::string& what) {
    std::vector<std::string> kinds;
    for (size_t at = log.find(what + "\t"); at != std::string::npos; at = log.find("\n" + what + "\t", at + 1)) {
        size_t start = log.find('\t', at + (log[at] == '\n' ? 1 : 0)) + 1;
        kinds.push_back(log.substr(start, log.find('\t', start) - start));
    }
    return kinds;
}

}  // namespace

// The repair of a damaged installation, once per fault point. A check without faults afterwards
// is the judge: what it still finds must each be named "not repaired" and gives the code (2 for
// learnt data only, else 3); with nothing found the code is 0, unless the repair named a failure
// of its own (what it could not read or cancel). A refusal changes nothing. No learnt file lost.
TEST_F(LearnedDataFaults, EachFaultPointOfTheRepairEndsWithTheCodeItLeaves) {
    for (sim::Os os : {sim::Os::win10_64, sim::Os::xp32}) {
        const Config config{"repair", os, true, true};
        auto damaged = [&] {
            usedMachine(config);
            windowsRegistry();
            run(config);
            m().faults = {};
            std::filesystem::remove(m().hostPath(dir + "vrpykey0.txt"));
            std::filesystem::remove(m().hostPath(dir + "vorndwdw.txt"));
            m().writeFile(dir + "vornqvtk.exe", "damaged");
            for (const char* module : {"C:\\windows\\system32\\vornel4.ime", "C:\\windows\\syswow64\\vornel4.ime"})
                if (m().exists(module)) m().writeFile(module, "damaged");
            m().registry.remove(sim::Hive::localMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vornqwb8");
            resetInstallState();
        };
        damaged();
        ASSERT_EQ(runSetup(nullptr, nullptr, "/REPAIR /S", 1), exitHealthy);
        const uint64_t points = m().faults.passed;
        ASSERT_GT(points, 100u);
        for (uint64_t at = 1; at <= points; ++at) {
            if (!inShard(at)) continue;
            damaged();
            const Snapshot before = snapshot();
            m().faults = {0, at, ""};
            int code = runSetup(nullptr, nullptr, "/REPAIR /S", 1);
            m().faults.failAt = 0;
            const Snapshot after = snapshot();
            const std::string log = logOf("C:\\temp\\vornsetup.log");
            std::string where = m().faults.failedPoint + " at point " + std::to_string(at) + "\n" + log;
            EXPECT_EQ(lostFiles(), std::vector<std::string>{}) << where;
            if (code == exitNotAdministrator || code == exitAnotherSetup || code == exitNotInstalled ||
                code == exitPayloadDamaged) {
                EXPECT_EQ(difference(before, after), std::vector<std::string>{}) << where;
                if (HasFailure()) return;
                continue;
            }
            resetInstallState();
            int check = runSetup(nullptr, nullptr, "/CHECK /S", 1);
            ASSERT_TRUE(check == exitHealthy || check == exitDamaged) << check << " after " << code << " " << where;
            std::vector<std::string> left = kindsLogged(logOf("C:\\temp\\vornsetup.log"), "finding");
            std::vector<std::string> named = kindsLogged(log, "not repaired");
            int expected = exitHealthy;
            for (const std::string& kind : left.empty() ? named : left) expected = std::max(expected, codeFor(kind));
            for (const char* failure : {"\nrestart deletes not cancelled", "\npath file not written"})
                if (expected == exitHealthy && log.find(failure) != std::string::npos) expected = exitOtherFailure;
            for (const std::string& kind : left)
                EXPECT_NE(std::find(named.begin(), named.end(), kind), named.end()) << kind << ": " << where;
            EXPECT_EQ(code, expected) << where;
            if (HasFailure()) return;
        }
        std::printf("repair fault points covered: %llu\n", static_cast<unsigned long long>(points));
    }
}
