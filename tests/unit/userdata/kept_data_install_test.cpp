// The wizard's install over a used earlier installation: backed up at window creation, the keep
// question answered, the pipeline run to its end.
#include <gtest/gtest.h>

#include <set>

#include "common/locations.h"
#include "programs/pipeline.h"
#include "programs/startup.h"
#include "programs/unattended.h"
#include "installation_builder.h"
#include "sim_fixture.h"
#include "userdata/backup.h"

namespace {

const std::string dir = "C:\\Program Files\\vornel8\\";
const plat::WindowHandle wizardWindow = reinterpret_cast<plat::WindowHandle>(0x1234);
const std::u16string keepHere = u"检测到安装目录下有智能Marl以前的词组等数据文件，是否保留？";
const std::u16string restored = u"成功恢复了25个原有数据文件！";
const std::u16string installed = u"安装完毕，如不能使用，请重新启动计算机！";
const std::set<std::string> copiedLibraries = {"vorncyzk.vrh", "vrszsj43.vrh", "cfontset.vrh",
                                               "cwbzlcz1.vrh", "vrwbcmxz.vrh", "vrdhzcm.vrh",
                                               "vorndhz.vrh",  "vrgbkhz.vrh"};

// Modules, the payload's own copies of the data files the input method learns into, and the
// rest of a complete install. Not the files the input method creates ("vrwbcmxz.vrh", ...).
std::vector<TestEntry> payloadEntries() {
    std::vector<TestEntry> entries;
    for (const char* name :
         {"vorn320.ime",  "vorn640.ime",  "vornel4.ime",  "vornsrf.dll",  "vornsrf6.dll",
          "csrf732.dll",  "csrf764.dll",  "vorndel8.exe", "vornqvtk.exe", "vrszsj43.vrh",
          "cfontset.vrh", "vorndhz.vrh",  "vorndwdw.txt", "vornzdym.vrh", "vrpyzdym.vrh",
          "vrwbpy.txt",   "vornynhz.txt", "vornzdfh.vrh", "ftvrzdym.txt", "cwb.ov1", "setupw64.exe"})
        entries.push_back({name, std::string("as shipped: ") + name});
    entries.push_back({"vorncyzk.bak", storedLibrary("中国; 人民; ")});
    std::vector<TestEntry> skin = {{"vrbmp8.vrh", std::string(4096, '\x01')}};
    for (int i = 1; i <= 7; ++i)
        skin.push_back({"vrbmpsx" + std::to_string(i) + ".bmp", "BM" + std::string(300, '\x40')});
    entries.push_back({"冷色瓷面.vrz", buildContainer(skin, true)});
    entries.push_back({"vrbmps44.bmp", "BM status"});
    for (const TestEntry& entry : completeInstallEntries()) entries.push_back(entry);
    return entries;
}

class KeptDataInstall : public SimTest {
protected:
    void TearDown() override {
        releasePayloadAndWorkBlock();
        SimTest::TearDown();
    }
    // Windows 7, 32-bit, TSF; the earlier installation in `earlier`, recorded in the path file;
    // then what window creation does: payload, work block, backup.
    void usedInstallation(const std::string& earlier) {
        boot(sim::Os::win7_32);
        payload_ = buildContainer(payloadEntries());
        m().resources["VRZ/QVTKVRZ"] = payload_;
        for (const TestEntry& entry : payloadEntries())
            m().writeFile(earlier + entry.name, entry.content);
        for (const auto& [name, content] : learnedFiles()) m().writeFile(earlier + name, content);
        m().writeFile("C:\\windows\\vornpat8.vrh", earlier);
        state.oemCodePage = 936;
        readPathFile(1);
        ASSERT_TRUE(preparePayloadAndFacts(nullptr));
        state.interfaceChoice = 1;
        state.wizardStarted = 1;
        ASSERT_EQ(backupUserData(), 1);
        state.backupState = 1;
        computeInstallDir();
    }
    std::vector<std::u16string> texts() {
        std::vector<std::u16string> all;
        for (const auto& box : m().messageBoxes) all.push_back(box.text);
        return all;
    }
    // Where a learnt file is after the restore: the libraries as their ".bak" copies.
    static std::string restoredName(const std::string& name) {
        return copiedLibraries.count(name) ? name.substr(0, name.size() - 4) + ".bak" : name;
    }
    std::string payload_;
};

}  // namespace

