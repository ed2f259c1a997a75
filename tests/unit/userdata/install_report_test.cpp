#include "userdata/install_report.h"

#include <gtest/gtest.h>

#include "common/locations.h"
#include "installation_builder.h"
#include "platform/files.h"
#include "platform/system.h"
#include "sim_fixture.h"

namespace {

const std::string dir = "C:\\Program Files\\vornel8\\";
const std::string icaclsQuery =
    "C:\\windows\\system32\\cmd.exe /c \"\"C:\\windows\\system32\\icacls.exe\" \"C:\\Program "
    "Files\\vornel8\"\"";

std::u16string report(const std::u16string& fault) {
    return u"智能Marl汉字输入系统9.0版安装情况报告。\r\n\r\n安装出现错误！错误为：" + fault +
           u"\r\n\r\n请到主页www.vornel.com重新下载安装！并解除杀毒软件对安装过程的拦截！\r\n\r\n";
}

class Report : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        prepare();
    }
    // 74 files: both modules, both libraries and 70 others; Windows 10 with full access.
    void prepare() {
        computeInstallDir();
        m().writeFile(dir + "vornsrf6.dll", std::string(20, 'M'));
        m().writeFile(dir + "vornel4.ime", std::string(20, 'M'));
        for (const TestEntry& entry : completeInstallEntries())
            m().writeFile(dir + entry.name, entry.content);
        state.windows10 = 1;
        m().commandOutputs[icaclsQuery] =
            "APPLICATION PACKAGE AUTHORITY\\ALL APPLICATION PACKAGES:(OI)(CI)(F)";
    }
    // The report shown, or "" when installReport found nothing (and showed nothing).
    std::u16string run() {
        size_t before = m().messageBoxes.size();
        int result = installReport();
        EXPECT_EQ(m().messageBoxes.size(), before + result);
        return result == 0 ? u"" : m().messageBoxes.back().text;
    }
    void remove(const std::string& name) { plat::deleteFile((dir + name).c_str()); }
};

}  // namespace

TEST_F(Report, CompleteInstallationShowsNothingSeventyThreeFilesAreIncomplete) {
    EXPECT_EQ(run(), u"");
    remove("blank.jpg");
    m().makeDirectories(dir + "blank.jpg");  // a directory does not count
    remove("vornel4.ime");                    // and only the first fault is named
    EXPECT_EQ(run(), report(u"文件不完整！"));
    EXPECT_EQ(m().messageBoxes.back().caption, u"智能Marl");
}

TEST_F(Report, EachLibraryIsFoundByAnyOfItsThreeNamesAndTwentyBytes) {
    m().writeFile(dir + "filler.vrh", "keeps the count at 74");
    for (const char* stem : {"vorncyzk", "vornpyck"}) {
        std::u16string fault =
            std::string(stem) == "vorncyzk" ? u"无五笔词库文件！" : u"无拼音词库文件！";
        std::string library = file(dir + stem + ".vrh");
        remove(std::string(stem) + ".vrh");
        EXPECT_EQ(run(), report(fault)) << stem;
        for (const char* extension : {".vrh", ".bak", ".dat"}) {
            m().writeFile(dir + stem + extension, std::string(19, 'x'));  // too short
            EXPECT_EQ(run(), report(fault)) << stem << extension;
            m().writeFile(dir + stem + extension, std::string(20, 'x'));
            EXPECT_EQ(run(), u"") << stem << extension;
            remove(std::string(stem) + extension);
        }
        m().writeFile(dir + stem + ".vrh", library);
    }
}

TEST_F(Report, ModuleIsLookedForByInterfaceWhateverTheBitness) {
    boot(sim::Os::win7_32);
    prepare();
    remove("vornsrf6.dll");
    m().writeFile(dir + "other.dll", "keeps the count");
    state.interfaceChoice = 1;
    EXPECT_EQ(run(), report(u"缺少文件！"));
    state.interfaceChoice = 0;
    EXPECT_EQ(run(), u"");
}

TEST_F(Report, AccessIsAFaultOnlyOnWindowsTen) {
    m().commandOutputs[icaclsQuery] =
        "APPLICATION PACKAGE AUTHORITY\\ALL APPLICATION PACKAGES:(OI)(CI)(RX)";
    EXPECT_EQ(run(), report(u"安装目录权限不够，如不能使用请删除后重新安装！！"));
    m().capturedCommands.clear();
    state.windows10 = 0;
    EXPECT_EQ(run(), u"");
    EXPECT_TRUE(m().capturedCommands.empty());  // icacls is not even asked
}

TEST_F(Report, ScanCountsFilesByNameInEightBitsAndStaysInTheDirectory) {
    boot(sim::Os::win10_64);
    InstallDirCounts none = scanInstallDir();  // no directory yet
    EXPECT_EQ(none.txt + none.vrh + none.other, 0);
    for (const char* name : {"a.txt", "B.TXT", "notes.txt.bak", "c.vrh", "D.VRH", "e.dll", "f"})
        m().writeFile(dir + name, "x");
    m().makeDirectories(dir + "sub.txt");
    InstallDirCounts counts = scanInstallDir();
    EXPECT_EQ(counts.txt, 3);
    EXPECT_EQ(counts.vrh, 2);
    EXPECT_EQ(counts.other, 2);
    char current[260];
    plat::getCurrentDirectory(current, sizeof current);
    EXPECT_STREQ(current, "C:\\Program Files\\vornel8");
    for (int i = 0; i < 260; ++i) m().writeFile(dir + "n" + std::to_string(i) + ".txt", "");
    EXPECT_EQ(scanInstallDir().txt, 263 % 256);

    uint8_t head[headSize];
    EXPECT_EQ(readHead("missing.dll", head), plat::errorFileNotFound);
    m().writeFile(dir + "short.dll", "12345");
    EXPECT_EQ(readHead("short.dll", head) / 256, 5u);
}
