// Silent runs as administrators deploy them: no box, every message in the log, the exit code of
// the most serious failure.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "../payload/container_builder.h"
#include "../registration/layout_fixture.h"
#include "common/outcome.h"
#include "programs/startup.h"
#include "programs/unattended.h"

namespace {

const std::string dir = "C:\\Program Files\\vornel8\\";

// The log is UTF-8, whatever the program's own 8-bit texts are.
std::string utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::vector<TestEntry> payloadEntries() {
    std::vector<TestEntry> entries;
    for (const char* name : {"vorn320.ime", "vornel4.ime", "vornsrf.dll", "vornsrf6.dll", "csrf732.dll", "csrf764.dll",
                             "vorndel8.exe", "vornqvtk.exe", "setupw64.exe",
                             "vorndwdw.txt", "vrszsj43.vrh"})
        entries.push_back({name, std::string("as shipped: ") + name});
    return entries;
}

class SilentDeployment : public LayoutTest {
protected:
    void machine(sim::Os os = sim::Os::win7_32) {
        boot(os);
        m().resources["VRZ/QVTKVRZ"] = buildContainer(payloadEntries());
    }
    int run(const char* commandLine) {
        int code = runSetup(nullptr, nullptr, commandLine, 1);
        log_ = logOf("C:\\temp\\vornsetup.log");
        return code;
    }
    std::vector<std::string> logLines() {
        std::vector<std::string> lines;
        size_t at = 0;
        while (at < log_.size()) {
            size_t end = log_.find("\r\n", at);
            if (end == std::string::npos) end = log_.size();
            lines.push_back(log_.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }
    std::string log_;
};

}  // namespace

TEST_F(SilentDeployment, EachCauseEndsWithItsExitCodeAndNoBox) {
    struct Cause {
        const char* name;
        std::function<void()> make;
        int exitCode;
    };
    const Cause causes[] = {
        {"installed", [] {}, exitInstalled},
        {"not administrator",
         [this] { m().denyWrite("C:\\windows\\vornpat8.vrh"); }, exitNotAdministrator},
        {"in use",
         [this] {
             auto& owner = m().addWindow("Notepad", u"记事本 - 笔记.txt");
             m().addWindow("UIQVTK", u"", owner.handle);
         },
         exitInUse},
        {"the default input method",
         [this] {
             addLayout("E0210804", "智能Marl输入平台  8.0");
             setPreload({"E0210804"});
         },
         exitDefaultInputMethod},
        {"payload damaged",
         [this] {
             std::string& payload = m().resources["VRZ/QVTKVRZ"];
             payload[payload.size() - 3] ^= 0x55;
         },
         exitPayloadDamaged},
        {"module not copied",
         [this] { m().denyWrite("C:\\windows\\system32\\vornel4.ime"); }, exitModuleFailed},
        {"a data file that cannot be written", [this] { m().denyWrite(dir + "vorndwdw.txt"); }, exitWriteFailed},
        {"a busy module moved aside for the restart",
         [this] {
             m().writeFile("C:\\windows\\system32\\vornel4.ime", "loaded");
             m().markBusy("C:\\windows\\system32\\vornel4.ime");
         },
         exitRestartNeeded},
        {"the data still mapped by running programs", [this] { m().fileMappings = {"vornelqvtk"}; },
         exitRestartNeeded},
        {"a restart needed and a failure",
         [this] {
             m().writeFile("C:\\windows\\system32\\vornel4.ime", "loaded");
             m().markBusy("C:\\windows\\system32\\vornel4.ime");
             std::string& payload = m().resources["VRZ/QVTKVRZ"];
             payload[payload.size() - 3] ^= 0x55;
         },
         exitPayloadDamaged},
    };
    for (const Cause& cause : causes) {
        machine();
        cause.make();
        EXPECT_EQ(run("setvrsrf32"), cause.exitCode) << cause.name;
        EXPECT_TRUE(m().messageBoxes.empty()) << cause.name;
        ASSERT_GE(logLines().size(), 2u) << cause.name;
        EXPECT_EQ(logLines().back(), std::string("result=") + outcomeName(cause.exitCode) +
                                         "\texit=" + std::to_string(cause.exitCode))
            << cause.name;
        // Every message went to the log, one line each, between the first line and the last.
        EXPECT_EQ(logLines().size(), unattendedMessages().size() + 2) << cause.name;
        EXPECT_EQ(m().processes.started.empty() ? 0u : m().processes.started.back().show, 0u) << cause.name;
    }
}

TEST_F(SilentDeployment, TheLogHasItsFirstLineTheMessagesAndTheResult) {
    machine();
    m().writeFile("C:\\windows\\vornpat8.vrh", dir);
    std::string& payload = m().resources["VRZ/QVTKVRZ"];
    payload[payload.size() - 3] ^= 0x55;  // the last entry damaged
    m().makeDirectories("C:\\部署 日志");
    EXPECT_EQ(run("/S /LOG=\"C:\\部署 日志\\setup.log\" /X"), exitPayloadDamaged);
    EXPECT_EQ(log_, "<missing>");  // not in the default place
    log_ = file("C:\\部署 日志\\setup.log");
    std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 5u) << log_;
    // Every line opens with the local time and its offset.
    const std::string at = "2026-12-08T09:30:05+08:00\t";
    EXPECT_EQ(lines[0], at + utf8(u8"vornsetup 9.0\tcommand=/S /LOG=\"C:\\部署 日志\\setup.log\" /X\twindows=6.1.7601 32-bit"
                                  u8"\toemcp=936\tinstalldir=C:\\Program Files\\vornel8\\\tpreviousdir=C:\\Program Files\\vornel8\\"));
    EXPECT_EQ(lines[1], at + "switch ignored\t/X");
    EXPECT_EQ(lines[2], at + utf8(u8"stage=10042\t智能Marl安装\t没有成功解压复制vrszsj43.vrh文件！请重新下载安装。\tOK"));
    EXPECT_EQ(lines[3], at + utf8(u8"stage=10042\t智能Marl(Qolvane)安装\t"
                                  u8"文件解压不完整，请到智能Marl网站www.vornel.com重新下载安装。\tOK"));
    EXPECT_EQ(lines[4], at + "result=installed from an incomplete or damaged payload\texit=4");
    // A later run (a check) adds its lines after a separator, never erases the install's; a
    // zone west of UTC has its minus sign.
    m().localTime.offsetMinutes = -210;
    run("/CHECK /LOG=\"C:\\部署 日志\\setup.log\"");
    log_ = file("C:\\部署 日志\\setup.log");
    lines = logLines();
    ASSERT_GT(lines.size(), 7u) << log_;
    EXPECT_EQ(lines[4], at + "result=installed from an incomplete or damaged payload\texit=4");
    EXPECT_EQ(lines[5], "2026-12-08T09:30:05-03:30\t--------");
    EXPECT_EQ(lines[6].rfind("2026-12-08T09:30:05-03:30\tvornsetup 9.0\tcommand=/CHECK ", 0), 0u) << lines[6];
}

TEST_F(SilentDeployment, ALogThatCannotBeWrittenChangesNothing) {
    machine();
    m().denyWrite("C:\\temp");
    EXPECT_EQ(run("setvrsrf32"), exitInstalled);
    EXPECT_EQ(file(dir + "vorndwdw.txt"), "as shipped: vorndwdw.txt");
    EXPECT_EQ(log_, "<missing>");
}

TEST_F(SilentDeployment, TheWizardLogsOnlyWhenAskedAndKeepsItsBoxes) {
    machine();
    m().failClassRegistration = true;  // the wizard ends at once
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(log_, "<missing>");
    machine();
    m().denyWrite("C:\\windows\\vornpat8.vrh");
    EXPECT_EQ(run("/LOG"), exitNotAdministrator);  // with a log, the exit code tells
    EXPECT_EQ(m().messageBoxes.size(), 1u);         // and the box is still shown
    ASSERT_EQ(logLines().size(), 3u) << log_;
    EXPECT_NE(logLines()[1].find(utf8(u8"本安装程序需要以管理员权限运行")), std::string::npos);
}

TEST(Outcome, EachMessageReportsItsFailure) {
    const std::pair<std::u16string, int> texts[] = {
        {u"安装完毕，如不能使用，请重新启动计算机！", exitInstalled},
        {u"成功恢复了3个原有数据文件！", exitInstalled},
        {u"检测到安装目录下有智能Marl以前的词组等数据文件，是否保留？", exitInstalled},
        {u"检测到内存中有智能Marl数据没有退出，请安装后重新启动机器再使用！", exitRestartNeeded},
        {u"没有成功解压复制vorn1.wav文件！请重新下载安装。", exitPayloadDamaged},
        {u"文件解压不完整，请到智能Marl网站www.vornel.com重新下载安装。", exitPayloadDamaged},
        {u"vorn1.wav....有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n上述文件没有成功复制，请重新下载安装！\r\n",
         exitPayloadDamaged},
        {u"没有成功复制vornel4.ime文件，请退出安装程序并手动删除该文件后重新安装！", exitModuleFailed},
        {u"安装包没有成功解压C:\\windows\\system32\\vornel4.ime文件，请重新下载安装！", exitModuleFailed},
        {u"系统64位dll文件没有挂接成功(err=2)！，请退出安装程序重新安装！", exitModuleFailed},
        {u"Software open error2003", exitModuleFailed},
        {u"vornzdym.vrh....\r\n\r\n原有数据文件没有成功复制，原有数据不能使用！\r\n", exitDataNotRestored},
        {u"智能Marl汉字输入系统9.0版安装情况报告。\r\n\r\n安装出现错误！错误为：文件不完整！", exitOtherFailure},
        {u"皮肤文件没有成功复制，请重新安装皮肤文件！\r\n", exitOtherFailure},
    };
    for (const auto& [text, code] : texts) EXPECT_EQ(outcomeOfMessage(text.c_str(), 10042), code);
    // A sound entry not written: no payload damage; in the restore, learnt data not restored.
    const char16_t* unwritten = u"没有成功写入vornzdym.vrh文件（错误112）！请检查磁盘空间和访问权限后重新安装。";
    EXPECT_EQ(outcomeOfMessage(unwritten, 10042), exitWriteFailed);
    EXPECT_EQ(outcomeOfMessage(unwritten, 1005), exitDataNotRestored);
    // An entry of the backup that cannot be unpacked is a restore's failure, not the payload's.
    EXPECT_EQ(outcomeOfMessage(u"没有成功解压复制vornzdym.vrh文件！请重新下载安装。", 1005), exitDataNotRestored);
}

// The table deployment tools and the winget manifest read: each code named as the log's last
// line names it, and no code the setup can end with left out.
TEST(Outcome, TheTableForDeploymentToolsNamesEachCodeAsTheLogDoes) {
    std::ifstream table(VORN_SOURCE_DIR "/deploy/exit-codes.tsv");
    ASSERT_TRUE(table.is_open());
    std::set<int> setupCodes;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string run, code, result;
        std::getline(fields, run, '\t');
        std::getline(fields, code, '\t');
        std::getline(fields, result, '\t');
        int n = std::stoi(code);
        if (run == "setup") {
            EXPECT_EQ(outcomeName(n), result) << line;
            setupCodes.insert(n);
        } else if (run == "check" || run == "repair") {
            EXPECT_EQ(maintenanceOutcomeName(run == "repair", n), result) << line;
        }
    }
    for (int n = 0; n < 5000; ++n)
        if (std::string(outcomeName(n)) != "unknown") {
            EXPECT_EQ(setupCodes.count(n), 1u) << n;
        }
}

