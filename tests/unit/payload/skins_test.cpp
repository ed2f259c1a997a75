#include "payload/skins.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "container_builder.h"
#include "common/locations.h"
#include "payload/extraction.h"
#include "sim_fixture.h"

namespace {

const std::string dir = "C:\\Program Files\\vornel8\\";
const std::vector<int> radios = {101, 102, 106, 107, 110, 111, 112};

struct Skin {
    const char* archive;
    const char* tag;
};
const Skin skins[3] = {{"冷色瓷面.vrz", "cool"}, {"粉色瓷面.vrz", "pink"}, {"小天使.vrz", "angel"}};

std::string skinFileName(int i) {
    return i == 0 ? "vrbmp8.vrh" : "vrbmpsx" + std::to_string(i) + ".bmp";
}

// What each skin's file holds: its own content per skin, "vrbmp8.vrh" 4,096 bytes.
std::string skinContent(const char* tag, int i) {
    if (i == 0) return std::string(4096 - 4, 'x') + tag;
    return std::string(tag) + " bitmap " + std::to_string(i) + std::string(300, static_cast<char>('a' + i));
}

std::string skinArchive(const char* tag) {
    std::vector<TestEntry> entries;
    for (int i = 0; i <= 7; ++i) entries.push_back({skinFileName(i), skinContent(tag, i)});
    return buildContainer(entries, true);
}

class Skins : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        computeInstallDir();
        m().makeDirectories(dir);
        workBlock_.assign(workBufferSize, 0);
        state.workBuffer = workBlock_.data();
        for (const Skin& skin : skins) m().writeFile(dir + skin.archive, skinArchive(skin.tag));
        m().writeFile(dir + "vrbmps44.bmp", "the fixed fourth bitmap");
        // The dialog resources as the program carries them: seven auto radio buttons without
        // a group style, OK (105) the default button.
        sim::DialogTemplate dialog;
        dialog.autoRadioButtons = radios;
        dialog.defaultButton = 105;
        dialog.x = 40;
        dialog.y = 50;
        dialog.width = 330;
        dialog.height = 230;
        m().dialogs.templates["PYKEY"] = dialog;
        m().dialogs.templates["PYKEYB"] = dialog;
        mainWindow_ = reinterpret_cast<plat::WindowHandle>(
            m().desktop.addWindow("installWClass", 312, 229, 400, 310));
    }
    void TearDown() override {
        state.workBuffer = nullptr;
        SimTest::TearDown();
    }
    // Shows the dialog through the skin step with these clicks.
    void install(std::vector<int> clicks) {
        m().dialogs.scripts.push_back(std::move(clicks));
        installSkin(mainWindow_);
    }
    const sim::DialogRecord& dialog() {
        EXPECT_EQ(m().dialogs.shown.size(), 1u);
        return m().dialogs.shown.at(0);
    }
    std::vector<int> checked(const sim::DialogRecord& record) {
        std::vector<int> ids;
        for (int id : radios) {
            auto it = record.checks.find(id);
            if (it != record.checks.end() && it->second) ids.push_back(id);
        }
        return ids;
    }
    void expectSkinInstalled(const char* tag) {
        for (int i = 0; i <= 7; ++i) {
            if (i == 4) continue;
            EXPECT_EQ(file(dir + skinFileName(i)), skinContent(tag, i)) << skinFileName(i);
        }
        EXPECT_EQ(file(dir + "vrbmpsx4.bmp"), "the fixed fourth bitmap");
    }
    void writeInstalledSkin(const char* tag, int except = -1) {
        for (int i = 0; i <= 7; ++i)
            if (i != except) m().writeFile(dir + skinFileName(i), std::string("old ") + tag);
    }

    std::vector<uint8_t> workBlock_;
    plat::WindowHandle mainWindow_ = nullptr;
};

}  // namespace

