#include "payload/extraction.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "container_builder.h"
#include "common/locations.h"
#include "common/progress.h"
#include "common/text.h"
#include "common/file_ops.h"
#include "platform/files.h"
#include "sim_fixture.h"

namespace {

const std::string dir = "C:\\Program Files\\vornel8\\";

class Extraction : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        computeInstallDir();
        m().makeDirectories(dir);
        scratch_.assign(workBufferSize, 0);
    }
    bool extract(const std::string& container) {
        return extractAll(reinterpret_cast<const uint8_t*>(container.data()), container.size(),
                          scratch_.data(), scratch_.size());
    }
    uint32_t verify(const std::string& container, std::string& failure,
                    const char* exemptions = exemptionList) {
        char text[4096];
        uint32_t good = verifyAll(reinterpret_cast<const uint8_t*>(container.data()),
                                  container.size(), text, sizeof text, exemptions);
        failure = text;
        return good;
    }
    std::u16string lastMessage() {
        return m().messageBoxes.empty() ? u"" : m().messageBoxes.back().text;
    }
    std::vector<uint8_t> scratch_;
};

std::string phrases(std::initializer_list<const char*> items) {
    std::string s;
    for (const char* p : items) s += std::string(p) + "; ";
    return s;
}

}  // namespace

TEST_F(Extraction, WritesEveryEntryAndAdvancesProgress) {
    std::string c = buildContainer({{"a.txt", "alpha"}, {"冷色瓷面.vrz", "skin"}});
    state.progressPosition = 3;
    EXPECT_TRUE(extract(c));
    EXPECT_EQ(file(dir + "a.txt"), "alpha");
    EXPECT_EQ(file(dir + "冷色瓷面.vrz"), "skin");
    EXPECT_EQ(state.progressPosition, 5);
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(Extraction, DigestMismatchIsReportedNotWrittenAndStillCounted) {
    std::string c = buildContainer(
        {{"bad.txt", "content", "00000000000000000000000000000000"}, {"ok.txt", "fine"}});
    EXPECT_FALSE(extract(c));
    EXPECT_FALSE(m().exists(dir + "bad.txt"));
    EXPECT_EQ(file(dir + "ok.txt"), "fine");
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl安装");
    EXPECT_EQ(m().messageBoxes[0].text, u"没有成功解压复制bad.txt文件！请重新下载安装。");
    EXPECT_EQ(state.progressPosition, 2);
}

TEST_F(Extraction, LowerCaseDigestNeverMatches) {
    char upper[md5TextSize];
    md5Hex("x", 1, upper);
    std::string lower = upper;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(ch));
    EXPECT_FALSE(extract(buildContainer({{"x.txt", "x", lower}})));
}

TEST_F(Extraction, BadSecondTagWritesOnlyTheFirst) {
    std::string c = buildContainer({{"one.txt", "1"}, {"two.txt", "2"}, {"three.txt", "3"}});
    size_t second = 10 + 56 + deflated("1").size();
    c[second] = 'X';
    EXPECT_FALSE(extract(c));
    EXPECT_EQ(file(dir + "one.txt"), "1");
    EXPECT_FALSE(m().exists(dir + "two.txt"));
    EXPECT_FALSE(m().exists(dir + "three.txt"));
    EXPECT_TRUE(m().messageBoxes.empty());
}

TEST_F(Extraction, TruncatedEntryStopsTheWalk) {
    std::string c = buildContainer({{"one.txt", "1"}, {"two.txt", std::string(3000, 'z')}});
    EXPECT_FALSE(extract(c.substr(0, c.size() - 5)));
    EXPECT_EQ(file(dir + "one.txt"), "1");
    EXPECT_FALSE(m().exists(dir + "two.txt"));
}