// A deployment tool's command lines: the silent run's interface and edition, a value not taken
// (nothing installed and no wizard, with or without /S), and the help.
TEST_F(SilentDeployment, TheCommandLinesOfDeploymentTools) {
    machine(sim::Os::win10_64);
    // The text-service modules register what Windows 10 needs of them.
    const std::string tip = "SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}";
    std::vector<std::string> keys = {tip};
    for (const char* category : {"{13A016DF-560B-46CD-947A-4C3AF1E0E35D}", "{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}",
                                 "{34745C63-B2F0-4784-8B67-5E12C8701A31}"})
        keys.push_back(tip + "\\Category\\Item\\{65653599-5030-4C0F-8871-83F6AFDE5098}\\" + category);
    for (const auto& [module, bits] : {std::pair{"vornsrf.dll", 32u}, std::pair{"vornsrf6.dll", 64u}})
        m().processes.modules[module] = {bits, keys, {}};
    EXPECT_EQ(run("/QUIET /INTERFACE=TSF /EDITION=PINYIN /NORESTART /SUPPRESSMSGBOXES"), exitInstalled) << log_;
    EXPECT_EQ(file(dir + "wbpybz.vrh"), std::string("VRWBPYBZ=1", 11));
    bool registered = false;
    for (const auto& started : m().processes.started)
        registered |= started.commandLine.find("regsvr32") != std::string::npos;
    EXPECT_TRUE(registered);  // the text service, where /S alone registers an IME layout
    for (bool silent : {true, false}) {
        machine();
        EXPECT_EQ(run(silent ? "/S /INTERFACE=TSF2" : "/EDITION=ZHUYIN"), exitInvalidCommandLine);
        EXPECT_FALSE(m().exists(dir + "vorndwdw.txt"));
        EXPECT_TRUE(m().windowClasses.empty());
        EXPECT_EQ(m().messageBoxes.size(), silent ? 0u : 1u);
        if (silent) {
            ASSERT_EQ(logLines().size(), 4u) << log_;
            EXPECT_EQ(logLines()[1], "switch value not known\t/INTERFACE=TSF2");
            EXPECT_EQ(logLines()[3], "result=not installed: a switch's value is not known\texit=1639");
        }
    }
    machine();
    EXPECT_EQ(run("/S /?"), exitInstalled);
    EXPECT_FALSE(m().exists(dir + "vorndwdw.txt"));
    EXPECT_NE(log_.find("/INTERFACE=TSF|IME"), std::string::npos) << log_;
}

