#include "registration/system_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/install_state.h"
#include "common/text.h"
#include "platform/sim/machine.h"
#include "sim_fixture.h"

namespace {

using sim::Hive;
using sim::View;

const std::string uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string userAgent =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent";
const std::string postPlatform = userAgent + "\\Post Platform";

// UTF-16LE bytes of a text, as the registry stores a wide REG_SZ.
std::string utf16(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

class SystemEntries : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        reg().make(Hive::localMachine, uninstall);
        reg().make(Hive::localMachine, run);
        reg().make(Hive::localMachine, userAgent);
    }
    void TearDown() override {
        EXPECT_EQ(reg().openHandles(), 0u);
        SimTest::TearDown();
    }
    sim::Registry& reg() { return m().registry; }
};

}  // namespace

TEST_F(SystemEntries, UninstallEntryIsWideAndExact) {
    writeUninstallEntry();
    auto name = reg().value(Hive::localMachine, uninstall + "\\vornqwb8", "DisplayName");
    auto command = reg().value(Hive::localMachine, uninstall + "\\vornqwb8", "UninstallString");
    ASSERT_TRUE(name && command);
    EXPECT_EQ(name->type, 1u);
    EXPECT_EQ(name->data, utf16(u"智能Marl8"));
    EXPECT_EQ(name->data.size(), 14u);
    EXPECT_EQ(command->data, utf16(u"C:\\windows\\vorndel8.exe"));
    // The 32-bit setup's entry lives in the 32-bit view of a 64-bit Windows.
    EXPECT_TRUE(reg().exists(Hive::localMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\"
                             "CurrentVersion\\Uninstall\\vornqwb8", View::native));
}

TEST_F(SystemEntries, SecondInstallOverwritesTheSameEntry) {
    reg().setText(Hive::localMachine, uninstall + "\\vornqwb8", "DisplayName", "old");
    reg().setText(Hive::localMachine, uninstall + "\\vornqwb8", "InstallLocation", "D:\\x");
    copyText(state.installDir, "C:\\Program Files\\vornel8\\");
    writeUninstallEntry();
    writeUninstallEntry();
    EXPECT_EQ(reg().subkeyNames(Hive::localMachine, uninstall),
              std::vector<std::string>{"vornqwb8"});
    EXPECT_EQ(reg().text(Hive::localMachine, uninstall + "\\vornqwb8", "DisplayName"),
              utf16(u"智能Marl8"));
    EXPECT_EQ(reg().valueNames(Hive::localMachine, uninstall + "\\vornqwb8").size(), 11u);
    EXPECT_EQ(reg().text(Hive::localMachine, uninstall + "\\vornqwb8", "InstallLocation"),
              state.installDir);
}

namespace {

std::string dword(uint32_t n) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((n >> (8 * i)) & 0xFF);
    return bytes;
}

struct StoredValue {
    const char* name;
    uint32_t type;
    std::string data;
};

}  // namespace

