#include "registration/keyboard_layout.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "layout_fixture.h"

namespace {

using sim::Hive;

const std::string gbkText = "智能Marl输入平台  9.0";
const std::string adminNeeded =
    "在WIN2000和WIN NT系统中安装本软件时，需要以系统管理员身份才能安装成功！";

// Big5 made independently of the program's own bytes.
std::string big5(const char8_t* utf8) {
    std::string in(reinterpret_cast<const char*>(utf8));
    std::string out(in.size() * 2, '\0');
    iconv_t cd = iconv_open("BIG5", "UTF-8");
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

class KeyboardLayout : public LayoutTest {
protected:
    void SetUp() override {
        LayoutTest::SetUp();
        standardLayouts();
    }
    // A machine that uses code page 950, as the start-up records it.
    void traditional() { state.oemCodePage = 950; }
    void expectOurEntry(const std::string& id, const std::string& text = gbkText,
                        const std::string& layoutFile = "kbdus.dll") {
        EXPECT_EQ(layoutValue(id, "IME file"), "VORNEL4.IME") << id;
        EXPECT_EQ(layoutValue(id, "layout file"), layoutFile) << id;
        EXPECT_EQ(layoutValue(id, "layout text"), text) << id;
        auto value = reg().value(Hive::localMachine, layoutKey(id), "layout text");
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, 1u);
    }
    void TearDown() override {
        EXPECT_EQ(reg().openHandles(), 0u);
        LayoutTest::TearDown();
    }
};

}  // namespace

