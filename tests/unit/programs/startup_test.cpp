#include "programs/startup.h"

#include <gtest/gtest.h>

#include "../payload/container_builder.h"
#include "common/install_state.h"
#include "programs/unattended.h"
#include "sim_fixture.h"

namespace {

class Startup : public SimTest {
protected:
    int run(const char* commandLine, plat::InstanceHandle previous = nullptr) {
        return runSetup(reinterpret_cast<plat::InstanceHandle>(0x400000), previous, commandLine,
                        1);
    }
};

}  // namespace

TEST(ContainsWord, FoldsUpperCaseAndFindsEmbeddedWords) {
    EXPECT_TRUE(containsWord("setvrsrf32", "setvrsrf32"));
    EXPECT_TRUE(containsWord("SETVRSRF32", "setvrsrf32"));
    EXPECT_TRUE(containsWord("/q xSetVrSrf32y", "setvrsrf32"));
    EXPECT_TRUE(containsWord("a regvr32=c:\\x", "regvr32"));
    EXPECT_FALSE(containsWord("setvrsrf3", "setvrsrf32"));
    EXPECT_FALSE(containsWord("", "regvr32"));
    EXPECT_FALSE(containsWord(nullptr, "regvr32"));
    // Only the command line is folded: the word is expected in lower case.
    EXPECT_FALSE(containsWord("regvr32", "REGVR32"));
}

TEST_F(Startup, SilentWordRunsTheCoreInstallWithoutAWindow) {
    m().resources["VRZ/QVTKVRZ"] =
        buildContainer({{"vorn320.ime", "32"}, {"vorn640.ime", "64"}, {"vornel4.ime", "el4"},
                        {"vornel64.ime", "el64"}, {"vorndel8.exe", "uninstaller"}, {"setupw64.exe", "companion"}});
    EXPECT_EQ(run("SETVRSRF32"), 0);
    EXPECT_EQ(state.runMode, silentMode);
    EXPECT_TRUE(m().windowClasses.empty());
    EXPECT_TRUE(m().messageBoxes.empty());
    EXPECT_EQ(file("C:\\windows\\vornpat8.vrh"), "C:\\Program Files\\vornel8\\");
    EXPECT_EQ(file("C:\\vornel8\\vornpat8.vrh"), "C:\\Program Files\\vornel8\\");
    EXPECT_EQ(state.wizardStarted, 0);
    // Silent mode locates the payload itself, installs it and lets it go again.
    EXPECT_EQ(file("C:\\Program Files\\vornel8\\vornel4.ime"), "el4");
    EXPECT_EQ(file("C:\\windows\\syswow64\\vornel4.ime"), "el4");
    EXPECT_EQ(state.payload, nullptr);
    EXPECT_EQ(state.workBuffer, nullptr);
}

TEST_F(Startup, SilentModeWithoutAPayloadSaysSoWithoutABox) {
    EXPECT_EQ(run("setvrsrf32"), 4);  // the payload incomplete or damaged
    EXPECT_TRUE(m().messageBoxes.empty());
    ASSERT_FALSE(unattendedMessages().empty());
    EXPECT_EQ(unattendedMessages()[0].text,
              u"文件解压不完整，请到智能Marl网站www.vornel.com重新下载安装。");
}

TEST_F(Startup, BothWordsRunTheWizardInEitherOrder) {
    for (const char* commandLine : {"setvrsrf32 regvr32", "regvr32=c:\\ setvrsrf32"}) {
        boot(sim::Os::win10_64);
        EXPECT_EQ(run(commandLine), 0);
        EXPECT_EQ(state.runMode, wizardMode) << commandLine;
        ASSERT_EQ(m().windowClasses.size(), 1u) << commandLine;
        EXPECT_EQ(m().windowClasses[0].className, "installWClass");
        EXPECT_EQ(m().windowClasses[0].iconName, "vornel");
    }
}

TEST_F(Startup, WizardIsTheDefault) {
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(state.runMode, wizardMode);
    EXPECT_EQ(m().windowClasses.size(), 1u);
    EXPECT_EQ(state.oemCodePage, 936u);
}

TEST_F(Startup, SecondInstanceOrFailedRegistrationEndsQuietly) {
    EXPECT_EQ(run("", reinterpret_cast<plat::InstanceHandle>(0x1)), 0);
    EXPECT_TRUE(m().windowClasses.empty());
    boot(sim::Os::win10_64);
    m().failClassRegistration = true;
    EXPECT_EQ(run(""), 0);
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(Startup, WithoutAdministratorRightsNeitherModeRuns) {
    // The wizard shows the refusal; silent mode only logs it and says so by its exit code.
    const std::tuple<const char*, int, bool> cases[] = {
        {"", 0, true}, {"setvrsrf32", 7, false}, {"/S", 7, false}, {"/LOG", 7, true}};
    for (const auto& [commandLine, exitCode, shown] : cases) {
        boot(sim::Os::win7_64);
        m().denyWrite("C:\\windows\\vornpat8.vrh");
        EXPECT_EQ(run(commandLine), exitCode) << commandLine;
        std::vector<std::u16string> said;
        for (const auto& box : m().messageBoxes) said.push_back(box.caption + u"|" + box.text);
        if (!shown)
            for (const auto& message : unattendedMessages()) said.push_back(message.caption + u"|" + message.text);
        EXPECT_EQ(said, std::vector<std::u16string>{std::u16string(u"智能Marl|") + notAdministratorMessage})
            << commandLine;
        EXPECT_EQ(m().messageBoxes.size(), shown ? 1u : 0u) << commandLine;
        EXPECT_EQ(state.runMode, wizardMode) << commandLine;
        EXPECT_TRUE(m().windowClasses.empty()) << commandLine;
    }
}

TEST_F(Startup, CodePage950IsRecorded) {
    m().oemCodePage = 950;
    run("setvrsrf32");
    EXPECT_EQ(state.oemCodePage, 950u);
}

TEST_F(Startup, MessageLoopEndsWithTheQuitCode) {
    // A window procedure registered by the start-up answers WM_DESTROY with a quit message.
    run("");
    ASSERT_EQ(m().windowClasses.size(), 1u);
    plat::postMessage(nullptr, plat::wmDestroy, 0, 0);
    plat::Message message;
    ASSERT_EQ(plat::getMessage(message), 1);
    plat::dispatchMessage(message);
    EXPECT_EQ(plat::getMessage(message), 0);
    EXPECT_EQ(message.wParam, 0u);
}