TEST_F(SystemEntries, CompleteUninstallEntryForWindowsListOfPrograms) {
    copyText(state.installDir, "C:\\Program Files (x86)\\vornel8\\");
    const std::string dir = state.installDir;
    m().writeFile(dir + "vornqvtk.exe", std::string(1000, 'a'));
    m().writeFile(dir + "vrspeeke.txt", std::string(2072, 'b'));
    m().writeFile(dir + "skins\\cool.vrz", std::string(1000, 'c'));
    m().writeFile("C:\\windows\\vorndel8.exe", std::string(24, 'd'));
    m().writeFile("C:\\windows\\syswow64\\vornsrf.dll", "e");
    m().redirectionDisabled = true;
    m().writeFile("C:\\windows\\system32\\vornsrf6.dll", std::string(1024, 'f'));
    m().writeFile("C:\\windows\\system32\\kbdus.dll", std::string(5000, 'g'));  // not ours
    m().redirectionDisabled = false;
    writeUninstallEntry();

    // 3072 + 1000 + 24 + 1 + 1024 bytes: 5121, 6 KB rounded up.
    const StoredValue expected[] = {
        {"DisplayName", 1, utf16(u"智能Marl8")},
        {"UninstallString", 1, utf16(u"C:\\windows\\vorndel8.exe")},
        {"DisplayVersion", 1, utf16(u"9.0")},
        {"Publisher", 1, utf16(u"Vornel 智能Marl软件")},
        {"DisplayIcon", 1, utf16(u"C:\\windows\\vorndel8.exe,0")},
        {"InstallLocation", 1, dir},
        {"EstimatedSize", 4, dword(6)},
        {"QuietUninstallString", 1, utf16(u"\"C:\\windows\\vorndel8.exe\" /S")},
        {"URLInfoAbout", 1, utf16(u"http://www.vornel.com")},
        {"NoModify", 4, dword(1)},
        {"NoRepair", 4, dword(1)},
    };
    const std::string entry = uninstall + "\\vornqwb8";
    EXPECT_EQ(reg().valueNames(Hive::localMachine, entry).size(), std::size(expected));
    for (const StoredValue& v : expected) {
        auto stored = reg().value(Hive::localMachine, entry, v.name);
        ASSERT_TRUE(stored) << v.name;
        EXPECT_EQ(stored->type, v.type) << v.name;
        EXPECT_EQ(stored->data, v.data) << v.name;
    }
    EXPECT_FALSE(m().redirectionDisabled);

    // On 32-bit Windows the system directory's modules count once.
    boot(sim::Os::xp32);
    reg().make(Hive::localMachine, uninstall);
    m().writeFile("C:\\windows\\system32\\vornel4.ime", std::string(2049, 'h'));
    writeUninstallEntry();
    EXPECT_EQ(reg().text(Hive::localMachine, entry, "EstimatedSize"), dword(3));
}

TEST_F(SystemEntries, TheRepairIsOfferedExactlyWhenItsProgramIsThere) {
    copyText(state.installDir, "C:\\Program Files\\vornel8\\");
    const std::string entry = uninstall + "\\vornqwb8";
    // Placed, not placed, placed again: the entry follows, nothing of the other state stays.
    for (bool placed : {true, false, true}) {
        writeUninstallEntry(placed);
        EXPECT_EQ(reg().text(Hive::localMachine, entry, "ModifyPath"),
                  placed ? "\"C:\\Program Files\\vornel8\\vornsetup.exe\" /REPAIR" : "<missing>");
        EXPECT_EQ(reg().text(Hive::localMachine, entry, "NoRepair"), placed ? "<missing>" : dword(1));
        EXPECT_EQ(reg().text(Hive::localMachine, entry, "NoModify"), placed ? "<missing>" : dword(1));
    }
}

TEST_F(SystemEntries, RemovalTakesOnlyTheProductsEntries) {
    writeUninstallEntry();
    writeRunValue("C:\\x\\vornqvtk.exe vr");
    writeUserAgentMarker();
    reg().setText(Hive::localMachine, run, "Other", "keep");
    reg().setText(Hive::localMachine, postPlatform, "qvtk7510", "");
    reg().setText(Hive::localMachine, postPlatform, "SLCC2", "");
    reg().make(Hive::localMachine, uninstall + "\\OtherProduct");
    // The 64-bit companion's settings, in the native view only.
    reg().setText(Hive::localMachine, "SOFTWARE\\vornel8", "InstallDir", "C:\\x\\", sim::View::native);
    reg().make(Hive::localMachine, "SOFTWARE\\vornel8x", sim::View::native);
    EXPECT_TRUE(uninstallEntryExists());

    EXPECT_EQ(removeSystemEntries(), 4);
    EXPECT_FALSE(reg().exists(Hive::localMachine, "SOFTWARE\\vornel8", sim::View::native));
    EXPECT_TRUE(reg().exists(Hive::localMachine, "SOFTWARE\\vornel8x", sim::View::native));
    EXPECT_FALSE(uninstallEntryExists());
    EXPECT_EQ(reg().subkeyNames(Hive::localMachine, uninstall),
              std::vector<std::string>{"OtherProduct"});
    EXPECT_EQ(reg().valueNames(Hive::localMachine, run), std::vector<std::string>{"Other"});
    EXPECT_EQ(reg().valueNames(Hive::localMachine, postPlatform),
              (std::vector<std::string>{"qvtk7510", "SLCC2"}));
    EXPECT_EQ(removeSystemEntries(), 0);
}

