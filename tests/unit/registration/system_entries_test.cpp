#include "registration/system_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    writeUninstallEntry();
    writeUninstallEntry();
    EXPECT_EQ(reg().subkeyNames(Hive::localMachine, uninstall),
              std::vector<std::string>{"vornqwb8"});
    EXPECT_EQ(reg().text(Hive::localMachine, uninstall + "\\vornqwb8", "DisplayName"),
              utf16(u"智能Marl8"));
    EXPECT_EQ(reg().valueNames(Hive::localMachine, uninstall + "\\vornqwb8").size(), 3u);
}

TEST_F(SystemEntries, UninstallEntryNeedsItsParentAndTheWindowsDirectory) {
    reg().remove(Hive::localMachine, uninstall);
    writeUninstallEntry();
    EXPECT_FALSE(reg().exists(Hive::localMachine, uninstall));

    reg().make(Hive::localMachine, uninstall);
    m().windowsDir = "C:\\" + std::string(100, 'w');
    writeUninstallEntry();
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
