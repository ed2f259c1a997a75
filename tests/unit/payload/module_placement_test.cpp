#include "payload/module_placement.h"

#include <gtest/gtest.h>

#include <vector>

#include "container_builder.h"
#include "common/locations.h"
#include "common/text.h"
#include "sim_fixture.h"

namespace {

const std::string dir = "C:\\Program Files\\vornel8\\";

std::string utf16(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::string module(const std::string& tag, const std::u16string& version = u"6.3") {
    return "MZ" + tag + std::string(100, '\0') + utf16(u"智能Marl输入平台  " + version) + std::string(50, '\x01');
}

class Placement : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        work_.assign(workBufferSize, 0);
        state.workBuffer = work_.data();
    }
    void TearDown() override {
        state.workBuffer = nullptr;
        state.payload = nullptr;
        SimTest::TearDown();
    }
    // A machine with the facts window creation takes, and a payload holding the modules.
    void prepare(sim::Os os, unsigned codePage = 936) {
        boot(os);
        state.workBuffer = work_.data();
        m().oemCodePage = codePage;
        state.oemCodePage = codePage;
        state.osBits = static_cast<uint32_t>(detectOsBits());
        state.windows10 = state.osVersionCode > 60 && isWindows10() ? 1 : 0;
        is64BitWindows();
        computeInstallDir();
        payload_ = buildContainer({{"vorn320.ime", module("320")},
                                   {"vorn321.ime", module("321")},
                                   {"vorn640.ime", module("640")},
                                   {"vorn641.ime", module("641")},
                                   {"vornel4.ime", module("el4", u"9.0")},
                                   {"vornel64.ime", module("el64", u"9.0")},
                                   {"vornsrf.dll", "srf32-ten"},
                                   {"vornsrf6.dll", "srf64-ten"},
                                   {"csrf732.dll", "srf32-seven"},
                                   {"csrf764.dll", "srf64-seven"},
                                   {"vorndel8.exe", "uninstaller"},
                                   {"setupw64.exe", module("w64", u"6.7")},
                                   {"vorncyzk.bak", "中国; "},
                                   {"vornqvtk.exe", "qvtk"}});
        state.payload = reinterpret_cast<const uint8_t*>(payload_.data());
        state.payloadSize = static_cast<uint32_t>(payload_.size());
    }
    std::string system32() {
        m().redirectionDisabled = true;
        std::string s = file("C:\\windows\\system32\\vornel4.ime");
        m().redirectionDisabled = false;
        return s;
    }
    std::string patched(const std::string& tag, const std::u16string& version = u"9.0") {
        return module(tag, version);
    }
    std::vector<uint8_t> work_;
    std::string payload_;
};

}  // namespace

TEST_F(Placement, VersionLabelBecomesNine) {
    m().writeFile("C:\\a.ime", module("a") + module("b", u"6.7"));
    patchVersionLabel("C:\\a.ime");
    EXPECT_EQ(file("C:\\a.ime"), module("a", u"9.0") + module("b", u"9.0"));
}

TEST_F(Placement, OtherVersionsAndPlainFilesAreLeftAlone) {
    m().writeFile("C:\\a.ime", module("a", u"6.5"));
    patchVersionLabel("C:\\a.ime");
    EXPECT_EQ(file("C:\\a.ime"), module("a", u"6.5"));
    m().writeFile("C:\\b.bin", "no label here");
    patchVersionLabel("C:\\b.bin");
    EXPECT_EQ(file("C:\\b.bin"), "no label here");
    // A label at the very end has no version to look at.
    std::string tail = "x" + utf16(u"智能Marl输入平台");
    m().writeFile("C:\\c.bin", tail);
    patchVersionLabel("C:\\c.bin");
    EXPECT_EQ(file("C:\\c.bin"), tail);
}

TEST_F(Placement, FileOverTheLimitIsNotCut) {
    std::string big = module("a") + std::string(versionPatchLimit, 'z');
    m().writeFile("C:\\big.ime", big);
    patchVersionLabel("C:\\big.ime");
    EXPECT_EQ(file("C:\\big.ime"), big);
}

TEST_F(Placement, ImeFirstPassOn64BitWindowsPlacesBothBuilds) {
    prepare(sim::Os::win10_64);
    installFiles(0);
    EXPECT_TRUE(m().messageBoxes.empty());
    EXPECT_EQ(file("C:\\windows\\syswow64\\vornel4.ime"), patched("320"));
    EXPECT_EQ(system32(), patched("640"));
    EXPECT_EQ(file("C:\\windows\\vorndel8.exe"), "uninstaller");
    EXPECT_EQ(file(dir + "setupw64.exe"), patched("w64"));
    for (const char* gone : {"vornsrf.dll", "vornsrf6.dll", "csrf732.dll", "csrf764.dll"})
        EXPECT_FALSE(m().exists(dir + gone)) << gone;
    EXPECT_EQ(file(dir + "vorncyzk.dat"), file(dir + "vorncyzk.bak"));
}

TEST_F(Placement, CodePage950TakesTheTraditionalModules) {
    prepare(sim::Os::win7_64, 950);
    installFiles(0);
    EXPECT_EQ(file("C:\\windows\\syswow64\\vornel4.ime"), patched("321"));
    EXPECT_EQ(system32(), patched("641"));
}