TEST_F(KeptDataInstall, KeptDataAreAllBackByteForByte) {
    usedInstallation(dir);
    m().answers = {plat::idYes};
    runInstallPipeline(wizardWindow);
    EXPECT_EQ(texts(), (std::vector<std::u16string>{keepHere, restored, installed}));
    // Under the names they were learnt in, and the libraries as their ".bak" copies too.
    for (const auto& [name, content] : learnedFiles()) {
        EXPECT_EQ(file(dir + restoredName(name)), content) << name;
        EXPECT_EQ(file(dir + name), content) << name;
    }
    // What the payload does not carry stays under its own name too.
    EXPECT_EQ(file(dir + "vrwbcmxz.vrh"), learnedFiles()[4].second);
    EXPECT_EQ(file(dir + "vrdhzcm.vrh"), learnedFiles()[5].second);
    EXPECT_EQ(file(dir + "vrszsj43.vrh"), learnedFiles()[1].second);
}

TEST_F(KeptDataInstall, DataNotKeptLeaveThePayloadsFilesAndTheBackup) {
    usedInstallation(dir);
    std::string backup = file(dir + "vornback.vrz");
    m().answers = {plat::idNo};
    runInstallPipeline(wizardWindow);
    EXPECT_EQ(texts(), (std::vector<std::u16string>{keepHere, installed}));
    for (const TestEntry& entry : payloadEntries()) {
        // Modules are placed by interface; the settings record is patched for this install.
        bool module = entry.name.find(".ime") != std::string::npos ||
                      entry.name.find(".dll") != std::string::npos;
        if (!module && entry.name != "vrszsj43.vrh") {
            EXPECT_EQ(file(dir + entry.name), entry.content) << entry.name;
        }
    }
    EXPECT_EQ(file(dir + "vornback.vrz"), backup);
    EXPECT_EQ(readContainer(backup).size(), 25u);
}

TEST_F(KeptDataInstall, KeptDataFollowTheUserToTheNewDirectory) {
    const std::string earlier = "D:\\Apps\\vornel8\\";
    usedInstallation(earlier);
    m().answers = {plat::idYes};
    runInstallPipeline(wizardWindow);
    EXPECT_EQ(texts(),
              (std::vector<std::u16string>{u"检测到有智能Marl以前的词组等数据文件，是否保留？",
                                           restored, installed}));
    for (const auto& [name, content] : learnedFiles()) {
        EXPECT_EQ(file(dir + restoredName(name)), content) << name;
        EXPECT_EQ(file(earlier + name), content) << name;  // the earlier installation is untouched
    }
}

TEST_F(KeptDataInstall, SilentReinstallKeepsTheLearntDataWithoutABox) {
    // The second time with a Pinyin library larger than a restore unpacks: it is not packed,
    // and the install leaves it where it is rather than put the payload's over it.
    for (bool tooLarge : {false, true}) {
        boot(sim::Os::win7_32);
        m().resources["VRZ/QVTKVRZ"] = buildContainer(payloadEntries());
        for (const TestEntry& entry : payloadEntries()) m().writeFile(dir + entry.name, entry.content);
        auto learned = learnedFiles();
        if (tooLarge) learned.back().second = std::string(learnedFileSizeLimit + 1, 'p');
        for (const auto& [name, content] : learned) m().writeFile(dir + name, content);
        m().writeFile("C:\\windows\\vornpat8.vrh", dir);
        EXPECT_EQ(runSetup(nullptr, nullptr, "setvrsrf32", 1), 0) << tooLarge;
        endUnattended();
        EXPECT_TRUE(m().messageBoxes.empty()) << tooLarge;
        std::vector<std::u16string> said;
        for (const UnattendedMessage& message : unattendedMessages()) said.push_back(message.text);
        EXPECT_EQ(said, (std::vector<std::u16string>{keepHere, tooLarge ? u"成功恢复了24个原有数据文件！" : restored}));
        EXPECT_EQ(unattendedMessages()[0].answer, plat::idYes);
        for (const auto& [name, content] : learned) EXPECT_EQ(file(dir + restoredName(name)), content) << name;
        EXPECT_EQ(readContainer(file(dir + "vornback.vrz")).size(), tooLarge ? 24u : 25u);
    }
}