TEST_F(SystemEntries, AValueThatCannotBeRemovedFailsAndTheOthersGo) {
    writeUninstallEntry();
    writeRunValue("C:\\x\\vornqvtk.exe vr");
    writeUserAgentMarker();
    reg().find(Hive::localMachine, run)->readOnly = true;
    EXPECT_EQ(removeSystemEntries(), -1);
    EXPECT_TRUE(uninstallEntryExists());  // for another run of the uninstaller
    EXPECT_EQ(reg().text(Hive::localMachine, postPlatform, "qvtk8800"), "<missing>");
    EXPECT_EQ(reg().text(Hive::localMachine, run, "vrvksjgl"), "C:\\x\\vornqvtk.exe vr");
    // A locked key without our value is nothing to do: the entry goes then.
    reg().find(Hive::localMachine, run)->values.clear();
    EXPECT_EQ(removeSystemEntries(), 1);
    EXPECT_FALSE(uninstallEntryExists());
}

TEST_F(SystemEntries, UninstallEntryIsWrittenWholeOrReportedNotWritten) {
    // The list of programs' key is made when a damaged registry lacks it.
    reg().remove(Hive::localMachine, uninstall);
    EXPECT_TRUE(writeUninstallEntry());
    EXPECT_NE(reg().text(Hive::localMachine, uninstall + "\\vornqwb8", "UninstallString"), "<missing>");
    // A Windows directory too long for the commands leaves the entry without them: not written.
    reg().remove(Hive::localMachine, uninstall);
    m().windowsDir = "C:\\" + std::string(100, 'w');
    EXPECT_FALSE(writeUninstallEntry());
    EXPECT_EQ(reg().text(Hive::localMachine, uninstall + "\\vornqwb8", "UninstallString"),
              "<missing>");
}

TEST_F(SystemEntries, RunValueIsReplacedWithTheCommand) {
    reg().setText(Hive::localMachine, run, "vrvksjgl", "C:\\old\\vornqvtk.exe vr");
    reg().setText(Hive::localMachine, run, "Other", "keep");
    writeRunValue("C:\\Program Files\\vornel8\\vornqvtk.exe vr");
    auto value = reg().value(Hive::localMachine, run, "vrvksjgl");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, 1u);
    EXPECT_EQ(value->data, "C:\\Program Files\\vornel8\\vornqvtk.exe vr");
    EXPECT_EQ(reg().text(Hive::localMachine, run, "Other"), "keep");

    reg().remove(Hive::localMachine, "Software\\Microsoft\\Windows\\CurrentVersion");
    writeRunValue("x");
    EXPECT_FALSE(reg().exists(Hive::localMachine, run));
}

TEST_F(SystemEntries, MarkerReplacesEveryEarlierVersionsOnly) {
    std::vector<std::string> ours;
    for (int v = 63; v <= 68; ++v) ours.push_back("qvtk" + std::to_string(v) + "00");
    for (int v = 70; v <= 89; ++v) ours.push_back("qvtk" + std::to_string(v) + "00");
    ASSERT_EQ(ours.size(), 26u);
    for (const std::string& name : ours) reg().setText(Hive::localMachine, postPlatform, name, "");
    for (const char* name : {"qvtk7510", "qvtk6200", "qvtk9000", "SLCC2"})
        reg().setText(Hive::localMachine, postPlatform, name, "");
    reg().setText(Hive::localMachine, postPlatform, "qvtk8800", "stale data");

    writeUserAgentMarker();
    EXPECT_EQ(reg().valueNames(Hive::localMachine, postPlatform),
              (std::vector<std::string>{"qvtk6200", "qvtk7510", "qvtk8800", "qvtk9000", "SLCC2"}));
    auto marker = reg().value(Hive::localMachine, postPlatform, "qvtk8800");
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->type, 1u);
    EXPECT_EQ(marker->data.size(), 0u);
}

TEST_F(SystemEntries, MarkerNeedsAWritableUserAgentKey) {
    reg().find(Hive::localMachine, userAgent)->readOnly = true;
    writeUserAgentMarker();
    EXPECT_FALSE(reg().exists(Hive::localMachine, postPlatform));
    reg().remove(Hive::localMachine, userAgent);
    writeUserAgentMarker();
    EXPECT_FALSE(reg().exists(Hive::localMachine, userAgent));
}