TEST_F(Placement, ThirtyTwoBitWindowsGetsOneModule) {
    prepare(sim::Os::win7_32);
    installFiles(0);
    EXPECT_EQ(file("C:\\windows\\system32\\vornel4.ime"), patched("320"));
    EXPECT_FALSE(m().exists("C:\\windows\\syswow64"));
}

TEST_F(Placement, SecondPassPlacesThePayloadModulesOnly) {
    prepare(sim::Os::win10_64);
    installFiles(0);
    m().writeFile("C:\\windows\\vorndel8.exe", "kept");
    installFiles(1);
    EXPECT_EQ(file("C:\\windows\\syswow64\\vornel4.ime"), module("el4", u"9.0"));
    EXPECT_EQ(system32(), module("el64", u"9.0"));
    for (const char* gone : {"vorn320.ime", "vorn321.ime", "vorn640.ime", "vorn641.ime"})
        EXPECT_FALSE(m().exists(dir + gone)) << gone;
    EXPECT_EQ(file("C:\\windows\\vorndel8.exe"), "kept");
}

TEST_F(Placement, TsfOnWindows10KeepsItsModules) {
    prepare(sim::Os::win10_64);
    state.interfaceChoice = 1;
    installFiles(0);
    EXPECT_EQ(file("C:\\windows\\syswow64\\vornsrf.dll"), "srf32-ten");
    m().redirectionDisabled = true;
    EXPECT_EQ(file("C:\\windows\\system32\\vornsrf6.dll"), "srf64-ten");
    m().redirectionDisabled = false;
    for (const char* gone : {"csrf732.dll", "csrf764.dll", "vorn320.ime", "vornel4.ime", "vornel64.ime"})
        EXPECT_FALSE(m().exists(dir + gone)) << gone;
}

TEST_F(Placement, TsfOnWindows7TakesTheOtherBuild) {
    prepare(sim::Os::win7_64);
    state.interfaceChoice = 1;
    installFiles(0);
    EXPECT_EQ(file(dir + "vornsrf.dll"), "srf32-seven");
    EXPECT_EQ(file(dir + "vornsrf6.dll"), "srf64-seven");
    EXPECT_EQ(file("C:\\windows\\syswow64\\vornsrf.dll"), "srf32-seven");
}

TEST_F(Placement, KeepQuestionDependsOnTheDirectory) {
    prepare(sim::Os::win10_64);
    state.backupState = 1;
    copyText(state.previousInstallDir, state.installDir);
    m().answers.push_back(plat::idYes);
    installFiles(0);
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].text, u"检测到安装目录下有智能Marl以前的词组等数据文件，是否保留？");
    EXPECT_EQ(m().messageBoxes[0].type, plat::mbYesNo);
    EXPECT_EQ(state.backupState, 2u);

    prepare(sim::Os::win10_64);
    state.backupState = 1;
    copyText(state.previousInstallDir, "D:\\old\\vornel8\\");
    m().answers.push_back(plat::idNo);
    installFiles(0);
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].text, u"检测到有智能Marl以前的词组等数据文件，是否保留？");
    EXPECT_EQ(state.backupState, 1u);
}

TEST_F(Placement, TheQuestionFollowsAFailedExtractionToo) {
    prepare(sim::Os::win10_64);
    state.backupState = 1;
    payload_[payload_.size() / 2] ^= 0x55;  // one entry damaged
    m().answers = {plat::idOk, plat::idOk, plat::idYes};
    installFiles(0);
    ASSERT_GE(m().messageBoxes.size(), 3u);
    EXPECT_EQ(m().messageBoxes[1].text,
              u"文件解压不完整，请到智能Marl网站www.vornel.com重新下载安装。");
    EXPECT_EQ(m().messageBoxes[2].type, plat::mbYesNo);
    EXPECT_EQ(state.backupState, 2u);
}

TEST_F(Placement, WithoutAPayloadTheUserIsToldOnce) {
    prepare(sim::Os::win10_64);
    state.payload = nullptr;
    installFiles(0);
    ASSERT_GE(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl(Qolvane)安装");
}

TEST_F(Placement, UnplaceableModuleIsReportedAfterTheRetry) {
    prepare(sim::Os::win7_32);
    m().denyWrite("C:\\windows\\system32\\vornel4.ime");
    installFiles(0);
    ASSERT_FALSE(m().messageBoxes.empty());
    EXPECT_EQ(m().messageBoxes.back().text,
              u"没有成功复制vornel4.ime文件，请退出安装程序并手动删除该文件后重新安装！");
}

TEST_F(Placement, FinalCheckReportsTheFirstDifferingModule) {
    prepare(sim::Os::win10_64);
    state.interfaceChoice = 1;
    installFiles(0);
    m().redirectionDisabled = true;
    m().writeFile("C:\\windows\\system32\\vornsrf6.dll", "other size");
    m().redirectionDisabled = false;
    size_t before = m().messageBoxes.size();
    finalTsfCheck();
    ASSERT_EQ(m().messageBoxes.size(), before + 1);
    EXPECT_EQ(m().messageBoxes.back().text,
              u"没有成功复制vornsrf6.dll文件，请退出安装程序并手动删除该文件后重新安装！");
}