TEST_F(Extraction, HostileNamesAreNeverWritten) {
    m().writeFile("C:\\Program Files\\keep.txt", "mine");
    std::string c = buildContainer({{"..\\keep.txt", "evil"},
                                    {"..", "evil"},
                                    {"c:evil.txt", "evil"},
                                    {"sub/x.txt", "evil"},
                                    {"", "evil"},
                                    {"good.txt", "good"}});
    EXPECT_FALSE(extract(c));
    EXPECT_EQ(file("C:\\Program Files\\keep.txt"), "mine");
    EXPECT_FALSE(m().exists("C:\\evil.txt"));
    EXPECT_EQ(file(dir + "good.txt"), "good");
    EXPECT_EQ(m().messageBoxes.size(), 5u);
    EXPECT_EQ(m().messageBoxes[0].text, u"没有成功解压复制..\\keep.txt文件！请重新下载安装。");
}

TEST_F(Extraction, ContentLargerThanTheScratchIsRefused) {
    std::string c = buildContainer({{"big.bin", std::string(5000, 'q')}});
    std::vector<uint8_t> small(4000);
    EXPECT_FALSE(extractAll(reinterpret_cast<const uint8_t*>(c.data()), c.size(), small.data(),
                            small.size()));
    EXPECT_FALSE(m().exists(dir + "big.bin"));
    EXPECT_EQ(m().messageBoxes.size(), 1u);
}

TEST_F(Extraction, BusyTargetIsMovedAsideToTwoThenOne) {
    m().writeFile(dir + "vornel4.ime", "loaded");
    m().markBusy(dir + "vornel4.ime");
    EXPECT_TRUE(extract(buildContainer({{"vornel4.ime", "new one"}})));
    EXPECT_EQ(file(dir + "vornel4.ime"), "new one");
    EXPECT_EQ(file(dir + "vornel2.ime"), "loaded");
    // Next time "2" is busy as well: the one in use goes to "1".
    m().markBusy(dir + "vornel4.ime");
    EXPECT_TRUE(extract(buildContainer({{"vornel4.ime", "newer"}})));
    EXPECT_EQ(file(dir + "vornel4.ime"), "newer");
    EXPECT_EQ(file(dir + "vornel1.ime"), "new one");
    EXPECT_EQ(file(dir + "vornel2.ime"), "loaded");
}

TEST_F(Extraction, ReadOnlyTargetIsReplaced) {
    m().writeFile(dir + "r.txt", "old");
    m().attributes[m().normalize(dir + "r.txt")] = plat::attrReadOnly;
    EXPECT_TRUE(extract(buildContainer({{"r.txt", "new"}})));
    EXPECT_EQ(file(dir + "r.txt"), "new");
}

TEST_F(Extraction, OlderLayoutHasNoDigestCheck) {
    std::string c = buildContainer({{"vrbmp8.vrh", std::string(4096, 'k')}}, true);
    EXPECT_TRUE(extract(c));
    EXPECT_EQ(file(dir + "vrbmp8.vrh"), std::string(4096, 'k'));
}

TEST_F(Extraction, PhraseBackupIsNormalisedOnTheWay) {
    std::string text = phrases({"啊啊", "工"}) + "xx; " + phrases({"中国人"});
    EXPECT_TRUE(extract(buildContainer({{"vorncyzk.bak", text}})));
    std::string written = file(dir + "vorncyzk.bak");
    std::vector<uint8_t> expected(text.begin(), text.end());
    expected.resize(text.size() + 12);
    size_t kept = compactPhraseLibrary(expected.data(), text.size());
    EXPECT_EQ(written, std::string(expected.begin(), expected.begin() + kept + 12));
    EXPECT_EQ(written.substr(kept, 4), "VORN");
}

TEST_F(Extraction, NoMd5RoutinesMakeEveryEntryFail) {
    std::string c = buildContainer({{"a.txt", "a"}});
    m().hasMd5 = false;
    EXPECT_FALSE(extract(c));
    EXPECT_FALSE(m().exists(dir + "a.txt"));
}