TEST_F(KeyboardLayout, FirstInstallTakesE0010804AndJoinsThePreloadList) {
    registerKeyboardLayout();
    EXPECT_EQ(layoutIds(), (std::vector<std::string>{"00000409", "00000804", "E0010804"}));
    expectOurEntry("E0010804");
    EXPECT_EQ(layoutValue("E0010804", "layout text").size(), 21u);
    EXPECT_EQ(preload(), (std::vector<std::string>{"00000409", "00000804", "e0010804"}));
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(KeyboardLayout, NewNumberFollowsTheLargestWithOurLanguage) {
    addLayout("E0200804", "Other IME");
    registerKeyboardLayout();
    expectOurEntry("E0210804");

    boot(sim::Os::win10_64);
    standardLayouts();
    addLayout("E0220411", "Japanese IME");
    addLayout("E0100804", "Other IME");
    registerKeyboardLayout();
    expectOurEntry("E0230804");
    EXPECT_EQ(preload().back(), "e0230804");
}

TEST_F(KeyboardLayout, TraditionalMachineUsesBig5AndLanguage0404) {
    traditional();
    const std::string big5Text = big5(u8"智能Marl輸入平台  9.0");
    ASSERT_EQ(big5Text.size(), 21u);
    registerKeyboardLayout();
    expectOurEntry("E0010404", big5Text);
    EXPECT_EQ(preload().back(), "e0010404");

    // An entry of ours under 0804 moves to the same number under 0404.
    boot(sim::Os::win10_64);
    standardLayouts();
    traditional();
    addLayout("E0210804", big5(u8"智能Marl輸入平台  8.0"));
    reg().setText(Hive::localMachine, layoutKey("E0210804"), "IME file", "VORNEL4.IME");
    registerKeyboardLayout();
    EXPECT_FALSE(reg().exists(Hive::localMachine, layoutKey("E0210804")));
    expectOurEntry("E0210404", big5Text);
    EXPECT_EQ(preload().back(), "e0210404");
}

TEST_F(KeyboardLayout, MovedEntryDoesNotTakeOverAnotherLayoutOfThatName) {
    traditional();
    addLayout("E0210804", big5(u8"智能Marl輸入平台  8.0"));
    addLayout("E0210404", "Other traditional IME");
    registerKeyboardLayout();
    EXPECT_EQ(layoutValue("E0210404", "layout text"), "Other traditional IME");
    EXPECT_EQ(layoutValue("E0210404", "IME file"), "<missing>");
    expectOurEntry("E0220404", big5(u8"智能Marl輸入平台  9.0"));
}

TEST_F(KeyboardLayout, OlderVersionsEntryIsReusedAndItsOtherValuesKept) {
    addLayout("E0300804", "智能Marl输入平台  8.0");
    reg().setText(Hive::localMachine, layoutKey("E0300804"), "Layout Display Name", "@x.dll");
    addLayout("E0400804", "Other IME");
    registerKeyboardLayout();
    EXPECT_EQ(layoutIds().size(), 4u);
    expectOurEntry("E0300804");
    EXPECT_EQ(layoutValue("E0300804", "Layout Display Name"), "@x.dll");
    EXPECT_EQ(preload().back(), "e0300804");

    // A second run changes nothing more.
    registerKeyboardLayout();
    EXPECT_EQ(layoutIds().size(), 4u);
    EXPECT_EQ(preload().size(), 3u);
}

TEST_F(KeyboardLayout, OfTwoEntriesOfOursTheOneEnumeratedLastIsReused) {
    addLayout("E0300804", "智能Marl输入平台  7.0");
    addLayout("E0310804", "智能Marl输入平台  8.0");
    registerKeyboardLayout();
    expectOurEntry("E0310804");
    EXPECT_EQ(layoutValue("E0300804", "layout text"), "智能Marl输入平台  7.0");
    EXPECT_EQ(layoutValue("E0300804", "IME file"), "<missing>");
}

TEST_F(KeyboardLayout, TextsThatAreNoMatchCountOnlyForTheNumber) {
    addLayout("E0200804", "智能Marl输入平");  // 14 bytes of our name
    addLayout("E0210804", "智能Marl输入");    // 12 bytes
    reg().setValue(Hive::localMachine, layoutKey("E0220804"), "layout text", 3,
                   "智能Marl输入平台  9.0");  // REG_BINARY: not a text
    registerKeyboardLayout();
    // The binary one takes no part in the maximum, but its name is not taken over either.
    expectOurEntry("E0230804");
    EXPECT_EQ(layoutValue("E0220804", "IME file"), "<missing>");
}

TEST_F(KeyboardLayout, KeysWithoutFullAccessAreSkippedButNeverTakenOver) {
    addLayout("E0500804", "智能Marl输入平台  8.0");
    reg().find(Hive::localMachine, layoutKey("E0500804"))->readOnly = true;
    addLayout("E0010804", "Locked IME");
    reg().find(Hive::localMachine, layoutKey("E0010804"))->readOnly = true;
    reg().make(Hive::localMachine, layoutKey("E0020804"));  // no layout text at all
    registerKeyboardLayout();
    expectOurEntry("E0030804");
    EXPECT_EQ(layoutValue("E0500804", "IME file"), "<missing>");
    EXPECT_EQ(layoutValue("E0010804", "layout text"), "Locked IME");
}

TEST_F(KeyboardLayout, OverlongAndOddSubkeyNamesAreHarmless) {
    addLayout(std::string(210, 'F'), "Odd");
    addLayout("FFFFF0804x", "Odd too");
    addLayout("123456789", "Nine digits");
    registerKeyboardLayout();
    expectOurEntry("E0010804");
}

TEST_F(KeyboardLayout, NoNumberLeftIsReportedNotWrapped) {
    addLayout("FFFF0804", "Last IME");
    registerKeyboardLayout();
    EXPECT_EQ(layoutIds().size(), 3u);
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl(Qolvane)");
}

TEST_F(KeyboardLayout, NineXFamilyWritesItsForms) {
    boot(sim::Os::xp32);
    m().ntFamily = false;
    addLayout("00000409", "US");
    setNineXPreload({"00000409"});
    registerKeyboardLayout();
    expectOurEntry("E0010804", gbkText, "kbdus.kbd");
    EXPECT_EQ(nineXPreload(), (std::vector<std::string>{"00000409", "E0010804"}));
}

TEST_F(KeyboardLayout, FailuresAreReportedInTheTextsOfTheFamily) {
    for (bool nineX : {false, true}) {
        boot(sim::Os::xp32);
        m().ntFamily = !nineX;
        standardLayouts();
        reg().find(Hive::localMachine, layoutsKey)->unreadable = true;
        registerKeyboardLayout();
        reg().find(Hive::localMachine, layoutsKey)->unreadable = false;
        reg().find(Hive::localMachine, layoutsKey)->readOnly = true;
        registerKeyboardLayout();

        ASSERT_EQ(m().messageBoxes.size(), 2u);
        EXPECT_EQ(sim::toGbk(m().messageBoxes[0].text),
                  nineX ? "Software open error1003" : adminNeeded);
        EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl");
        EXPECT_EQ(sim::toGbk(m().messageBoxes[1].text),
                  nineX ? "Software open error1004" : adminNeeded);
        EXPECT_EQ(m().messageBoxes[1].caption, u"智能Marl(Qolvane)");
        EXPECT_EQ(m().messageBoxes[1].type, 0u);
        EXPECT_EQ(layoutIds().size(), 2u);
        EXPECT_EQ(preload().size(), 2u);
    }
}

TEST_F(KeyboardLayout, UnopenablePreloadListIsReportedAndTheEntryStays) {
    reg().remove(Hive::currentUser, "keyboard layout");
    registerKeyboardLayout();
    expectOurEntry("E0010804");
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].text, u"Software open error2003");
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl(Qolvane)");
}

TEST_F(KeyboardLayout, ImmIsGivenTheSystemModuleAndTheWideText) {
    m().imm.acceptsModules = false;
    EXPECT_FALSE(installImeLayout());
    m().imm.acceptsModules = true;
    EXPECT_TRUE(installImeLayout());
    ASSERT_EQ(m().imm.installCalls.size(), 2u);
    EXPECT_EQ(m().imm.installCalls[0].imeFile, u"C:\\windows\\system32\\vornel4.ime");
    EXPECT_EQ(m().imm.installCalls[0].layoutText, u"智能Marl输入平台  9.0");

    // Even on a traditional machine IMM gets the simplified text.
    traditional();
    installImeLayout();
    EXPECT_EQ(m().imm.installCalls.back().layoutText, u"智能Marl输入平台  9.0");

    // A system directory beyond the 100-character buffer is not cut into another path.
    m().windowsDir = "C:\\" + std::string(100, 'w');
    EXPECT_FALSE(installImeLayout());
    EXPECT_EQ(m().imm.installCalls.size(), 3u);
}