TEST_F(SilentDeployment, OneSetupAtATime) {
    const std::string mutex = "vornsetup-9.0-single-instance";
    // A second silent run waits for the first; one that does not end in time is left alone.
    machine();
    m().writeFile("C:\\temp\\vornsetup.log", "the first setup's log\r\n");
    m().otherInstances[mutex] = 120000;
    EXPECT_EQ(run("/S"), exitAnotherSetup);
    EXPECT_EQ(m().sleptMilliseconds, 30000u);
    EXPECT_FALSE(m().exists("C:\\windows\\vornpat8.vrh"));  // nothing of it touched
    // Its lines added to the first one's log.
    EXPECT_EQ(file("C:\\temp\\vornsetup.log").rfind("the first setup's log\r\n", 0), 0u);
    ASSERT_EQ(logLines().size(), 3u) << log_;
    EXPECT_EQ(logLines()[1], "another setup of this product is running");
    EXPECT_EQ(logLines()[2], "result=not installed: another setup was running\texit=1618");
    // One that ends meanwhile: then this one installs.
    machine();
    m().otherInstances[mutex] = 5000;
    EXPECT_EQ(run("/S"), exitInstalled);
    EXPECT_EQ(file(dir + "vorndwdw.txt"), "as shipped: vorndwdw.txt");
    // A second wizard shows the first one's window and ends.
    machine();
    m().otherInstances[mutex] = 120000;
    const uintptr_t first = m().addWindow("installWClass", u"智能Marl系统安装").handle;
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(m().broughtToFront, std::vector<uintptr_t>{first});
    EXPECT_TRUE(m().windowClasses.empty());
    EXPECT_EQ(m().sleptMilliseconds, 0u);
    // A user who makes the name first holds nothing up from Vista on, where the setup's own is
    // in its private namespace; before Vista there is none.
    for (sim::Os os : {sim::Os::win7_32, sim::Os::xp32}) {
        machine(os);
        m().squattedNames.push_back(mutex);
        EXPECT_EQ(run("/S"), os == sim::Os::xp32 ? exitAnotherSetup : exitInstalled);
    }
}

