#include "wizard/main_window.h"

#include <gtest/gtest.h>

#include "../payload/container_builder.h"
#include "common/install_state.h"
#include "programs/pipeline.h"
#include "programs/startup.h"
#include "platform/sim/machine.h"
#include "sim_fixture.h"
#include "wizard/wizard_objects.h"

namespace {

bool isReport(const std::u16string& text) { return text.rfind(u"智能Marl汉字输入系统9.0版安装情况报告", 0) == 0; }

class MainWindow : public SimTest {
protected:
    void TearDown() override {
        if (wizard.mainWindow != nullptr) mainWindowProc(wizard.mainWindow, plat::wmDestroy, 0, 0);
        wizard = WizardObjects{};
        SimTest::TearDown();
    }
    void open(sim::Os os, unsigned codePage = 936) {
        boot(os);
        m().oemCodePage = codePage;
        state.oemCodePage = codePage;
        m().resources["VRZ/QVTKVRZ"] = buildContainer({{"vornqvtk.exe", "q"}});
        ASSERT_TRUE(registerMainWindowClass(nullptr));
        ASSERT_EQ(createMainWindow(nullptr, plat::swShowNormal), 1);
    }
    void click(int x, int y, unsigned button = plat::wmLButtonDown) {
        mainWindowProc(wizard.mainWindow, button, 0, static_cast<intptr_t>((y << 16) | x));
    }
    bool destroyPosted() {
        for (const plat::Message& message : m().messages)
            if (message.message == plat::wmDestroy) return true;
        return false;
    }
    sim::OwnWindow* window(plat::WindowHandle handle) { return m().desktop.window(handle); }
};

}  // namespace

TEST_F(MainWindow, TitleCarriesTheSystemsNumbers) {
    open(sim::Os::win10_64);
    EXPECT_EQ(window(wizard.mainWindow)->title, u"智能Marl系统安装3264-os：64-1-101-62");
    EXPECT_EQ(window(wizard.mainWindow)->style, plat::wsSysMenu);
    EXPECT_EQ(window(wizard.mainWindow)->width, 400);
    EXPECT_EQ(window(wizard.mainWindow)->height, 310);
    EXPECT_EQ(state.wizardStarted, 1);
    EXPECT_EQ(state.interfaceChoice, 1u);
    EXPECT_NE(state.workBuffer, nullptr);
    EXPECT_NE(state.payload, nullptr);
}

TEST_F(MainWindow, TraditionalTitleHasNoNumbers) {
    open(sim::Os::win7_32, 950);
    EXPECT_EQ(window(wizard.mainWindow)->title, u"智能Marl系統安裝");
}

TEST_F(MainWindow, XpOffersTheInterfaceInTwoRows) {
    open(sim::Os::xp32);
    EXPECT_EQ(window(wizard.mainWindow)->title, u"智能Marl系统安装32-os：32-0-100-51");
    EXPECT_EQ(state.interfaceChoiceOffered, 1);
    EXPECT_EQ(wizard.pinyinEditionRect.top, 190);
    EXPECT_EQ(wizard.imeInterfaceRect.top, 215);
    click(300, 225);  // IME interface
    EXPECT_EQ(state.interfaceChoice, 0u);
    click(200, 200, plat::wmRButtonDown);  // Pinyin, with the right button
    EXPECT_EQ(state.editionChoice, 1u);
}

TEST_F(MainWindow, LaterWindowsOfferTheEditionOnly) {
    open(sim::Os::win7_64);
    EXPECT_EQ(state.interfaceChoiceOffered, 0);
    EXPECT_EQ(wizard.pinyinEditionRect.top, 210);
    click(300, 225);  // where the interface would be: the Wubi edition's row now
    EXPECT_EQ(state.interfaceChoice, 1u);
    EXPECT_EQ(state.editionChoice, 0u);
    click(200, 220);
    EXPECT_EQ(state.editionChoice, 1u);
}

TEST_F(MainWindow, NextLeadsThroughTheUserRecordToTheCopyingPage) {
    open(sim::Os::win10_64);
    click(90, 257);
    EXPECT_EQ(state.page, 1);
    EXPECT_TRUE(window(wizard.phoneEdit)->visible);
    EXPECT_TRUE(window(wizard.nameEdit)->visible);
    // The choices are fixed from the first confirmation on.
    click(200, 220);
    EXPECT_EQ(state.editionChoice, 0u);
    plat::setWindowTextA(wizard.nameEdit, "张三");
    click(90, 257);
    EXPECT_EQ(state.page, 6);
    EXPECT_EQ(wizard.nameEdit, nullptr);
    EXPECT_FALSE(destroyPosted());
}

TEST_F(MainWindow, QuitEndsWithoutInstallingOnEarlyPages) {
    for (int nexts = 0; nexts < 3; ++nexts) {
        open(sim::Os::win10_64);
        for (int i = 0; i < nexts; ++i) click(90, 257);
        click(310, 257);
        EXPECT_TRUE(destroyPosted()) << nexts;
        EXPECT_TRUE(m().messageBoxes.empty());
        EXPECT_FALSE(m().exists("C:\\Program Files\\vornel8\\vornqvtk.exe"));
        mainWindowProc(wizard.mainWindow, plat::wmDestroy, 0, 0);
        wizard = WizardObjects{};
    }
}