TEST_F(Skins, OkUntouchedInstallsTheCoolSkinAndTheTwoLineWindow) {
    state.windowModeChoice = 3;
    state.skinChoice = 2;
    install({105});
    const sim::DialogRecord& shown = dialog();
    EXPECT_EQ(shown.templateName, "PYKEY");
    EXPECT_EQ(shown.owner, mainWindow_);
    EXPECT_TRUE(shown.ended);
    EXPECT_FALSE(shown.pressedEnter);
    EXPECT_EQ(shown.result, 0);
    EXPECT_EQ(state.windowModeChoice, 1);
    EXPECT_EQ(state.skinChoice, 1);
    expectSkinInstalled("cool");
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(Skins, InitialisationSetsAllSevenChecksInOrder) {
    install({105});
    const std::vector<std::pair<int, bool>> expected = {{101, true},  {102, false}, {106, false},
                                                        {107, false}, {110, true},  {111, false},
                                                        {112, false}};
    EXPECT_EQ(dialog().checkCalls, expected);
}

TEST_F(Skins, DialogMovesToTheMainWindowsTopLeftCorner) {
    install({105});
    EXPECT_EQ(dialog().x, 312);
    EXPECT_EQ(dialog().y, 229);
}

TEST_F(Skins, SingleLineWindowAndLittleAngel) {
    install({102, 112, 105});
    const sim::DialogRecord& shown = dialog();
    EXPECT_EQ(state.windowModeChoice, 2);
    EXPECT_EQ(state.skinChoice, 3);
    expectSkinInstalled("angel");
    // Windows' own handling of the ungrouped buttons cleared 102 when 112 was clicked; the
    // procedure put it back.
    EXPECT_EQ(checked(shown), (std::vector<int>{102, 112}));
    // Every click refreshes all seven, as the initialisation did.
    ASSERT_EQ(shown.checkCalls.size(), 21u);
    for (size_t i = 0; i < shown.checkCalls.size(); ++i)
        EXPECT_EQ(shown.checkCalls[i].first, radios[i % 7]);
}

TEST_F(Skins, EveryButtonSequenceGivesItsModeAndSkin) {
    struct Case {
        std::vector<int> clicks;
        int mode, skin;
        std::vector<int> checks;
    };
    const Case cases[] = {
        {{101, 105}, 1, 1, {101, 110}},
        {{106, 105}, 3, 1, {106, 110}},
        {{107, 105}, 4, 1, {107, 110}},
        {{111, 105}, 1, 2, {101, 111}},
        {{112, 105}, 1, 3, {101, 112}},
        {{107, 111, 105}, 4, 2, {107, 111}},
        {{111, 110, 105}, 1, 1, {101, 110}},
        {{106, 102, 112, 111, 105}, 2, 2, {102, 111}},
        {{112, 107, 101, 105}, 1, 3, {101, 112}},
    };
    for (const Case& c : cases) {
        SetUp();
        install(c.clicks);
        SCOPED_TRACE(testing::PrintToString(c.clicks));
        EXPECT_EQ(state.windowModeChoice, c.mode);
        EXPECT_EQ(state.skinChoice, c.skin);
        EXPECT_EQ(checked(dialog()), c.checks);
        expectSkinInstalled(skins[c.skin - 1].tag);
    }
}

TEST_F(Skins, CancelAndUnknownCommandsAreIgnored) {
    // Escape and the close box send the cancel command (2); the dialog stays open.
    install({102, 2, 111, 2, 999, 105});
    const sim::DialogRecord& shown = dialog();
    EXPECT_EQ(shown.clicks, (std::vector<int>{102, 2, 111, 2, 999, 105}));
    EXPECT_FALSE(shown.pressedEnter);
    EXPECT_EQ(state.windowModeChoice, 2);
    EXPECT_EQ(state.skinChoice, 2);
    expectSkinInstalled("pink");
}

TEST_F(Skins, CancelAloneDoesNotEndTheDialog) {
    install({2, 2});
    const sim::DialogRecord& shown = dialog();
    // Only Enter, the OK button, ended it.
    EXPECT_TRUE(shown.pressedEnter);
    EXPECT_EQ(shown.clicks, (std::vector<int>{2, 2, 105}));
    EXPECT_TRUE(shown.ended);
    EXPECT_EQ(state.windowModeChoice, 1);
    EXPECT_EQ(state.skinChoice, 1);
}

TEST_F(Skins, ProcedureAnswersOnlyOkWithOne) {
    plat::WindowHandle dialogWindow =
        reinterpret_cast<plat::WindowHandle>(m().desktop.addWindow("#32770", 0, 0, 10, 10));
    EXPECT_EQ(skinDialogProc(dialogWindow, plat::wmInitDialog, 0, 0), 0);
    EXPECT_EQ(skinDialogProc(dialogWindow, plat::wmCommand, 111, 0), 0);
    EXPECT_EQ(skinDialogProc(dialogWindow, plat::wmCommand, 2, 0), 0);
    EXPECT_EQ(skinDialogProc(dialogWindow, plat::wmPaint, 0, 0), 0);
    // The notification code in the high word does not matter.
    EXPECT_EQ(skinDialogProc(dialogWindow, plat::wmCommand, (5u << 16) | 106u, 0), 0);
    EXPECT_EQ(skinDialogProc(dialogWindow, plat::wmCommand, 105, 0), 1);
    EXPECT_EQ(state.windowModeChoice, 3);
    EXPECT_EQ(state.skinChoice, 2);
}

TEST_F(Skins, TraditionalScriptDialogUnderCodePage950) {
    state.oemCodePage = 950;
    install({111, 106, 105});
    EXPECT_EQ(dialog().templateName, "PYKEYB");
    EXPECT_EQ(state.windowModeChoice, 3);
    EXPECT_EQ(state.skinChoice, 2);
    expectSkinInstalled("pink");
}

TEST_F(Skins, KeptDataWithACompleteSkinKeepEverything) {
    state.backupState = 2;
    writeInstalledSkin("earlier");
    state.windowModeChoice = 0;
    install({112, 105});
    EXPECT_TRUE(m().dialogs.shown.empty());
    for (int i = 0; i <= 7; ++i) EXPECT_EQ(file(dir + skinFileName(i)), "old earlier");
    EXPECT_EQ(state.windowModeChoice, 0);
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(Skins, KeptDataWithoutTheSeventhBitmapAskAgain) {
    state.backupState = 2;
    writeInstalledSkin("earlier", 7);
    install({112, 105});
    EXPECT_EQ(dialog().templateName, "PYKEY");
    EXPECT_EQ(state.skinChoice, 3);
    expectSkinInstalled("angel");
}

TEST_F(Skins, ABackupAloneDoesNotKeepTheSkin) {
    state.backupState = 1;
    writeInstalledSkin("earlier");
    install({105});
    EXPECT_EQ(m().dialogs.shown.size(), 1u);
    expectSkinInstalled("cool");
}

TEST_F(Skins, MissingArchiveIsOneMessageAndNothingCopied) {
    ASSERT_EQ(std::remove(m().hostPath(dir + "粉色瓷面.vrz").c_str()), 0);
    install({111, 105});
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl");
    EXPECT_EQ(m().messageBoxes[0].type, plat::mbOk);
    EXPECT_EQ(m().messageBoxes[0].text, u"皮肤文件没有成功复制，请重新安装皮肤文件！\r\n");
    for (int i = 0; i <= 7; ++i) EXPECT_FALSE(m().exists(dir + skinFileName(i))) << i;
}

TEST_F(Skins, MissingArchiveFollowsThePayloadReport) {
    std::string payload = buildContainer({{"vornlost.dat", "never installed"}});
    state.payload = reinterpret_cast<const uint8_t*>(payload.data());
    state.payloadSize = static_cast<uint32_t>(payload.size());
    std::remove(m().hostPath(dir + "冷色瓷面.vrz").c_str());
    verifyPayloadFiles();
    install({105});
    state.payload = nullptr;
    const std::u16string report =
        u"vornlost.dat....有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n上述文件没有成功复制，请重新下载安装！\r\n";
    ASSERT_EQ(m().messageBoxes.size(), 2u);
    EXPECT_EQ(m().messageBoxes[0].text, report);
    EXPECT_EQ(m().messageBoxes[1].text, report + u"皮肤文件没有成功复制，请重新安装皮肤文件！\r\n");
}

TEST_F(Skins, StaleWorkBufferTextIsNoReportWithoutAPayload) {
    std::memcpy(state.workBuffer + failureTextOffset, "leftover", 9);
    std::remove(m().hostPath(dir + "冷色瓷面.vrz").c_str());
    install({105});
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].text, u"皮肤文件没有成功复制，请重新安装皮肤文件！\r\n");
}

