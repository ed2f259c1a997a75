#include "payload/archive.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>

#include "../userdata/installation_builder.h"
#include "platform/files.h"
#include "sim_fixture.h"

namespace {

class Archive : public SimTest {
protected:
    std::string bytes(const std::string& path) { return file(path); }
    uint32_t count(const std::string& container) {
        return readLe32(reinterpret_cast<const uint8_t*>(container.data()) + 6);
    }
    uint32_t total(const std::string& container) {
        return readLe32(reinterpret_cast<const uint8_t*>(container.data()) + 2);
    }
};

std::string md5Of(const std::string& data) {
    char text[md5TextSize];
    md5Hex(data.data(), data.size(), text);
    return text;
}

}  // namespace

TEST(Md5, KnownDigestsInUpperCase) {
    EXPECT_EQ(md5Of(""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(md5Of("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(md5Of(std::string(1000000, 'a')), "7707D6AE4E027C70EEA2A935C2296F21");
    // Lengths around the padding boundary.
    EXPECT_EQ(md5Of(std::string(55, 'x')).size(), 32u);
    EXPECT_EQ(md5Of("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57EDF4A22BE3C955AC49DA2E2107B67A");
}

TEST_F(Archive, NoMd5RoutinesGiveAnEmptyText) {
    m().hasMd5 = false;
    char text[md5TextSize];
    std::memset(text, 'x', sizeof text);
    md5Hex("abc", 3, text);
    EXPECT_STREQ(text, "");
}

TEST_F(Archive, Md5FileCountsTheBytesRead) {
    char text[md5TextSize];
    EXPECT_EQ(md5File("C:\\missing.txt", text), 0u);
    EXPECT_STREQ(text, "");
    m().writeFile("C:\\a.txt", "abc");
    EXPECT_EQ(md5File("C:\\a.txt", text), 3u);
    EXPECT_STREQ(text, "900150983CD24FB0D6963F7D28E17F72");
}

TEST_F(Archive, FirstAppendCreatesTheContainer) {
    m().writeFile("C:\\src\\vorncyzk.bak", "phrase data phrase data");
    ASSERT_EQ(appendEntry("C:\\out.vrz", "C:\\src\\vorncyzk.bak"), 1);
    std::string c = bytes("C:\\out.vrz");
    ASSERT_GE(c.size(), 66u);
    EXPECT_EQ(c.substr(0, 2), "C0");
    EXPECT_EQ(count(c), 1u);
    EXPECT_EQ(total(c), c.size());
    EXPECT_EQ(c.substr(10, 2), "CF");
    EXPECT_EQ(std::string(c.c_str() + 12), "vorncyzk.bak");
    EXPECT_EQ(std::string(c.data() + 28, 34), md5Of("phrase data phrase data") + std::string(2, '\0'));
    uint32_t length = readLe32(reinterpret_cast<const uint8_t*>(c.data()) + 62);
    EXPECT_EQ(c.size(), 66u + length);
    EXPECT_EQ(static_cast<unsigned char>(c[66]), 0x78);
    EXPECT_EQ(static_cast<unsigned char>(c[67]), 0x9C);
}

TEST_F(Archive, NamesOfTwelveFitThirteenAreRefused) {
    m().writeFile("C:\\abcdefgh.ijk", "x");
    m().writeFile("C:\\abcdefghi.jkl", "x");
    ASSERT_EQ(appendEntry("C:\\a.vrz", "C:\\abcdefgh.ijk"), 1);
    std::string before = bytes("C:\\a.vrz");
    EXPECT_EQ(appendEntry("C:\\a.vrz", "C:\\abcdefghi.jkl"), 0);
    EXPECT_EQ(bytes("C:\\a.vrz"), before);
    EXPECT_EQ(appendEntry("C:\\a.vrz", ""), 0);
}

TEST_F(Archive, DuplicateLeavesTheContainerUnchanged) {
    m().writeFile("C:\\x\\a.txt", "one");
    m().writeFile("C:\\y\\a.txt", "two");
    m().writeFile("C:\\y\\A.txt", "three");
    ASSERT_EQ(appendEntry("C:\\a.vrz", "C:\\x\\a.txt"), 1);
    std::string before = bytes("C:\\a.vrz");
    EXPECT_EQ(appendEntry("C:\\a.vrz", "C:\\y\\a.txt"), 0);
    EXPECT_EQ(bytes("C:\\a.vrz"), before);
}

TEST_F(Archive, UnreadableSourceLeavesAnEmptyNewContainer) {
    EXPECT_EQ(appendEntry("C:\\new.vrz", "C:\\nothere.txt"), 0);
    std::string c = bytes("C:\\new.vrz");
    ASSERT_EQ(c.size(), 10u);
    EXPECT_EQ(total(c), 10u);
    EXPECT_EQ(count(c), 0u);
}

TEST_F(Archive, EveryFailedCallLeavesTheContainerAsItWas) {
    m().writeFile("C:\\a.txt", "first");
    const std::string content(5000, 'b');
    m().writeFile("C:\\b.txt", content);
    ASSERT_EQ(appendEntry("C:\\a.vrz", "C:\\a.txt"), 1);
    const std::string before = file("C:\\a.vrz");
    m().faults = {};
    ASSERT_EQ(appendEntry("C:\\x.vrz", "C:\\b.txt"), 1);
    const uint64_t points = m().faults.passed;
    int sourceFaults = 0;
    for (uint64_t at = 1; at <= points; ++at) {
        m().writeFile("C:\\a.vrz", before);
        m().faults = {0, at, ""};
        int result = appendEntry("C:\\a.vrz", "C:\\b.txt");
        m().faults.failAt = 0;
        std::string where = m().faults.failedPoint + " at " + std::to_string(at);
        sourceFaults += m().faults.failedPoint == "file read" || m().faults.failedPoint == "file seek";
        auto entries = readContainer(file("C:\\a.vrz"));
        // Whole or not at all: a short read is never kept as a truncated or empty entry.
        if (result == 1) {
            ASSERT_EQ(entries.size(), 2u) << where;
            EXPECT_EQ(entries[1], std::make_pair(std::string("b.txt"), content)) << where;
        } else {
            EXPECT_EQ(entries, readContainer(before)) << where;
        }
    }
    EXPECT_GE(sourceFaults, 4);  // the container's seeks, the source's size and its read
}

TEST_F(Archive, EmptyFileIsAppendedWithTheEmptyDigest) {
    m().writeFile("C:\\empty.txt", "");
    ASSERT_EQ(appendEntry("C:\\a.vrz", "C:\\empty.txt"), 1);
    std::string c = bytes("C:\\a.vrz");
    EXPECT_EQ(std::string(c.data() + 28, 32), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST_F(Archive, IncompressibleDataAboveEightKilobytesIsKept) {
    std::mt19937 random(7);
    std::string noise(50000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    m().writeFile("C:\\noise.bin", noise);
    ASSERT_EQ(appendEntry("C:\\a.vrz", "C:\\noise.bin"), 1);
    std::string c = bytes("C:\\a.vrz");
    ArchiveWalk walk(reinterpret_cast<const uint8_t*>(c.data()), c.size());
    ArchiveEntry entry;
    ASSERT_TRUE(walk.next(entry));
    std::string out(60000, '\0');
    EXPECT_EQ(inflateEntry(entry, reinterpret_cast<uint8_t*>(out.data()), out.size()), 50000u);
    EXPECT_EQ(out.substr(0, 50000), noise);
}

TEST_F(Archive, DamagedContainerIsNotAppendedTo) {
    m().writeFile("C:\\a.txt", "aaa");
    m().writeFile("C:\\b.txt", "bbb");
    ASSERT_EQ(appendEntry("C:\\a.vrz", "C:\\a.txt"), 1);
    std::string c = bytes("C:\\a.vrz");
    m().writeFile("C:\\cut.vrz", c.substr(0, c.size() - 3));
    EXPECT_EQ(appendEntry("C:\\cut.vrz", "C:\\b.txt"), 0);
    EXPECT_EQ(bytes("C:\\cut.vrz"), c.substr(0, c.size() - 3));
    std::string older = c;
    older[1] = 'H';
    m().writeFile("C:\\older.vrz", older);
    EXPECT_EQ(appendEntry("C:\\older.vrz", "C:\\b.txt"), 0);
}

TEST_F(Archive, SecondAppendGrowsCountAndTotal) {
    m().writeFile("C:\\a.txt", "aaa");
    m().writeFile("C:\\dir\\b.txt", std::string(5000, 'b'));
    ASSERT_EQ(appendEntry("C:\\a.vrz", "C:\\a.txt"), 1);
    ASSERT_EQ(appendEntry("C:\\a.vrz", "C:\\dir\\b.txt"), 1);
    std::string c = bytes("C:\\a.vrz");
    EXPECT_EQ(count(c), 2u);
    EXPECT_EQ(total(c), c.size());
    ArchiveWalk walk(reinterpret_cast<const uint8_t*>(c.data()), c.size());
    ArchiveEntry entry;
    char name[100];
    ASSERT_TRUE(walk.next(entry));
    ASSERT_TRUE(walk.next(entry));
    EXPECT_TRUE(entryName(entry, name, sizeof name));
    EXPECT_STREQ(name, "b.txt");
    EXPECT_FALSE(walk.next(entry));
    EXPECT_FALSE(walk.stoppedEarly());
}

TEST(ArchiveWalkBounds, StopsAtBadTagsAndShortData) {
    std::string c = std::string("C0") + std::string(8, '\0');
    c[6] = 2;
    std::string e1 = "CF" + std::string(54, '\0');
    e1[52] = 4;
    c += e1 + "abcd";
    c += "XF" + std::string(60, '\0');
    ArchiveWalk walk(reinterpret_cast<const uint8_t*>(c.data()), c.size());
    ArchiveEntry entry;
    EXPECT_TRUE(walk.next(entry));
    EXPECT_FALSE(walk.next(entry));
    EXPECT_TRUE(walk.stoppedEarly());

    // A length that runs past the end stops the walk as a bad tag does.
    std::string big = c.substr(0, 10) + e1;
    big[10 + 52] = static_cast<char>(0xFF);
    big[10 + 55] = 0x7F;
    ArchiveWalk past(reinterpret_cast<const uint8_t*>(big.data()), big.size());
    EXPECT_FALSE(past.next(entry));
    ArchiveWalk tiny(reinterpret_cast<const uint8_t*>("C0"), 2);
    EXPECT_FALSE(tiny.next(entry));
}

TEST(ArchiveWalkBounds, OlderLayoutUsesTwentyByteHeaders) {
    std::string data = "hello";
    std::string packed(64, '\0');
    uLongf length = packed.size();
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(packed.data()), &length,
                       reinterpret_cast<const Bytef*>(data.data()), data.size()),
              Z_OK);
    std::string c = std::string("CH") + std::string(8, '\0');
    c[6] = 1;
    std::string header = "CFvrbmp8.vrh" + std::string(6, '\0');
    header.resize(20);
    header[16] = static_cast<char>(length);
    c += header + packed.substr(0, length);
    ArchiveWalk walk(reinterpret_cast<const uint8_t*>(c.data()), c.size());
    ArchiveEntry entry;
    ASSERT_TRUE(walk.next(entry));
    EXPECT_FALSE(entry.currentLayout);
    EXPECT_EQ(entry.digest, nullptr);
    char name[100];
    EXPECT_TRUE(entryName(entry, name, sizeof name));
    EXPECT_STREQ(name, "vrbmp8.vrh");
    uint8_t out[16];
    EXPECT_EQ(inflateEntry(entry, out, sizeof out), 5u);
}

TEST_F(Archive, HostileNamesAreRefused) {
    auto check = [](std::string field) {
        field.resize(entryNameField, '\0');
        ArchiveEntry entry;
        entry.nameField = field.data();
        entry.nameFieldSize = entryNameField;
        char name[100];
        return entryName(entry, name, sizeof name);
    };
    const struct {
        std::string field;
        bool safe;
    } cases[] = {
        {"vornel4.ime", true},
        {"冷色瓷面.vrz", true},
        {"", false},
        {".", false},
        {"..", false},
        {"..\\x.dll", false},
        {"a/b", false},
        {"c:x.dll", false},
        {"a\tb", false},
        {std::string(16, 'a'), false},  // not terminated in its field
        // A double-byte character whose trail byte is 0x5C is no separator.
        {"\xD5\x5C.txt", true},
        // A lead byte before a byte that is no trail, or at the end, makes no character.
        {"\xD5/x.txt", false},
        {"\xD5\x1B[2J", false},
        {"\xD5\x7F.txt", false},
        {"a.tx\xD5", false},
        // Devices, with or without an extension, in any case.
        {"CON", false},
        {"con", false},
        {"Nul.txt", false},
        {"AUX.dat.bak", false},
        {"prn", false},
        {"COM1", false},
        {"com9.log", false},
        {"LPT1.txt", false},
        {"lPt5", false},
        {"NUL .txt", false},
        {"CON ", false},
        {"COM0", false},
        {"lpt0.txt", false},
        {"COM\xB9", false},  // superscript one in the Western code page
        {"LPT\xB3.log", false},
        {"CONIN$", false},
        {"conout$.txt", false},
        // Windows drops trailing dots and blanks: another file, or the directory itself.
        {"a.txt.", false},
        {"a.txt ", false},
        {"...", false},
        {"..  ", false},
        // Only those names: other numbers, longer or shorter names are files.
        {"COM10.txt", true},
        {"CONIN.txt", true},
        {".profile", true},
        {"LPT", true},
        {"CONS.txt", true},
        {"console", true},
        {"nul_x.dat", true},
        {"xcon", true},
        {"con1.txt", true},
        {"a.con", true},
    };
    for (const auto& c : cases) EXPECT_EQ(check(c.field), c.safe) << c.field;

    // The file calls read names in the system's code page: a byte that leads a character in
    // GBK is a character of its own in the Western one, and 0x5C after it a separator.
    const struct {
        unsigned codePage;
        std::string field;
        bool safe;
    } pages[] = {
        {936, "\xD5\x5C.txt", true}, {950, "\xA5\x5C.txt", true}, {1252, "\xD5\x5C.txt", false},
        {1252, "caf\xE9.txt", true},  {932, "\x95\x5C.txt", true}, {932, "\xD5\x5C.txt", false},
        {932, "\xB1.txt", true},      {1252, "\xD5x.txt", true},
    };
    for (const auto& c : pages) {
        m().ansiCodePage = c.codePage;
        EXPECT_EQ(check(c.field), c.safe) << c.codePage << ": " << c.field;
    }
}

TEST_F(Archive, DeviceNamesAreNotPacked) {
    for (const char* source : {"C:\\src\\CON.txt", "C:\\src\\lpt1", "C:\\src\\a:b"}) {
        m().writeFile(source, "x");
        EXPECT_EQ(appendEntry("C:\\a.vrz", source), 0) << source;
    }
    EXPECT_FALSE(m().exists("C:\\a.vrz"));
}