TEST(ContainsName, FoldsOnlyTheListSide) {
    EXPECT_EQ(containsName("VRQVTK41.BMP x", "vrqvtk41.bmp"), 1);
    EXPECT_EQ(containsName("vrqvtk41.bmp", "VRQVTK41.BMP"), 0);
    EXPECT_EQ(containsName(exemptionList, "vornsrf.dll"), 1);
    EXPECT_EQ(containsName(exemptionList, "setupw64.exe"), 1);
    // A substring of a longer listed name matches as well.
    EXPECT_EQ(containsName(exemptionList, "srf.dll"), 1);
    EXPECT_EQ(containsName(exemptionList, "vornpyck.vrh"), 0);
    EXPECT_EQ(containsName("abc", "abcd"), 0);
}

TEST_F(Extraction, VerifyListsMissingAndChangedFiles) {
    std::string c = buildContainer(
        {{"a.txt", "alpha"}, {"b.txt", "beta"}, {"vornsrf.dll", "module"}, {"c.txt", "gamma"}});
    m().writeFile(dir + "a.txt", "alpha");
    m().writeFile(dir + "b.txt", "changed");
    std::string failure;
    EXPECT_EQ(verify(c, failure), 2u);  // a.txt, and the exempted module even though missing
    EXPECT_EQ(failure, std::string("b.txt....c.txt....") + "有文件没有成功解压，请重新下载安装！\r\n");
    m().writeFile(dir + "b.txt", "beta");
    m().writeFile(dir + "c.txt", "gamma");
    EXPECT_EQ(verify(c, failure), 4u);
    EXPECT_EQ(failure, "");
}

TEST_F(Extraction, VerifyOlderLayoutComparesLengthsOnly) {
    std::string content(3000, 'z');
    std::string c = buildContainer({{"s.bmp", content}}, true);
    size_t packed = deflated(content).size();
    m().writeFile(dir + "s.bmp", std::string(packed, 'n'));
    std::string failure;
    EXPECT_EQ(verify(c, failure), 1u);
    m().writeFile(dir + "s.bmp", std::string(packed - 1, 'n'));
    EXPECT_EQ(verify(c, failure), 0u);
}

TEST_F(Extraction, VerifyCountsAWalkCutShort) {
    std::string c = buildContainer({{"a.txt", "alpha"}, {"b.txt", "beta"}});
    m().writeFile(dir + "a.txt", "alpha");
    std::string failure;
    EXPECT_EQ(verify(c.substr(0, c.size() - 2), failure), 1u);
    EXPECT_EQ(failure, "有文件没有成功解压，请重新下载安装！\r\n");
}

TEST_F(Extraction, ExtractFromFileUsesTheSkinScratchArea) {
    std::vector<uint8_t> work(workBufferSize, 0);
    state.workBuffer = work.data();
    m().writeFile("C:\\skin.vrz", buildContainer({{"vrbmpsx1.bmp", "bitmap"}}, true));
    extractFromFile("C:\\skin.vrz", nullptr);
    EXPECT_EQ(file(dir + "vrbmpsx1.bmp"), "bitmap");
    extractFromFile("C:\\absent.vrz", nullptr);
    EXPECT_TRUE(m().messageBoxes.empty());
    state.workBuffer = nullptr;
}

TEST_F(Extraction, PayloadVerificationReportsOnce) {
    std::vector<uint8_t> work(workBufferSize, 0);
    std::string c = buildContainer({{"a.txt", "alpha"}});
    state.workBuffer = work.data();
    state.payload = reinterpret_cast<const uint8_t*>(c.data());
    state.payloadSize = static_cast<uint32_t>(c.size());
    verifyPayloadFiles();
    ASSERT_EQ(m().messageBoxes.size(), 1u);
    EXPECT_EQ(m().messageBoxes[0].caption, u"智能Marl");
    EXPECT_EQ(m().messageBoxes[0].text,
              u"a.txt....有文件没有成功解压，请重新下载安装！\r\n\r\n\r\n上述文件没有成功复制，请重新下载安装！\r\n");
    m().writeFile(dir + "a.txt", "alpha");
    verifyPayloadFiles();
    EXPECT_EQ(m().messageBoxes.size(), 1u);
    state.workBuffer = nullptr;
    state.payload = nullptr;
}