// Nobody is there to agree: the question that would swap the first two input methods is not
// asked, and the lists stay as they were.
TEST_F(SilentDeployment, TheDefaultInputMethodIsLeftAsItIs) {
    machine();
    addLayout("E0210804", "智能Marl输入平台  8.0");
    setPreload({"E0210804", "00000804"});
    EXPECT_EQ(run("setvrsrf32"), exitDefaultInputMethod);
    EXPECT_EQ(preload(), (std::vector<std::string>{"E0210804", "00000804"}));
    EXPECT_EQ(logLines().size(), 3u) << log_;  // the first line, the refusal, the result
}

// A wizard asked for a log tells how it ended, also when nothing was installed.
TEST_F(SilentDeployment, TheWizardLogsHowItEnded) {
    const struct {
        const char* name;
        std::function<void()> make;
        int exitCode;
    } endings[] = {
        {"no window", [this] { m().failClassRegistration = true; }, exitNoWizard},
        {"left at the first page", [] {}, exitCancelled},
        {"the default input method",
         [this] {
             machine(sim::Os::xp32);  // the IME interface, whose install checks the default
             addLayout("E0210804", "智能Marl输入平台  8.0");
             setPreload({"E0210804"});
             // The IME interface, then on, on, confirm: the install's checks refuse.
             m().messages.push_back({nullptr, plat::wmLButtonDown, 0, (225 << 16) | 300});
             for (int i = 0; i < 3; ++i) m().messages.push_back({nullptr, plat::wmLButtonDown, 0, (257 << 16) | 90});
         },
         exitDefaultInputMethod},
    };
    for (const auto& ending : endings) {
        machine();
        ending.make();
        EXPECT_EQ(run("/LOG"), ending.exitCode) << ending.name;
        ASSERT_FALSE(logLines().empty()) << ending.name;
        EXPECT_EQ(logLines().back(), std::string("result=") + outcomeName(ending.exitCode) +
                                         "\texit=" + std::to_string(ending.exitCode))
            << ending.name;
    }
}