namespace {

struct ImeFileCase {
    const char* id;
    const char* valueName;
    uint32_t type;
    std::string data;
    bool ours;
};

}  // namespace

TEST_F(KeyboardLayout, ProductLayoutsAreThoseWhoseImeFileIsOurModule) {
    const ImeFileCase cases[] = {
        {"E0010804", "IME file", 1, "VORNEL4.IME", true},
        {"E0020804", "Ime File", 1, std::string("vornel4.ime\0", 12), true},  // as IMM writes it
        {"e0030404", "IME FILE", 1, "Vornel4.Ime", true},
        {"E0040804", "Ime File", 1, "OTHER.IME", false},
        {"E0050804", "Ime File", 1, "VORNEL4.IME.OLD", false},
        {"E0060804", "Ime File", 1, "VORNEL4.IM", false},
        {"E0070804", "Ime File", 3, "VORNEL4.IME", false},          // binary: no text
        {"E0080804", "Ime File", 1, std::string(300, 'V'), false},  // longer than any name
        {"E0090804", "layout text", 1, "VORNEL4.IME", false},
        {"123456789A", "Ime File", 1, "VORNEL4.IME", false},  // no layout id
        // Some IMM implementations keep the module's whole path.
        {"E00B0804", "Ime File", 1, "C:\\windows\\system32\\vornel4.ime", true},
        {"E00C0804", "Ime File", 1, "C:\\vornel4.ime\\other.ime", false},
    };
    for (const ImeFileCase& c : cases)
        reg().setValue(Hive::localMachine, layoutKey(c.id), c.valueName, c.type, c.data);
    reg().setText(Hive::localMachine, layoutKey("E00A0804"), "Ime File", "VORNEL4.IME");
    reg().find(Hive::localMachine, layoutKey("E00A0804"))->unreadable = true;

    char ids[8][layoutIdCapacity];
    ASSERT_EQ(findProductLayouts(ids, 8), 4u);
    std::vector<std::string> found(ids, ids + 4);
    EXPECT_EQ(found, (std::vector<std::string>{"E0010804", "E0020804", "e0030404", "E00B0804"}));
    EXPECT_EQ(layoutIds().size(), std::size(cases) + 3);  // nothing touched

    // No more than the caller has room for.
    ASSERT_EQ(findProductLayouts(ids, 2), 2u);
    EXPECT_STREQ(ids[1], "E0020804");
    reg().find(Hive::localMachine, layoutsKey)->unreadable = true;
    EXPECT_EQ(findProductLayouts(ids, 8), 0u);
}

TEST_F(KeyboardLayout, RemovalDeletesOurLayoutsWithTheirSubkeysAndNamesThem) {
    reg().setText(Hive::localMachine, layoutKey("E0010804"), "IME file", "VORNEL4.IME");
    reg().make(Hive::localMachine, layoutKey("E0010804") + "\\Extra\\Deeper");
    reg().setText(Hive::localMachine, layoutKey("e0200804"), "Ime File", "vornel4.ime");
    reg().setText(Hive::localMachine, layoutKey("E0300804"), "Ime File", "OTHER.IME");

    char ids[4][layoutIdCapacity];
    size_t count = 9;
    EXPECT_EQ(removeKeyboardLayouts(ids, 4, &count), 2);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(std::vector<std::string>(ids, ids + 2),
              (std::vector<std::string>{"E0010804", "e0200804"}));
    EXPECT_EQ(layoutIds(), (std::vector<std::string>{"00000409", "00000804", "E0300804"}));

    EXPECT_EQ(removeKeyboardLayouts(ids, 4, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(layoutIds().size(), 3u);
}

TEST_F(KeyboardLayout, ALayoutThatCannotBeDeletedFailsAndTheOthersGo) {
    for (const char* id : {"E0010804", "E0020804", "E0030804"})
        reg().setText(Hive::localMachine, layoutKey(id), "Ime File", "VORNEL4.IME");
    reg().make(Hive::localMachine, layoutKey("E0020804") + "\\Locked").readOnly = true;
    char ids[1][layoutIdCapacity];
    size_t count = 0;
    EXPECT_EQ(removeKeyboardLayouts(ids, 1, &count), -1);
    // Only the deleted ones are named, as far as there is room.
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(ids[0], "E0010804");
    EXPECT_EQ(layoutIds(), (std::vector<std::string>{"00000409", "00000804", "E0020804"}));

    reg().remove(Hive::localMachine, layoutsKey);
    EXPECT_EQ(removeKeyboardLayouts(ids, 1, &count), 0);  // a machine without layouts
}
