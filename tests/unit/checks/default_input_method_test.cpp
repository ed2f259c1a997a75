#include "checks/default_input_method.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/install_state.h"
#include "registration/layout_fixture.h"

namespace {

using sim::Hive;
using Ids = std::vector<std::string>;

const std::u16string isDefault =
    u"　　你以前安装的智能Marl为系统默认输入法，请设置为系统非默认输入法后，"
    u"重新启动机器才能安装新版本的智能Marl！";
const std::u16string offer = u"是否设置智能Marl为系统非默认输入法？";
const std::u16string restart = u"请重新启动机器后安装智能Marl！";
const std::u16string isOnly =
    u"　　你以前安装的智能Marl为系统默认输入法，并且是系统安装的唯一输入法，"
    u"请通过微软的输入法管理器增加英文输入法，"
    u"并将智能Marl输入法设置为系统非默认输入法后，重新启动机器才能安装新版本的智能Marl！";
const std::u16string isActive =
    u"　　你以前安装的Qolvane为系统默认输入法，"
    u"请通过微软的输入法管理器将Qolvane输入法设置为系统非默认输入法后，"
    u"重新启动机器才能安装新版本的Qolvane！";

class DefaultInputMethod : public LayoutTest {
protected:
    // An earlier installation's layout beside the standard ones.
    void earlierInstall(sim::Os os, const Ids& list) {
        boot(os);
        addLayout("00000409", "US");
        addLayout("00000804", "Chinese (Simplified) - US Keyboard");
        addLayout("E0210804", "智能Marl输入平台  8.0");
        setPreload(list);
        setPreload(list, Hive::users, defaultList);
    }
    std::vector<std::u16string> texts() {
        std::vector<std::u16string> result;
        for (const auto& box : m().messageBoxes) {
            result.push_back(box.text);
            EXPECT_EQ(box.caption, u"智能Marl安装");
        }
        return result;
    }
};

}  // namespace

TEST_F(DefaultInputMethod, ProductInSecondPlaceAllowsTheInstall) {
    earlierInstall(sim::Os::win7_32, {"00000409", "E0210804"});
    EXPECT_EQ(defaultInputMethodAllowsInstall(), 1);
    EXPECT_EQ(state.productPreloadPosition, 2u);
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(DefaultInputMethod, ProductFirstAndAloneCannotBeMadeNonDefault) {
    earlierInstall(sim::Os::win7_32, {"E0210804"});
    EXPECT_EQ(defaultInputMethodAllowsInstall(), 0);
    EXPECT_EQ(texts(), std::vector<std::u16string>{isOnly});
}

TEST_F(DefaultInputMethod, SixtyFourBitWindowsGetsNoOffer) {
    earlierInstall(sim::Os::win10_64, {"E0210804", "00000409"});
    EXPECT_EQ(defaultInputMethodAllowsInstall(), 0);
    EXPECT_EQ(texts(), std::vector<std::u16string>{isDefault});
    EXPECT_EQ(m().messageBoxes[0].type, 0u);
    EXPECT_EQ(preload(), (Ids{"E0210804", "00000409"}));
}

TEST_F(DefaultInputMethod, AcceptedOfferSwapsTheFirstTwoAndStillEnds) {
    earlierInstall(sim::Os::xp32, {"E0210804", "00000409", "00000804"});
    m().answers = {plat::idOk, plat::idYes};
    EXPECT_EQ(defaultInputMethodAllowsInstall(), 0);
    EXPECT_EQ(texts(), (std::vector<std::u16string>{isDefault, offer, restart}));
    EXPECT_EQ(m().messageBoxes[1].type, 4u);
    EXPECT_EQ(preload(), (Ids{"00000409", "E0210804", "00000804"}));
    EXPECT_EQ(preload(Hive::users, defaultList), (Ids{"00000409", "E0210804", "00000804"}));
}

TEST_F(DefaultInputMethod, DeclinedOfferChangesNothing) {
    earlierInstall(sim::Os::win7_32, {"E0210804", "00000409"});
    m().answers = {plat::idOk, plat::idNo};
    EXPECT_EQ(defaultInputMethodAllowsInstall(), 0);
    EXPECT_EQ(texts(), (std::vector<std::u16string>{isDefault, offer}));
    EXPECT_EQ(preload(), (Ids{"E0210804", "00000409"}));
}

TEST_F(DefaultInputMethod, ActiveLayoutWithOurDescriptionEnds) {
    earlierInstall(sim::Os::win10_64, {"00000409"});
    m().imm.activeLayout = 0xE0210804;
    m().imm.activeLayoutName = "E0210804";
    m().imm.descriptions[0xE0210804] = "智能Marl输入平台  8.0 with a long tail of text";
    EXPECT_EQ(defaultInputMethodAllowsInstall(), 0);
    EXPECT_EQ(texts(), std::vector<std::u16string>{isActive});

    m().messageBoxes.clear();
    m().imm.descriptions[0xE0210804] = "智能Marl输入平";  // 14 of the 16 bytes
    EXPECT_EQ(defaultInputMethodAllowsInstall(), 1);
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(DefaultInputMethod, UnreadableListStillChecksTheDescription) {
    earlierInstall(sim::Os::win10_64, {"E0210804"});
    reg().remove(Hive::currentUser, "keyboard layout");
    EXPECT_EQ(locateInPreloadList(), 0);
    EXPECT_EQ(defaultInputMethodAllowsInstall(), 1);
    m().imm.descriptions[m().imm.activeLayout] = "智能Marl输入平台";
    EXPECT_EQ(defaultInputMethodAllowsInstall(), 0);
    EXPECT_EQ(texts(), std::vector<std::u16string>{isActive});
}

TEST_F(DefaultInputMethod, LookupMatchesTheFirstTwelveBytesOfALayoutText) {
    earlierInstall(sim::Os::xp32, {"00000409", "00000804", "E0220804", "E0210804"});
    addLayout("E0220804", "智能Marl输入法 old");  // the first 12 bytes are ours
    EXPECT_EQ(locateInPreloadList(), 1);
    EXPECT_EQ(state.productPreloadPosition, 3u);
    EXPECT_EQ(state.preloadCount, 4u);

    setPreload({"00000409", "00000804"});
    EXPECT_EQ(locateInPreloadList(), 0);
    EXPECT_EQ(state.productPreloadPosition, 0u);
}
