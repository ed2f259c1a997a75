#include "programs/pipeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "../payload/container_builder.h"
#include "../userdata/installation_builder.h"
#include "common/locations.h"
#include "common/text.h"
#include "platform/fault.h"
#include "platform/registry.h"
#include "sim_fixture.h"

namespace {

std::vector<int> trace;
void record(int code) { trace.push_back(code); }

const std::string dir = "C:\\Program Files\\vornel8\\";
const plat::WindowHandle wizard = reinterpret_cast<plat::WindowHandle>(0x1234);

class Pipeline : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        trace.clear();
        setStageObserver(record);
    }
    void TearDown() override {
        setStageObserver(nullptr);
        releasePayloadAndWorkBlock();
        SimTest::TearDown();
    }
    // The machine as window creation leaves it for the wizard's install.
    void start(sim::Os os, uint32_t interfaceChoice) {
        boot(os);
        std::vector<TestEntry> entries = {{"vorn320.ime", "m320"},
                                          {"vorn640.ime", "m640"},
                                          {"vornel4.ime", "el4"},
                                          {"vornel64.ime", "el64"},
                                          {"vornsrf.dll", "srf"},
                                          {"vornsrf6.dll", "srf6"},
                                          {"csrf732.dll", "c32"},
                                          {"csrf764.dll", "c64 long enough for the report"},
                                          {"vorndel8.exe", "del"},
                                          {"setupw64.exe", "w64"},
                                          {"vornqvtk.exe", "qvtk"}};
        // The rest of a complete install, so that the installation report finds nothing.
        for (const TestEntry& entry : completeInstallEntries()) entries.push_back(entry);
        payload_ = buildContainer(entries);
        m().resources["VRZ/QVTKVRZ"] = payload_;
        state.oemCodePage = 936;
        computeInstallDir();
        ASSERT_TRUE(preparePayloadAndFacts(nullptr));
        is64BitWindows();
        state.interfaceChoice = interfaceChoice;
        state.wizardStarted = 1;
    }
    bool destroyed() {
        for (const plat::Message& message : m().messages)
            if (message.message == plat::wmDestroy && message.window == wizard) return true;
        return false;
    }
    std::vector<std::u16string> texts() {
        std::vector<std::u16string> all;
        for (const auto& box : m().messageBoxes) all.push_back(box.text);
        return all;
    }
    void listTextService() {
        plat::ScopedKey item;
        ASSERT_TRUE(plat::createKey(plat::hkeyCurrentUser,
                                    "SOFTWARE\\Microsoft\\CTF\\SortOrder\\AssemblyItem\\0x00000804\\"
                                    "{34745C63-B2F0-4784-8B67-5E12C8701A31}\\00000000",
                                    item));
        plat::regSetText(item.get(), "CLSID", "{65653599-5030-4C0F-8871-83F6AFDE5098}");
        plat::regSetText(item.get(), "profile", "{00000000-0000-0000-0000-000000000000}");
        uint32_t layout = 0;
        plat::regSetValue(item.get(), "KeyboardLayout", plat::regDword, &layout, 4);
    }
    std::string payload_;
};

const std::u16string installed = u"安装完毕，如不能使用，请重新启动计算机！";

}  // namespace

TEST_F(Pipeline, SilentCoreInstallRunsItsStagesInOrder) {
    start(sim::Os::win10_64, 0);
    state.wizardStarted = 0;
    state.runMode = silentMode;
    // A program any user can plant where an unquoted "C:\Program Files\..." would start it.
    m().writeFile("C:\\Program.exe", "planted");
    coreInstall();
    EXPECT_EQ(trace, (std::vector<int>{10041, 100411, 100414, 100415, 10042, 10043, 10044}));
    EXPECT_EQ(file(dir + "vornqvtk.exe"), "qvtk");
    EXPECT_TRUE(m().isDirectory(dir + "filer"));
    std::vector<std::string> programs;
    for (const auto& started : m().processes.started)
        if (started.commandLine.find("regvr32=") != std::string::npos) programs.push_back(started.program);
    EXPECT_EQ(programs, std::vector<std::string>{m().normalize(dir + "setupw64.exe")});
}