namespace {
std::string compact(const std::string& text, uint32_t* sum = nullptr, uint32_t* count = nullptr) {
    std::vector<uint8_t> buffer(text.begin(), text.end());
    buffer.resize(text.size() + 12);
    size_t kept = compactPhraseLibrary(buffer.data(), text.size());
    if (sum) *sum = readLe32(buffer.data() + kept + 4);
    if (count) *count = readLe32(buffer.data() + kept + 8);
    EXPECT_EQ(std::string(buffer.begin() + kept, buffer.begin() + kept + 4), "VORN");
    return std::string(buffer.begin(), buffer.begin() + kept);
}
uint32_t byteSum(const std::string& s) {
    uint32_t sum = 0;
    for (unsigned char c : s) sum += c;
    return sum;
}
}  // namespace

TEST(PhraseLibrary, StoredFormIsKeptAsItIs) {
    std::string stored = phrases({"中国"}) + "VORN" + std::string(8, '\x01');
    std::vector<uint8_t> buffer(stored.begin(), stored.end());
    buffer.resize(stored.size() + 12);
    EXPECT_EQ(compactPhraseLibrary(buffer.data(), stored.size()), stored.size() - 12);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + stored.size()), stored);
}

TEST(PhraseLibrary, PhrasesAreCountedAndSummed) {
    uint32_t sum = 0, count = 0;
    std::string text = phrases({"中国", "中国人民"});
    EXPECT_EQ(compact(text, &sum, &count), text);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(sum, byteSum("中国中国人民"));
}

TEST(PhraseLibrary, SingleCharacterPhraseLeavesItsSeparator) {
    uint32_t sum = 0, count = 0;
    std::string out = compact(phrases({"中国", "啊", "人民"}), &sum, &count);
    EXPECT_EQ(out, "中国; ; 人民; ");
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(sum, byteSum("中国啊人民"));  // the dropped character still counts
}

TEST(PhraseLibrary, SingleBytePhraseIsDroppedUpToItsSeparator) {
    uint32_t sum = 0, count = 0;
    std::string out = compact("中国a人; 人民; ", &sum, &count);
    EXPECT_EQ(out, "; 人民; ");
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(sum, byteSum("中国人民"));
}

TEST(PhraseLibrary, SumHoldsWhenTheReadRunsOneByteAhead) {
    // "a; " drops one byte and keeps its two-byte separator: every later character is copied
    // one byte back, over the byte that is still to be summed.
    const std::pair<std::string, std::string> cases[] = {
        {"a; 中国; ", "; 中国; "},
        {"a; 中国人民; 五笔; ", "; 中国人民; 五笔; "},
        {"x; 啊; 中国; ", "; ; 中国; "},  // then a dropped single character as well
    };
    for (const auto& [text, kept] : cases) {
        uint32_t sum = 0, count = 0;
        EXPECT_EQ(compact(text, &sum, &count), kept) << text;
        std::string characters;
        for (unsigned char c : text)
            if (c >= 0x80) characters += static_cast<char>(c);
        EXPECT_EQ(sum, byteSum(characters)) << text;
    }
}

TEST(PhraseLibrary, EndsSafelyOnOddTails) {
    EXPECT_EQ(compact(""), "");
    EXPECT_EQ(compact("\xD6"), "");         // a lone lead byte at the very end
    EXPECT_EQ(compact("中国;"), "");        // separator cut off
    EXPECT_EQ(compact("中国; 人"), "中国; ");  // last phrase without separator
}