TEST_F(Skins, SkinFileFailingTheSizeCheckIsListed) {
    m().denyWrite(dir + "vrbmpsx3.bmp");
    install({110, 105});
    ASSERT_EQ(m().messageBoxes.size(), 2u);
    // The extraction's own message (a file not written, with Windows' error), then the check's list.
    EXPECT_EQ(m().messageBoxes[0].text, u"没有成功写入vrbmpsx3.bmp文件（错误5）！请检查磁盘空间和访问权限后重新安装。");
    EXPECT_EQ(m().messageBoxes[1].caption, u"智能Marl");
    EXPECT_EQ(m().messageBoxes[1].text,
              u"vrbmpsx3.bmp....有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n"
              u"皮肤文件没有成功复制，请重新安装皮肤文件！\r\n");
    // The installation goes on: the fourth bitmap is still replaced.
    EXPECT_EQ(file(dir + "vrbmpsx4.bmp"), "the fixed fourth bitmap");
    EXPECT_EQ(file(dir + "vrbmpsx5.bmp"), skinContent("cool", 5));
}

TEST_F(Skins, ShortenedSkinFileFailsTheSizeCheck) {
    // Skin archives carry no digests: a file counts as intact when it is at least as long as
    // its compressed entry. A one-byte bitmap is shorter than its zlib stream.
    std::vector<TestEntry> entries;
    for (int i = 0; i <= 7; ++i)
        entries.push_back({skinFileName(i), i == 2 ? std::string("z") : skinContent("cool", i)});
    std::string archive = buildContainer(entries, true);
    m().writeFile(dir + "冷色瓷面.vrz", archive);
    install({105});
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].text,
              u"vrbmpsx2.bmp....有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n"
              u"皮肤文件没有成功复制，请重新安装皮肤文件！\r\n");
}

TEST_F(Skins, FourthBitmapAlwaysBecomesTheFixedOne) {
    for (int skin = 1; skin <= 3; ++skin) {
        SetUp();
        install({skin == 1 ? 110 : skin == 2 ? 111 : 112, 105});
        EXPECT_EQ(file(dir + "vrbmpsx4.bmp"), file(dir + "vrbmps44.bmp")) << skin;
        EXPECT_NE(file(dir + "vrbmpsx4.bmp"), skinContent(skins[skin - 1].tag, 4));
    }
}

TEST_F(Skins, MissingDialogResourceInstallsTheDefaults) {
    m().dialogs.templates.clear();
    install({112, 105});
    EXPECT_FALSE(dialog().found);
    EXPECT_EQ(state.windowModeChoice, 1);
    EXPECT_EQ(state.skinChoice, 1);
    expectSkinInstalled("cool");
}

TEST_F(Skins, NoWorkBlockReportsTheSkinAndWritesNothing) {
    state.workBuffer = nullptr;
    install({111, 105});
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].text, u"皮肤文件没有成功复制，请重新安装皮肤文件！\r\n");
    EXPECT_FALSE(m().exists(dir + "vrbmpsx1.bmp"));
}
