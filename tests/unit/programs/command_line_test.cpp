#include "programs/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    const char* commandLine;
    bool silent;
    bool log;
    const char* logPath;
    std::vector<std::string> unknown;
};

}  // namespace

TEST(CommandLine, SwitchesAreWholeTokensAndTheWordsKeepTheirMeaning) {
    const Case cases[] = {
        {"", false, false, "", {}},
        {"/S", true, false, "", {}},
        {"/s", true, false, "", {}},
        {"/VerySilent", true, false, "", {}},
        {"SETVRSRF32", true, false, "", {}},
        {"xsetvrsrf32y", true, false, "", {}},  // the word anywhere, as it always was
        // The wizard is forced by the word, whatever else asks for silence.
        {"/S regvr32", false, false, "", {}},
        {"setvrsrf32 regvr32=c:\\", false, false, "", {}},
        // A path that happens to hold "/s" selects nothing.
        {"/LOG=C:\\logs/setup.log", false, true, "C:\\logs/setup.log", {}},
        {"/LOG=\"C:\\Program Files\\部署 日志\\setup.log\" /S", true, true,
         "C:\\Program Files\\部署 日志\\setup.log", {}},
        {"\"/LOG=C:\\a b\\c.log\" setvrsrf32", true, true, "C:\\a b\\c.log", {}},
        {"/log", false, true, "", {}},
        {"/LOG= /S", true, true, "", {}},
        // Other installers' switches: silent as /S, or taken and changing nothing.
        {"/Silent /X=1", true, false, "", {"/X=1"}},
        {"/QUIET", true, false, "", {}},
        {"-s", true, false, "", {}},
        {"--S -SILENT", false, false, "", {}},
        {"/SUPPRESSMSGBOXES /norestart", false, false, "", {}},
        {"/SS", false, false, "", {"/SS"}},
    };
    for (const Case& c : cases) {
        SetupCommandLine parsed = parseCommandLine(c.commandLine);
        EXPECT_EQ(parsed.silent, c.silent) << c.commandLine;
        EXPECT_EQ(parsed.logRequested, c.log) << c.commandLine;
        EXPECT_STREQ(parsed.logPath, c.logPath) << c.commandLine;
        std::vector<std::string> unknown(parsed.unknown, parsed.unknown + parsed.unknownCount);
        EXPECT_EQ(unknown, c.unknown) << c.commandLine;
    }
    // A log path longer than a path can be is no log: the switch is named as ignored, cut.
    std::string longSwitch = "/LOG=C:\\" + std::string(300, 'x') + ".log";
    SetupCommandLine parsed = parseCommandLine(("/S \"" + longSwitch + "\"").c_str());
    EXPECT_TRUE(parsed.silent);
    EXPECT_FALSE(parsed.logRequested);
    ASSERT_EQ(parsed.unknownCount, 1u);
    EXPECT_EQ(std::string(parsed.unknown[0]), longSwitch.substr(0, switchCapacity - 1));
}

// The silent run's interface and edition, and the help: a value not taken makes the line invalid.
TEST(CommandLine, ChoicesTakeTheirValuesOnly) {
    struct Choice {
        const char* commandLine;
        int interfaceChoice, editionChoice;
        const char* invalid;
        bool help;
    };
    const Choice cases[] = {
        {"/S", -1, -1, "", false},
        {"/S /INTERFACE=TSF /EDITION=PINYIN", 1, 1, "", false},
        {"/interface=ime /Edition=Wubi", 0, 0, "", false},
        {"/INTERFACE=TSF2 /EDITION=PINYIN", -1, 1, "/INTERFACE=TSF2", false},
        {"/EDITION= /INTERFACE=", -1, -1, "/EDITION=", false},
        {"/INTERFACE", -1, -1, "", false},  // no value at all: an unknown switch
        {"/?", -1, -1, "", true},
        {"/S /help", -1, -1, "", true},
    };
    for (const Choice& c : cases) {
        SetupCommandLine parsed = parseCommandLine(c.commandLine);
        EXPECT_EQ(parsed.interfaceChoice, c.interfaceChoice) << c.commandLine;
        EXPECT_EQ(parsed.editionChoice, c.editionChoice) << c.commandLine;
        EXPECT_STREQ(parsed.invalid, c.invalid) << c.commandLine;
        EXPECT_EQ(parsed.help, c.help) << c.commandLine;
    }
}

TEST(CommandLine, RemoveDataIsTheUninstallersWholeSwitch) {
    const std::pair<const char*, bool> cases[] = {
        {"/S /REMOVEDATA", true}, {"/removedata", true}, {"/REMOVEDATA=1", false}, {"/S", false},
        {"\"/REMOVE DATA\"", false}};
    for (const auto& [commandLine, removeData] : cases)
        EXPECT_EQ(parseCommandLine(commandLine).removeData, removeData) << commandLine;
}

TEST(CommandLine, CheckAndRepairAreWholeSwitches) {
    struct Maintenance {
        const char* commandLine;
        bool check, repair, silent;
    };
    const Maintenance cases[] = {
        {"/CHECK", true, false, false},       {"/check /s", true, false, true},
        {"/Repair", false, true, false},      {"/REPAIR /VERYSILENT", false, true, true},
        {"setvrsrf32 /REPAIR", false, true, true},
        // Asked for both, only the check runs: it changes nothing.
        {"/REPAIR /CHECK", true, false, false},
        {"/CHECKS", false, false, false},     {"/REPAIR=1", false, false, false},
        {"\"/CHECK \"", false, false, false}, {"x/CHECK", false, false, false},
    };
    for (const Maintenance& c : cases) {
        SetupCommandLine parsed = parseCommandLine(c.commandLine);
        EXPECT_EQ(parsed.check, c.check) << c.commandLine;
        EXPECT_EQ(parsed.repair, c.repair) << c.commandLine;
        EXPECT_EQ(parsed.silent, c.silent) << c.commandLine;
    }
}