TEST_F(Pipeline, SilentInstallWritesTheRunValueAndTheWizardDoesNot) {
    auto runValue = [] {
        plat::ScopedKey run;
        if (!plat::openKey(plat::hkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                           plat::RegAccess::read, run))
            return std::string();
        char value[300] = {};
        uint32_t type = 0, size = sizeof value - 1;
        if (plat::regQueryValue(run.get(), "vrvksjgl", &type, value, &size) != plat::regOk)
            return std::string();
        return std::string(value, size);
    };
    auto windowsKeys = [] {
        plat::ScopedKey key;
        plat::createKey(plat::hkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", key);
    };
    start(sim::Os::win7_32, 0);
    windowsKeys();
    state.wizardStarted = 0;
    coreInstall();
    EXPECT_EQ(runValue(), "\"C:\\Program Files\\vornel8\\vornqvtk.exe\" vr");
    start(sim::Os::win7_32, 0);
    windowsKeys();
    coreInstall();
    EXPECT_EQ(runValue(), "");
}

TEST_F(Pipeline, TsfNotInTheUsersListSkipsTheInUseChecks) {
    start(sim::Os::win7_32, 1);
    runInstallPipeline(wizard);
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(trace[0], 1001);
    EXPECT_EQ(trace[1], 1004);
    EXPECT_EQ(std::vector<int>(trace.end() - 3, trace.end()), (std::vector<int>{10141, 1005, 1006}));
    EXPECT_EQ(file("C:\\windows\\system32\\vornsrf.dll"), "c32");
    EXPECT_EQ(texts().back(), installed);
    EXPECT_TRUE(destroyed());
    EXPECT_EQ(state.page, 7);  // 32-bit: the finished page is never shown
    EXPECT_EQ(state.progressTotal, 110);
}

TEST_F(Pipeline, ProgramsInUseSendTheWizardBackToPageSix) {
    start(sim::Os::win7_32, 1);
    listTextService();
    uintptr_t app = m().addWindow("Editor", u"记事本").handle;
    m().addWindow("STATQVTK", u"", app);
    runInstallPipeline(wizard);
    EXPECT_EQ(trace, (std::vector<int>{1001, 1002}));
    EXPECT_EQ(state.page, 6);
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl");
    EXPECT_NE(m().messageBoxes[0].text.find(u"\u3000\u30001：记事本"), std::u16string::npos);
    EXPECT_FALSE(m().exists(dir + "vornsrf.dll"));
    EXPECT_FALSE(destroyed());

    // Closed, confirmed again: the checks run again and the install goes through.
    m().windows.clear();
    trace.clear();
    runInstallPipeline(wizard);
    EXPECT_EQ(std::vector<int>(trace.begin(), trace.begin() + 4), (std::vector<int>{1001, 1002, 1003, 1004}));
    EXPECT_TRUE(destroyed());
}

TEST_F(Pipeline, LiveDataIsAWarningOnly) {
    start(sim::Os::win7_32, 1);
    listTextService();
    m().fileMappings = {"vornelqvtk80"};
    runInstallPipeline(wizard);
    ASSERT_GE(m().messageBoxes.size(), 2u);
    EXPECT_EQ(m().messageBoxes[0].text, u"检测到内存中有智能Marl数据没有退出，请安装后重新启动机器再使用！");
    EXPECT_EQ(texts().back(), installed);
}

TEST_F(Pipeline, BlockingDefaultInputMethodEndsTheWizardWithNothingInstalled) {
    start(sim::Os::win10_64, 0);
    m().imm.descriptions[m().imm.activeLayout] = "智能Marl输入平台 9.0";
    runInstallPipeline(wizard);
    EXPECT_EQ(trace, (std::vector<int>{1001}));
    EXPECT_TRUE(destroyed());
    EXPECT_FALSE(m().exists(dir));
    EXPECT_EQ(m().messageBoxes.size(), 1u);
}

TEST_F(Pipeline, SixtyFourBitImeCompletesFromTheTimer) {
    start(sim::Os::win10_64, 0);
    runInstallPipeline(wizard);
    EXPECT_EQ(state.page, 8);
    ASSERT_EQ(m().timers.size(), 1u);
    EXPECT_EQ(m().timers[0].id, completionTimer);
    EXPECT_EQ(m().timers[0].milliseconds, 1600u);
    EXPECT_FALSE(destroyed());
    bool companion = false;
    for (const auto& started : m().processes.started)
        companion |= started.commandLine.find("setupw64.exe\" regvr32=") != std::string::npos;
    EXPECT_TRUE(companion);

    m().writeFile("C:\\windows\\syswow64\\vornel4.ime", "stale");
    finishAfterDelay(wizard);
    EXPECT_TRUE(m().timers.empty());
    EXPECT_EQ(file("C:\\windows\\syswow64\\vornel4.ime"), "el4");
    // This payload is no whole installation: the report of the missing files, not the success text.
    EXPECT_EQ(texts().back().rfind(u"智能Marl汉字输入系统9.0版安装情况报告", 0), 0u);
    EXPECT_TRUE(destroyed());
}

TEST_F(Pipeline, SixtyFourBitTsfShowsTheFinishedPageAndEnds) {
    start(sim::Os::win10_64, 1);
    runInstallPipeline(wizard);
    EXPECT_EQ(state.page, 8);
    EXPECT_TRUE(m().timers.empty());
    EXPECT_TRUE(destroyed());
    m().redirectionDisabled = true;
    EXPECT_EQ(file("C:\\windows\\system32\\vornsrf6.dll"), "srf6");
}

namespace {
void pipelineOnDamagedMachine(void*) { runInstallPipeline(wizard); }
void faultNow(int code) {
    if (code == 10042) sim::raiseFault();
}
}  // namespace

TEST_F(Pipeline, FaultShowsTheStageInProgressAndGoesOnToTheSystem) {
    start(sim::Os::win7_32, 1);
    setStageObserver(faultNow);
    EXPECT_TRUE(sim::faultReachesSystem(pipelineOnDamagedMachine, nullptr));
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl(Qolvane)安装");
    EXPECT_EQ(m().messageBoxes[0].text, u"智能Marl安装错误Err=10042");
    setStageObserver(nullptr);
    plat::setFaultNotifier(nullptr);
}

TEST_F(Pipeline, SilentModePreparesThePayloadItself) {
    boot(sim::Os::win10_64);
    m().resources["VRZ/QVTKVRZ"] = buildContainer({{"vornqvtk.exe", "qvtk"}, {"vorndel8.exe", "del"}});
    ASSERT_TRUE(preparePayloadAndFacts(nullptr));
    EXPECT_EQ(state.osBits, 64u);
    EXPECT_EQ(state.windows10, 1);
    EXPECT_NE(state.workBuffer, nullptr);
    EXPECT_NE(state.payload, nullptr);
    releasePayloadAndWorkBlock();
    m().resources.clear();
    ASSERT_TRUE(preparePayloadAndFacts(nullptr));
    EXPECT_EQ(state.payload, nullptr);
}
