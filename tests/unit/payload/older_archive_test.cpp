#include "payload/older_archive.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/install_state.h"
#include "common/text.h"
#include "payload/archive.h"
#include "payload/extraction.h"
#include "sim_fixture.h"

namespace {

class OlderArchive : public SimTest {
protected:
    static uint32_t le32(const std::string& c, size_t at) {
        return readLe32(reinterpret_cast<const uint8_t*>(c.data()) + at);
    }

    // What the setup's read walk finds: names and inflated contents.
    static std::vector<std::pair<std::string, std::string>> walked(const std::string& c) {
        std::vector<std::pair<std::string, std::string>> found;
        ArchiveWalk walk(reinterpret_cast<const uint8_t*>(c.data()), c.size());
        ArchiveEntry entry;
        while (walk.next(entry)) {
            EXPECT_FALSE(entry.currentLayout);
            char name[100];
            EXPECT_TRUE(entryName(entry, name, sizeof name));
            std::string content(1 << 20, '\0');
            uint32_t length =
                inflateEntry(entry, reinterpret_cast<uint8_t*>(content.data()), content.size());
            content.resize(length);
            found.emplace_back(name, content);
        }
        EXPECT_FALSE(walk.stoppedEarly());
        return found;
    }
};

}  // namespace

TEST_F(OlderArchive, EntriesAreWalkedInOrderWithTwentyByteHeaders) {
    std::mt19937 random(3);
    std::string noise(20000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    m().writeFile("C:\\skin\\vrbmp8.vrh", std::string(4096, '\x11'));
    m().writeFile("C:\\skin\\vrbmpsx1.bmp", noise);
    m().writeFile("C:\\skin\\冷色.bmp", "GBK name");
    ASSERT_EQ(appendOlderEntry("C:\\s.vrz", "C:\\skin\\vrbmp8.vrh"), 1);
    ASSERT_EQ(appendOlderEntry("C:\\s.vrz", "C:\\skin\\vrbmpsx1.bmp"), 1);
    ASSERT_EQ(appendOlderEntry("C:\\s.vrz", "C:\\skin\\冷色.bmp"), 1);

    std::string c = file("C:\\s.vrz");
    EXPECT_EQ(c.substr(0, 2), "CH");
    EXPECT_EQ(le32(c, 2), c.size());
    EXPECT_EQ(le32(c, 6), 3u);
    // First header: tag, name in its 14-byte field, length, then the zlib stream.
    EXPECT_EQ(c.substr(10, 2), "CF");
    EXPECT_EQ(c.substr(12, 14), std::string("vrbmp8.vrh") + std::string(4, '\0'));
    EXPECT_EQ(static_cast<unsigned char>(c[30]), 0x78);
    EXPECT_EQ(static_cast<unsigned char>(c[31]), 0x9C);
    EXPECT_EQ(30 + le32(c, 26), c.find("CFvrbmpsx1.bmp"));

    auto entries = walked(c);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], std::make_pair(std::string("vrbmp8.vrh"), std::string(4096, '\x11')));
    EXPECT_EQ(entries[1], std::make_pair(std::string("vrbmpsx1.bmp"), noise));
    EXPECT_EQ(entries[2], std::make_pair(std::string("冷色.bmp"), std::string("GBK name")));
}

TEST_F(OlderArchive, RefusalsLeaveTheContainerUnchanged) {
    m().writeFile("C:\\a\\vrbmpsx1.bmp", "one");
    m().writeFile("C:\\b\\vrbmpsx1.bmp", "two");
    m().writeFile("C:\\abcdefghi.jkl", "13 characters");
    ASSERT_EQ(appendOlderEntry("C:\\s.vrz", "C:\\a\\vrbmpsx1.bmp"), 1);
    std::string before = file("C:\\s.vrz");
    EXPECT_EQ(appendOlderEntry("C:\\s.vrz", "C:\\b\\vrbmpsx1.bmp"), 0);
    EXPECT_EQ(appendOlderEntry("C:\\s.vrz", "C:\\abcdefghi.jkl"), 0);
    EXPECT_EQ(appendOlderEntry("C:\\s.vrz", "C:\\missing.bmp"), 0);
    EXPECT_EQ(appendOlderEntry("C:\\s.vrz", ""), 0);
    EXPECT_EQ(file("C:\\s.vrz"), before);

    // A damaged container (its entry cut short) and a current-layout one are not appended to.
    m().writeFile("C:\\cut.vrz", before.substr(0, before.size() - 2));
    EXPECT_EQ(appendOlderEntry("C:\\cut.vrz", "C:\\b\\vrbmpsx1.bmp"), 0);
    EXPECT_EQ(file("C:\\cut.vrz"), before.substr(0, before.size() - 2));
    ASSERT_EQ(appendEntry("C:\\current.vrz", "C:\\a\\vrbmpsx1.bmp"), 1);
    std::string current = file("C:\\current.vrz");
    m().writeFile("C:\\c\\other.bmp", "three");
    EXPECT_EQ(appendOlderEntry("C:\\current.vrz", "C:\\c\\other.bmp"), 0);
    EXPECT_EQ(file("C:\\current.vrz"), current);
}

// The setup unpacks a skin with extractFromFile and counts a skin file intact when the installed
// file is at least as long as its compressed entry.
TEST_F(OlderArchive, SkinWrittenHereIsUnpackedAndVerifiedByTheSetup) {
    std::string bitmap = "BM" + std::string(3000, '\x40');
    m().writeFile("C:\\src\\vrbmp8.vrh", std::string(4096, '\0'));
    m().writeFile("C:\\src\\vrbmpsx1.bmp", bitmap);
    m().makeDirectories("C:\\inst");
    ASSERT_EQ(appendOlderEntry("C:\\inst\\skin.vrz", "C:\\src\\vrbmp8.vrh"), 1);
    ASSERT_EQ(appendOlderEntry("C:\\inst\\skin.vrz", "C:\\src\\vrbmpsx1.bmp"), 1);

    std::vector<uint8_t> work(workBufferSize, 0);
    state.workBuffer = work.data();
    copyText(state.installDir, "C:\\inst\\");
    extractFromFile("C:\\inst\\skin.vrz", nullptr);
    EXPECT_EQ(file("C:\\inst\\vrbmp8.vrh"), std::string(4096, '\0'));
    EXPECT_EQ(file("C:\\inst\\vrbmpsx1.bmp"), bitmap);
    EXPECT_TRUE(m().messageBoxes.empty());

    std::string c = file("C:\\inst\\skin.vrz");
    std::string failures(4096, '\0');
    EXPECT_EQ(verifyAll(reinterpret_cast<const uint8_t*>(c.data()), c.size(), failures.data(),
                        failures.size(), ""),
              2u);
    EXPECT_STREQ(failures.c_str(), "");
    state.workBuffer = nullptr;
}