TEST_F(MainWindow, ProcessingPageIgnoresClicksAndFinishedPagesFinish) {
    open(sim::Os::win10_64);
    state.page = 7;
    click(310, 257);
    click(90, 257);
    EXPECT_FALSE(destroyPosted());
    EXPECT_EQ(state.page, 7);
    state.page = 8;
    click(90, 257);
    EXPECT_EQ(state.page, 9);
    EXPECT_FALSE(destroyPosted());
    click(90, 257);  // finish: the report, then the end
    EXPECT_TRUE(destroyPosted());
}

TEST_F(MainWindow, DestroyFreesEverythingOnce) {
    open(sim::Os::win10_64);
    mainWindowProc(wizard.mainWindow, plat::wmDestroy, 0, 0);
    EXPECT_EQ(state.workBuffer, nullptr);
    EXPECT_EQ(state.payload, nullptr);
    mainWindowProc(wizard.mainWindow, plat::wmDestroy, 0, 0);
    int quits = 0;
    for (const plat::Message& message : m().messages) quits += message.message == plat::wmQuit;
    EXPECT_EQ(quits, 2);
    wizard = WizardObjects{};
}

TEST_F(MainWindow, CloseDuringTheInstallWaitsUntilItHasReturned) {
    open(sim::Os::win7_32);
    state.page = 6;
    int closes = 0;
    // The close box, reached through the modal loop of the first message box of the install.
    m().duringMessageBox = [&] {
        if (closes++ == 0) {
            mainWindowProc(wizard.mainWindow, plat::wmClose, 0, 0);
            EXPECT_NE(state.workBuffer, nullptr);  // nothing freed under the running install
        }
    };
    click(90, 257);
    EXPECT_GE(closes, 1);
    EXPECT_NE(state.workBuffer, nullptr);
    EXPECT_TRUE(destroyPosted());
}

TEST_F(MainWindow, TheEmptiedChoicesHoldNoPointNotEvenTheCorner) {
    open(sim::Os::win10_64);
    click(90, 257);  // on to page 1: the choice rectangles are emptied
    for (int page : {1, 6, 8, 9}) {
        state.page = page;
        state.editionChoice = 0;
        click(0, 0);
        EXPECT_EQ(state.editionChoice, 0u) << page;
        EXPECT_EQ(state.page, page);
    }
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(MainWindow, ACloseWaitsForTheCompletionAndTheFinalMessages) {
    // 64-bit Windows, IME interface: the install completes from its timer.
    open(sim::Os::win10_64);
    state.interfaceChoice = 0;
    state.page = 6;
    click(90, 257);
    ASSERT_EQ(m().timers.size(), 1u);
    for (unsigned request : {plat::wmClose, plat::wmDestroy}) {
        mainWindowProc(wizard.mainWindow, request, 0, 0);
        EXPECT_NE(state.workBuffer, nullptr);  // nothing freed before the completion ran
    }
    EXPECT_FALSE(destroyPosted());
    size_t before = m().messageBoxes.size();
    mainWindowProc(wizard.mainWindow, plat::wmTimer, completionTimer, 0);
    ASSERT_GT(m().messageBoxes.size(), before);
    EXPECT_TRUE(isReport(m().messageBoxes.back().text));  // this payload is no whole installation
    EXPECT_TRUE(destroyPosted());

    // The finished page's own end: a close in the modal loop of its message waits for it.
    open(sim::Os::win10_64);
    state.page = 8;
    int closes = 0;
    m().duringMessageBox = [&] {
        if (closes++ > 0) return;
        mainWindowProc(wizard.mainWindow, plat::wmClose, 0, 0);
        mainWindowProc(wizard.mainWindow, plat::wmDestroy, 0, 0);
        EXPECT_NE(state.workBuffer, nullptr);
    };
    click(310, 257);
    EXPECT_GE(closes, 1);
    EXPECT_NE(state.workBuffer, nullptr);
    EXPECT_TRUE(destroyPosted());
}

// The 64-bit IME completion ends once, and the report of a fault (this payload is no whole
// installation) replaces the success text: a Finish click while it waits completes it, and
// without a timer it completes at once.
TEST_F(MainWindow, TheCompletionEndsOnceWhateverStartsIt) {
    const struct {
        const char* name;
        bool timerFails;
        bool clickFinish;
    } starts[] = {{"the timer", false, false}, {"a Finish click", false, true}, {"no timer", true, false}};
    for (const auto& start : starts) {
        open(sim::Os::win10_64);
        m().failTimers = start.timerFails;
        state.interfaceChoice = 0;
        state.page = 6;
        click(90, 257);
        if (start.clickFinish) click(310, 257);
        if (!m().timers.empty()) mainWindowProc(wizard.mainWindow, plat::wmTimer, completionTimer, 0);
        EXPECT_TRUE(m().timers.empty()) << start.name;
        size_t reports = 0, installed = 0;
        for (const auto& box : m().messageBoxes) {
            reports += isReport(box.text);
            installed += box.text == installedMessage;
        }
        EXPECT_EQ(reports, 1u) << start.name;
        EXPECT_EQ(installed, 0u) << start.name;
        EXPECT_TRUE(destroyPosted()) << start.name;
    }
}
