#include "settings/settings_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "common/locations.h"
#include "platform/files.h"
#include "sim_fixture.h"

namespace {

const std::string dir = "C:\\Program Files\\vornel8\\";
const std::string networkText =
    "VRNETURL1=\r\nVRNETURL2=\r\nVRNETTIME=1\r\nVRBJTIME=7\r\nVRWYTIME=3\r\nVRSJOFF=0\r\n"
    "VRNETTIME0=0\r\nVRBJTIME0=0\r\nVRNEONE=1\r\n";

class SettingsFiles : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        prepare();
    }
    void prepare() {
        computeInstallDir();
        m().makeDirectories(dir);
    }
};

// The record with these bytes changed.
std::string changed(std::string record, const std::map<size_t, int>& changes) {
    for (const auto& [offset, value] : changes) record[offset] = static_cast<char>(value);
    return record;
}

// The payload's record: bytes 100 to 199, none of them a value the install writes.
std::string payloadRecord() {
    std::string record(200, '\0');
    for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<char>(100 + i % 100);
    return record;
}

}  // namespace

TEST_F(SettingsFiles, EditionFlagNetworkTextBlockAndUserRecord) {
    for (size_t i = 0; i < userRecordSize; ++i)
        state.userRecord[i] = static_cast<char>(1 + i % 250);
    std::string record(state.userRecord, userRecordSize);
    m().writeFile(dir + "vryhgl0.dat", std::string(600, 'o'));  // an older, longer one
    writeSettingsFiles();
    EXPECT_EQ(file(dir + "wbpybz.vrh"), std::string("VRWBPYBZ=0\0", 11));
    EXPECT_EQ(file(dir + "vrnetsj.dat"), networkText);
    EXPECT_EQ(networkText.size(), 110u);
    // The block is written before the text is composed: all zero on the first call.
    EXPECT_EQ(file(dir + "vorndat.dat"), std::string(1000, '\0'));
    EXPECT_EQ(file(dir + "vryhgl0.dat"), record.replace(188, 4, std::string(4, '\0')));

    state.editionChoice = 1;
    writeSettingsFiles();
    EXPECT_EQ(file(dir + "wbpybz.vrh"), std::string("VRWBPYBZ=1\0", 11));
    EXPECT_EQ(file(dir + "vorndat.dat"),
              std::string(300, '\0') + networkText + std::string(590, '\0'));
    EXPECT_EQ(file(dir + "vrnetsj.dat"), networkText);
}

TEST_F(SettingsFiles, InputSettingsForEachEditionCodePageAndWindowMode) {
    // Window mode: bytes 0 and 21.
    const std::map<int, std::pair<int, int>> modes = {
        {1, {0, 0}}, {2, {1, 0}}, {3, {4, 1}}, {4, {3, 1}}};
    for (uint32_t edition : {0u, 1u}) {
        for (unsigned codePage : {936u, 950u}) {
            for (const auto& [mode, bytes] : modes) {
                boot(sim::Os::win10_64);
                prepare();
                m().writeFile(dir + "vrszsj43.vrh", payloadRecord());
                state.editionChoice = edition;
                state.oemCodePage = codePage;
                state.windowModeChoice = static_cast<uint8_t>(mode);
                patchInputSettings();
                std::map<size_t, int> expected = {{62, 0},          {63, 0},           {1, 1},
                                                  {43, 1},          {54, 0},           {36, 1},
                                                  {0, bytes.first}, {21, bytes.second}};
                if (codePage == 950) expected[15] = 1;
                if (edition == 1) {
                    for (size_t at : {19, 25, 27, 42, 64, 70, 72}) expected[at] = 1;
                    for (size_t at :
                         {22, 28, 29, 30, 31, 32, 33, 34, 35, 36, 54, 66, 67, 68, 69, 75})
                        expected[at] = 0;
                    expected[80] = 10;
                }
                EXPECT_EQ(file(dir + "vrszsj43.vrh"), changed(payloadRecord(), expected))
                    << "edition " << edition << " code page " << codePage << " mode " << mode;
            }
        }
    }
}

TEST_F(SettingsFiles, KeptDataLeaveTheRecordAloneUnwritableStaysAsItWas) {
    m().writeFile(dir + "vrszsj43.vrh", "the user's own record");
    state.backupState = 2;
    patchInputSettings();
    EXPECT_EQ(file(dir + "vrszsj43.vrh"), "the user's own record");
    state.backupState = 1;
    m().denyWrite(dir + "vrszsj43.vrh");
    patchInputSettings();
    EXPECT_EQ(file(dir + "vrszsj43.vrh"), "the user's own record");
}

TEST_F(SettingsFiles, MissingOrShortRecordStartsFromTheDefaultImage) {
    std::string image = changed(std::string(200, '\0'), {{8, 54},
                                                         {9, 1},
                                                         {10, 1},
                                                         {12, 1},
                                                         {15, 1},
                                                         {19, 1},
                                                         {22, 1},
                                                         {24, 1},
                                                         {27, 1},
                                                         {36, 1},
                                                         {41, 1},
                                                         {42, 1},
                                                         {43, 1},
                                                         {54, 1},
                                                         {58, 1}});
    // The Wubi edition, a two-line window, code page 936.
    std::map<size_t, int> patches = {{0, 0}, {1, 1}, {36, 1}, {43, 1}, {54, 0}};
    patchInputSettings();
    EXPECT_EQ(file(dir + "vrszsj43.vrh"), changed(image, patches));

    // A short file gives what it holds; the default image the rest.
    boot(sim::Os::win10_64);
    prepare();
    m().writeFile(dir + "vrszsj43.vrh", std::string(10, '\x05'));
    patchInputSettings();
    EXPECT_EQ(file(dir + "vrszsj43.vrh"),
              changed(std::string(10, '\x05') + image.substr(10), patches));
}

TEST_F(SettingsFiles, StampSkinsAndAMissingDirectory) {
    m().tickCount = 0x80000005u;  // about 24.8 days of uptime
    writeInstallStamp();
    EXPECT_EQ(file(dir + "install.vrh"), "-2147483643");

    m().writeFile(dir + "vrbmp8.vrh", "b");
    for (int i = 1; i <= 7; ++i) m().writeFile(dir + "VRBMPSX" + std::to_string(i) + ".BMP", "b");
    EXPECT_EQ(skinInstalled(), 1);
    plat::deleteFile((dir + "vrbmpsx7.bmp").c_str());
    EXPECT_EQ(skinInstalled(), 0);

    // On a first install the wizard's early call finds no directory: nothing, silently.
    boot(sim::Os::win7_32);
    writeSettingsFiles();
    patchInputSettings();
    EXPECT_FALSE(m().exists(dir));
    EXPECT_TRUE(m().messageBoxes.empty());
}
