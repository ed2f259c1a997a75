#include "checks/in_use.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/locations.h"
#include "sim_fixture.h"

namespace {

class InUse : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        work_.assign(workBufferSize, 0);
        state.workBuffer = work_.data();
        computeInstallDir();
    }
    void TearDown() override {
        state.workBuffer = nullptr;
        SimTest::TearDown();
    }
    std::u16string message() { return reinterpret_cast<const char16_t*>(work_.data()); }
    std::vector<uint8_t> work_;
};

const std::u16string tail =
    u"\r\n\r\n请关闭上述软件后再继续安装！\r\n如无法关闭，则请将智能Marl设置为非默认输入法后，重新启动机器进行安装！";

}  // namespace

TEST_F(InUse, ListsTheTopLevelProgramOfEachOwnedWindow) {
    uintptr_t editor = m().addWindow("Notepad", u"记事本 - a.txt").handle;
    uintptr_t dialog = m().addWindow("#32770", u"Find", editor).handle;
    m().addWindow("UIQVTK", u"", dialog);
    uintptr_t browser = m().addWindow("Browser", u"Web").handle;
    m().addWindow("UIQVTK", u"", browser);
    scanInputMethodWindows();
    EXPECT_EQ(state.inUseCount, 2);
    EXPECT_EQ(message(), u"智能Marl安装软件检测到有下列 2 个软件在使用智能Marl输入法:\r\n\r\n"
                         u"\u3000\u30001：记事本 - a.txt\r\n\u3000\u30002：Web\r\n" +
                             tail);
}

TEST_F(InUse, UnownedWindowCountsWithoutALine) {
    m().addWindow("UIQVTK", u"lonely");
    uintptr_t app = m().addWindow("App", u"Editor").handle;
    m().addWindow("UIQVTK", u"", app);
    scanInputMethodWindows();
    EXPECT_EQ(state.inUseCount, 2);
    EXPECT_EQ(message(), u"智能Marl安装软件检测到有下列 2 个软件在使用智能Marl输入法:\r\n\r\n"
                         u"\u3000\u30002：Editor\r\n" +
                             tail);
}

TEST_F(InUse, OnlyTheChosenInterfacesClassCounts) {
    uintptr_t app = m().addWindow("App", u"Editor").handle;
    m().addWindow("STATQVTK", u"", app);
    m().addWindow("uiqvtk", u"", app);  // the class compares with case
    scanInputMethodWindows();
    EXPECT_EQ(state.inUseCount, 0);
    state.interfaceChoice = 1;
    scanInputMethodWindows();
    EXPECT_EQ(state.inUseCount, 1);
}

TEST_F(InUse, LongTitlesAreCutAtTwoHundredCharacters) {
    uintptr_t app = m().addWindow("App", std::u16string(500, u'x')).handle;
    m().addWindow("UIQVTK", u"", app);
    scanInputMethodWindows();
    EXPECT_NE(message().find(u"1：" + std::u16string(200, u'x') + u"\r\n"), std::u16string::npos);
}

TEST_F(InUse, MappingOfTheOtherInterfaceIsNoWarning) {
    m().fileMappings = {"vornelqvtk80"};
    findInputMethodMapping();
    EXPECT_EQ(state.inUseCount, 0);
    state.interfaceChoice = 1;
    findInputMethodMapping();
    EXPECT_EQ(state.inUseCount, 1);
}

TEST_F(InUse, ServerIsNotifiedAndItsProgramMovedAside) {
    sim::Machine::Window& server = m().addWindow("智能Marl输入法", u"");
    server.closesOnNotification = true;
    m().writeFile(std::string(state.installDir) + "vornel88.exe", "running server");
    m().markBusy(std::string(state.installDir) + "vornel88.exe");
    stopInputMethodServer();
    ASSERT_EQ(m().closedWindows.size(), 1u);
    ASSERT_EQ(m().closedWindows[0].copyData.size(), 1u);
    EXPECT_EQ(m().closedWindows[0].copyData[0].first, 3599u);
    const std::string& block = m().closedWindows[0].copyData[0].second;
    EXPECT_EQ(block.size(), 80u);
    EXPECT_STREQ(block.c_str(), "VKSRF=2");
    EXPECT_EQ(file(std::string(state.installDir) + "vornel82.exe"), "running server");
    EXPECT_FALSE(m().exists(std::string(state.installDir) + "vornel88.exe"));
    // Still running: it goes at the restart, not never.
    EXPECT_EQ(m().pendingDeletes, std::vector<std::string>{m().normalize(std::string(state.installDir) + "vornel82.exe")});
    EXPECT_STREQ(state.stageMessage, "智能Marl安装错误Err=100415");
    EXPECT_GE(m().sleptMilliseconds, 50u);
}

TEST_F(InUse, AServerThatFaultsOrNeverAnswersDoesNotHoldTheInstall) {
    for (bool hung : {false, true}) {
        boot(sim::Os::win10_64);
        computeInstallDir();
        sim::Machine::Window& server = m().addWindow("智能Marl输入法", u"");
        server.faultOnCopyData = !hung;
        server.hung = hung;
        m().writeFile(std::string(state.installDir) + "vornel88.exe", "old");
        stopInputMethodServer();
        // Renamed out of the way and, as nothing holds it, gone at once.
        EXPECT_FALSE(m().exists(std::string(state.installDir) + "vornel88.exe")) << hung;
        EXPECT_FALSE(m().exists(std::string(state.installDir) + "vornel82.exe")) << hung;
        EXPECT_TRUE(m().pendingDeletes.empty()) << hung;
        EXPECT_STREQ(state.stageMessage, "智能Marl安装错误Err=100415") << hung;
    }
}

TEST_F(InUse, NoServerNoProgram) {
    stopInputMethodServer();
    EXPECT_TRUE(m().messageBoxes.empty());
    EXPECT_STREQ(state.stageMessage, "智能Marl安装错误Err=100415");
}
