#include "tables.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <stdexcept>
#include <vector>

#include "artwork.h"
#include "payload/extraction.h"

namespace content {

namespace {

// One double-byte character through iconv; empty when `from` has no such character or `to`
// cannot hold it.
std::string convertCharacter(iconv_t cd, const std::string& in) {
    char output[8];
    char* source = const_cast<char*>(in.data());
    size_t sourceLeft = in.size();
    char* target = output;
    size_t targetLeft = sizeof output;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &source, &sourceLeft, &target, &targetLeft) == static_cast<size_t>(-1) ||
        sourceLeft != 0)
        return {};
    return std::string(output, sizeof output - targetLeft);
}

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("no iconv conversion from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    std::string operator()(const std::string& in) const { return convertCharacter(cd_, in); }

private:
    iconv_t cd_;
};

// Every double-byte code of GBK that stands for a character, in code order.
const std::vector<std::string>& gbkCodes() {
    static const std::vector<std::string> codes = [] {
        Converter toUnicode("UTF-16BE", "GBK");
        std::vector<std::string> list;
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                std::string code{static_cast<char>(lead), static_cast<char>(trail)};
                std::string wide = toUnicode(code);
                if (wide.size() != 2) continue;
                unsigned unicode = (static_cast<unsigned char>(wide[0]) << 8) |
                                   static_cast<unsigned char>(wide[1]);
                if (unicode >= 0xE000 && unicode <= 0xF8FF) continue;  // user-defined areas
                list.push_back(code);
            }
        }
        return list;
    }();
    return codes;
}

bool isHanzi(const std::string& gbk) {
    static Converter toUnicode("UTF-16BE", "GBK");
    std::string wide = toUnicode(gbk);
    if (wide.size() != 2) return false;
    unsigned u = (static_cast<unsigned char>(wide[0]) << 8) | static_cast<unsigned char>(wide[1]);
    return u >= 0x4E00 && u <= 0x9FA5;
}

// Phrases of two to four common hanzi, unique, mostly from the first level of GB2312.
std::vector<std::string> phrases(Random& random, size_t count) {
    std::set<std::string> seen;
    std::vector<std::string> list;
    while (list.size() < count) {
        uint32_t roll = random.below(100);
        size_t length = roll < 62 ? 2 : (roll < 86 ? 3 : 4);
        std::string phrase;
        for (size_t i = 0; i < length; ++i)
            phrase += hanzi(random.below(random.below(10) < 8 ? 3755 : 6763));
        if (seen.insert(phrase).second) list.push_back(phrase);
    }
    return list;
}

// Simplified characters and their traditional forms (both in GBK).
const std::vector<std::pair<std::string, std::string>>& traditionalPairs() {
    static const std::vector<std::pair<std::string, std::string>> pairs = [] {
        const char* const text =
            "国國学學书書车車马馬鸟鳥鱼魚门門东東长長开開关關见見贝貝页頁风風飞飛龙龍电電话話"
            "语語说說读讀写寫听聽问問间間时時会會个個们們来來这這过過还還进進远遠运運边邊发發"
            "对對实實现現动動机機买買卖賣钱錢银銀铁鐵钟鐘为為无無与與业業丝絲两兩严嚴丰豐临臨"
            "乐樂习習乡鄉亚亞产產亲親亿億从從众眾优優伟偉传傳伤傷体體价價农農决決况況冻凍刘劉"
            "则則刚剛创創别別办辦务務劝勸华華单單卫衛历歷压壓厅廳县縣双雙变變叶葉号號吗嗎园園"
            "围圍图圖场場坏壞块塊坚堅坛壇声聲处處备備复復头頭夹夾奋奮妇婦妈媽孙孫宁寧宝寶实實"
            "宽寬导導层層岁歲岛島币幣师師帮幫广廣庆慶库庫应應张張弹彈归歸当當录錄彻徹忆憶态態"
            "总總战戰户戶执執扩擴扫掃护護报報拥擁择擇挥揮换換据據携攜摄攝数數断斷无無旧舊显顯"
            "时時术術杀殺权權条條来來杨楊极極构構枪槍柜櫃树樹桥橋梦夢检檢楼樓欢歡气氣汉漢";
        std::vector<std::pair<std::string, std::string>> list;
        std::set<std::string> seen;
        for (size_t i = 0; text[i] != '\0' && text[i + 1] != '\0'; i += 4) {
            std::string simplified(text + i, 2), traditional(text + i + 2, 2);
            if (seen.insert(simplified).second) list.emplace_back(simplified, traditional);
        }
        return list;
    }();
    return pairs;
}

// The 200-byte record as the modules need it when none can be read.
Bytes defaultSettings() {
    Bytes record(200, '\0');
    record[8] = 54;
    for (int offset : {9, 10, 12, 15, 19, 22, 24, 27, 36, 41, 42, 43, 54, 58}) record[offset] = 1;
    return record;
}

std::string stem(const std::string& name) { return name.substr(0, name.find('.')); }

std::string magicOf(const std::string& name) {
    std::string s = stem(name);
    for (const char* prefix : {"vorn", "vr"})
        if (s.rfind(prefix, 0) == 0 && s.size() > std::strlen(prefix)) {
            s = s.substr(std::strlen(prefix));
            break;
        }
    std::string magic;
    for (char c : s) magic += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    magic.resize(4, '_');
    return magic;
}

Bytes tableHeader(const std::string& name, uint32_t count, uint32_t recordSize,
                  const std::string& gbkTitle) {
    Bytes out = magicOf(name);
    put32(out, 0x00090000);
    put32(out, count);
    put32(out, recordSize);
    putField(out, gbkTitle, 16);
    return out;
}

// An SWF bit field writer: most significant bit first, signed values in two's complement.
class SwfBits {
public:
    void unsignedBits(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) push((value >> i) & 1);
    }
    void signedBits(int32_t value, int bits) {
        unsignedBits(static_cast<uint32_t>(value) & ((1u << bits) - 1), bits);
    }
    Bytes take() {
        while (count_ != 0) push(0);
        Bytes out;
        out.swap(bytes_);
        return out;
    }

private:
    void push(unsigned bit) {
        current_ = (current_ << 1) | bit;
        if (++count_ == 8) {
            put8(bytes_, current_);
            current_ = 0;
            count_ = 0;
        }
    }
    Bytes bytes_;
    unsigned current_ = 0;
    int count_ = 0;
};

Bytes swfRect(int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax, int bits) {
    SwfBits b;
    b.unsignedBits(static_cast<uint32_t>(bits), 5);
    for (int32_t v : {xMin, xMax, yMin, yMax}) b.signedBits(v, bits);
    return b.take();
}

Bytes swfTag(unsigned code, const Bytes& body) {
    Bytes out;
    if (body.size() < 63) {
        put16(out, (code << 6) | static_cast<unsigned>(body.size()));
    } else {
        put16(out, (code << 6) | 0x3F);
        put32(out, static_cast<uint32_t>(body.size()));
    }
    return out + body;
}

}  // namespace

Bytes wubiPhraseLibrary() {
    Random random("vorncyzk.vrh");
    Bytes text;
    for (const std::string& phrase : phrases(random, 12000)) text += phrase + "; ";
    // The setup normalises a restored library with compactPhraseLibrary; the shipped one is
    // already in that form, so the procedure keeps every phrase and only adds the trailer.
    std::vector<uint8_t> buffer(text.begin(), text.end());
    buffer.resize(text.size() + 12);
    size_t kept = compactPhraseLibrary(buffer.data(), text.size());
    if (kept != text.size()) throw std::logic_error("the phrase library is not in stored form");
    return Bytes(buffer.begin(), buffer.end());
}

Bytes pinyinLibrary() {
    // Layout: a 64-byte header ("VRPY", version, syllable count, entry count, offsets of the
    // syllable table and of the entries, size of the entries); the syllables, 8 bytes each;
    // then the entries: syllable count n, n syllable numbers (16 bits), the n GBK characters,
    // a 16-bit frequency.
    const std::vector<std::string>& syllables = pinyinSyllables();
    Random random("vornpyck.vrh");
    Bytes entries;
    uint32_t count = 0;
    auto addEntry = [&](const std::string& phrase) {
        size_t n = phrase.size() / 2;
        put8(entries, static_cast<unsigned>(n));
        for (size_t i = 0; i < n; ++i)
            put16(entries, random.below(static_cast<uint32_t>(syllables.size())));
        entries += phrase;
        put16(entries, 1 + random.below(random.below(4) == 0 ? 60000 : 3000));
        ++count;
    };
    for (const std::string& single : commonHanzi()) addEntry(single);
    // About the size of the real library, and well inside the setup's 2 MB extraction area.
    const size_t target = 1882706;
    const size_t fixed = 64 + syllables.size() * 8;
    std::vector<std::string> list = phrases(random, 200000);
    for (const std::string& phrase : list) {
        if (fixed + entries.size() + 3 + 2 * phrase.size() > target) break;
        addEntry(phrase);
    }
    Bytes out = "VRPY";
    put32(out, 0x00090000);
    put32(out, static_cast<uint32_t>(syllables.size()));
    put32(out, count);
    put32(out, 64);
    put32(out, static_cast<uint32_t>(fixed));
    put32(out, static_cast<uint32_t>(entries.size()));
    out.resize(64, '\0');
    for (const std::string& s : syllables) putField(out, s, 8);
    return out + entries;
}

Bytes settingsRecord(int number) {
    Bytes record = defaultSettings();
    // The shipped records add what the defaults leave at zero: candidates per page, the Wubi
    // page size and the window colours (composition text, candidates, highlight).
    record[3] = 9;
    record[80] = 5;
    const unsigned char colours[] = {0, 0, 192, 0, 0, 0, 0, 0, 0, 96, 0, 255, 255, 255, 0};
    std::memcpy(&record[96], colours, sizeof colours);
    switch (number) {
        case 0:  // the module's own working copy
        case 43:
            break;
        case 1:
        case 2:
        case 3:
        case 4:  // the four window modes
            record[0] = static_cast<char>(number == 1 ? 0 : number == 2 ? 1 : number == 3 ? 4 : 3);
            record[21] = static_cast<char>(number >= 3 ? 1 : 0);
            break;
        case 42:  // Pinyin edition
            for (int offset : {19, 25, 27, 42, 64, 70, 72}) record[offset] = 1;
            record[80] = 10;
            break;
        case 44:  // traditional script
            record[15] = 1;
            break;
        default:
            throw std::invalid_argument("no such settings record");
    }
    return record;
}

Bytes fontSettings() {
    // Three records of 52 bytes: face (32 bytes, GBK), height, weight, colour (0x00BBGGRR),
    // character set, four reserved bytes.
    struct Font {
        const char* face;
        uint32_t height, weight, colour, charset;
    };
    const Font fonts[] = {
        {"宋体", 16, 400, 0x00C00000, 134},  // composition window
        {"宋体", 16, 400, 0x00000000, 134},  // candidates
        {"楷体", 14, 700, 0x00603000, 134},  // status window
    };
    Bytes out = "VRFS";
    put32(out, 0x00090000);
    put32(out, 3);
    put32(out, 52);
    for (const Font& f : fonts) {
        putField(out, f.face, 32);
        put32(out, f.height);
        put32(out, f.weight);
        put32(out, f.colour);
        put32(out, f.charset);
        put32(out, 0);
    }
    return out;
}

Bytes skinLayout(int skin, const std::string& gbkName) {
    const SkinTheme& theme = skinTheme(skin);
    auto colourRef = [](Rgb c) {
        auto v = [](double x) {
            return static_cast<uint32_t>(x < 0 ? 0 : (x > 255 ? 255 : x + 0.5));
        };
        return v(c.r) | (v(c.g) << 8) | (v(c.b) << 16);
    };
    Bytes out = "VRSK";
    put32(out, 0x00090000);
    put32(out, static_cast<uint32_t>(skin));
    putField(out, gbkName, 32);
    // Colours: text, highlight, candidate numbers, composition, border, shadow, background,
    // accent.
    for (Rgb c : {theme.text, theme.accent, scaled(theme.accent, 0.7), theme.text,
                  scaled(theme.accent, 0.8), scaled(theme.base, 0.6), theme.base, theme.accent})
        put32(out, colourRef(c));
    // Where each of the seven bitmaps goes in the status, composition and candidate windows.
    const unsigned places[7][4] = {{0, 0, 200, 24},  {0, 0, 320, 28}, {0, 0, 320, 30},
                                   {60, 2, 128, 20}, {4, 2, 60, 20},  {190, 2, 40, 20},
                                   {232, 2, 40, 20}};
    for (const auto& p : places)
        for (unsigned v : p) put16(out, v);
    out.resize(4096, '\0');
    return out;
}

Bytes characterListVersion() {
    Bytes out = "GGBH";
    put32(out, 0x00090000);
    put32(out, 20130805);  // date of the character list edition
    put32(out, 8105);      // characters in it
    putField(out, "通用规范汉字表", 32);
    return out;
}

Bytes gbkUnicodeTable() {
    Converter toUnicode("UTF-16LE", "GBK");
    const std::vector<std::string>& codes = gbkCodes();
    Bytes out = tableHeader("vorngbk.ovl", static_cast<uint32_t>(codes.size()), 4, "GBK内码表");
    for (const std::string& code : codes) {
        put8(out, static_cast<unsigned char>(code[1]));
        put8(out, static_cast<unsigned char>(code[0]));
        out += toUnicode(code);
    }
    return out;
}

Bytes big5GbkTable() {
    Converter toGbk("GBK", "BIG5");
    Bytes records;
    uint32_t count = 0;
    for (unsigned lead = 0xA4; lead <= 0xF9; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail > 0x7E && trail < 0xA1) continue;
            std::string big5{static_cast<char>(lead), static_cast<char>(trail)};
            std::string gbk = toGbk(big5);
            if (gbk.size() != 2) continue;
            records += big5 + gbk;
            ++count;
        }
    }
    return tableHeader("big5hz.ov1", count, 4, "BIG5汉字对照表") + records;
}

Bytes gbkHanziList() {
    Bytes records;
    uint32_t count = 0;
    for (const std::string& code : gbkCodes()) {
        if (!isHanzi(code)) continue;
        records += code;
        ++count;
    }
    return tableHeader("vrgbkhz.vrh", count, 2, "GBK汉字表") + records;
}

Bytes codeTable(const std::string& name, const std::string& kind) {
    Random random(name);
    Bytes records;
    uint32_t count = 0;
    uint32_t size = 0;
    std::string title;
    if (kind == "wubi") {
        title = "五笔编码表";
        size = 8;
        for (const std::string& h : commonHanzi()) {
            putField(records, wubiCode(random, 1 + random.below(4)), 4);
            records += h;
            put16(records, random.below(5000));
            ++count;
        }
    } else if (kind == "pinyin") {
        title = "拼音编码表";
        size = 10;
        for (size_t i = 0; i < 3755; ++i) {
            putField(records, random.pick(pinyinSyllables()), 6);
            records += hanzi(i);
            put16(records, random.below(5000));
            ++count;
        }
    } else if (kind == "strokes") {
        title = "汉字笔画表";
        size = 3;
        for (const std::string& h : commonHanzi()) {
            records += h;
            put8(records, 1 + random.below(random.below(3) == 0 ? 28 : 14));
            ++count;
        }
    } else if (kind == "phrases") {
        title = "词组编码表";
        size = 12;
        for (const std::string& phrase : phrases(random, 1500 + random.below(3000))) {
            putField(records, wubiCode(random, 4), 4);
            putField(records, phrase, 8);
            ++count;
        }
    } else if (kind == "symbols") {
        title = "符号表";
        size = 6;
        const std::string symbols =
            "，。、；：？！…—·‘’“”〔〕〈〉《》「」『』【】（）＋－×÷≈≠≤≥∞√℃※→←↑↓";
        for (size_t i = 0; i + 1 < symbols.size(); i += 2) {
            putField(records, wubiCode(random, 2), 2);
            records += symbols.substr(i, 2);
            put16(records, static_cast<unsigned>(i / 2));
            ++count;
        }
    } else {
        throw std::invalid_argument("no table kind " + kind);
    }
    return tableHeader(name, count, size, title) + records;
}

Bytes traditionalTable() {
    Bytes records;
    for (const auto& [simplified, traditional] : traditionalPairs())
        records += simplified + traditional;
    return tableHeader("vornjfk.ov1", static_cast<uint32_t>(traditionalPairs().size()), 4,
                       "简繁对照表") +
           records;
}

Bytes phraseListFile(const std::string& seed, size_t count) {
    Random random(seed);
    return crlfLines(phrases(random, count));
}

Bytes textFile(const std::string& name) {
    Random random(name);
    std::vector<std::string> lines;
    const std::vector<std::string>& syllables = pinyinSyllables();
    auto header = [&](const std::string& title) {
        lines.push_back("; 智能Marl输入平台 9.0  " + title);
        lines.push_back("; " + name);
    };
    if (name == "vrver.txt") {
        lines = {"智能Marl输入平台", "版本=9.0", "界面皮肤=冷色瓷面 粉色瓷面 小天使"};
    } else if (name == "softkey.txt") {
        header("软键盘");
        lines.insert(
            lines.end(),
            {"[希腊字母]",
             "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ",
             "αβγδεζηθικλμνξοπρστυφχψω",
             "[俄文字母]",
             "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ",
             "абвгдеёжзийклмнопрстуфхцчшщъыьэюя",
             "[注音符号]",
             "ㄅㄆㄇㄈㄉㄊㄋㄌㄍㄎㄏㄐㄑㄒㄓㄔㄕㄖㄗㄘㄙㄚㄛㄜㄝㄞㄟㄠㄡㄢㄣㄤㄥㄦㄧㄨㄩ",
             "[拼音字母]",
             "āáǎàōóǒòēéěèīíǐìūúǔùǖǘǚǜü",
             "[标点符号]",
             "，。、；：？！…—·ˉˇ¨‘’“”々～‖∶＂＇｀｜〃〔〕〈〉《》「」『』．〖〗【】（）［］｛｝",
             "[数学符号]",
             "≈≡≠＝≤≥＜＞≮≯∷±＋－×÷／∫∮∝∞∧∨∑∏∪∩∈∵∴⊥∥∠⌒⊙≌∽√",
             "[单位符号]",
             "°′″＄￡￥‰％℃¤￠",
             "[数字序号]",
             "ⅰⅱⅲⅳⅴⅵⅶⅷⅸⅹ⒈⒉⒊⒋⒌⒍⒎⒏⒐⒑①②③④⑤⑥⑦⑧⑨⑩ⅠⅡⅢⅣⅤⅥⅦⅧⅨⅩⅪⅫ",
             "[制表符]",
             "─━│┃┄┅┆┇┈┉┊┋┌┍┎┏┐┑┒┓└┕┖┗┘┙┚┛├┝┞┟┠┡┢┣┤┥┦┧┨┩┪┫┬┭┮┯┰┱┲┳┴┵┶┷┸┹┺┻┼┽┾┿╀╁╂╃╄╅╆╇╈╉╊╋",
             "[日文平假名]",
             "ぁあぃいぅうぇえぉおかがきぎくぐけげこごさざしじすずせぜそぞただちぢっつづてでとどなにぬねのはばぱひびぴふぶぷへべぺほぼぽまみむめもゃやゅゆょよらりるれろゎわゐゑをん",
             "[特殊符号]",
             "§№☆★○●◎◇◆□■△▲※→←↑↓〓"});
    } else if (name.rfind("vrpykey", 0) == 0) {
        // A double-Pinyin scheme: two keys per syllable, initials and finals on letter keys.
        int scheme = name[7] - '0';
        header("双拼方案" + std::to_string(scheme + 1));
        lines.push_back("[双拼方案" + std::to_string(scheme + 1) + "]");
        std::string keys = "abcdefghijklmnopqrstuvwxyz";
        for (size_t i = keys.size() - 1; i > 0; --i)
            std::swap(keys[i], keys[random.below(static_cast<uint32_t>(i + 1))]);
        size_t k = 0;
        for (const char* initial : {"zh", "ch", "sh"})
            lines.push_back(std::string(initial) + "=" + keys[k++ % 26]);
        for (const char* final :
             {"iu",   "ei",   "uan", "ue",  "un", "uo", "ie", "ong", "iong", "ai",
              "en",   "eng",  "ang", "an",  "ao", "ou", "ia", "ua",  "ing",  "uai",
              "uang", "iang", "ian", "iao", "in", "ui", "v",  "er"})
            lines.push_back(std::string(final) + "=" + keys[k++ % 26]);
    } else if (name == "vrpyzdfy.txt") {
        header("模糊音");
        for (const char* pair : {"z=zh", "c=ch", "s=sh", "n=l", "f=h", "r=l", "an=ang", "en=eng",
                                 "in=ing", "ian=iang", "uan=uang"})
            lines.push_back(std::string(pair) + "=" + (random.below(2) ? "1" : "0"));
    } else if (name == "jfhzb.txt" || name == "jfb5hzb.txt") {
        header(name == "jfhzb.txt" ? "简繁汉字表" : "简繁BIG5汉字表");
        for (const auto& [simplified, traditional] : traditionalPairs())
            lines.push_back(simplified + " " + traditional);
    } else if (name == "ftvrzdym.txt" || name == "ftpyzdym.txt") {
        header("繁体自定义词组");
        const auto& pairs = traditionalPairs();
        for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
            std::string code = name[2] == 'v' ? wubiCode(random, 4)
                                              : random.pick(syllables) + random.pick(syllables);
            lines.push_back(code + " " + pairs[i].second + pairs[i + 1].second);
        }
    } else if (name == "vrwbjm.txt") {
        header("五笔简码");
        for (size_t i = 0; i < size_t{25} * 26; ++i)
            lines.push_back(wubiCode(random, i < 25 ? 1 : 2) + " " + hanzi(i * 5));
    } else if (name == "vrpyjm1.txt") {
        header("拼音简码");
        for (size_t i = 0; i < syllables.size(); ++i)
            lines.push_back(syllables[i].substr(0, 1) +
                            syllables[i].substr(syllables[i].size() - 1) + " " + hanzi(i * 9));
    } else if (name == "pygfhzb.txt" || name == "vornynhz.txt" || name == "pyqspmb.txt") {
        header(name == "pygfhzb.txt" ? "规范汉字拼音表"
                                     : (name == "vornynhz.txt" ? "疑难汉字" : "拼音全拼码表"));
        size_t first = name == "vornynhz.txt" ? 3755 : 0,
               count = name == "vornynhz.txt" ? 600 : 3755;
        for (size_t i = first; i < first + count; ++i)
            lines.push_back(hanzi(i) + " " + random.pick(syllables));
    } else if (name == "wbgfhzb.txt" || name == "vrwbpy.txt") {
        header(name == "wbgfhzb.txt" ? "规范汉字五笔表" : "五笔拼音对照");
        for (size_t i = 0; i < 3755; ++i) {
            std::string line = hanzi(i) + " " + wubiCode(random, 4);
            if (name == "vrwbpy.txt") line += " " + random.pick(syllables);
            lines.push_back(line);
        }
    } else if (name == "vorndwdw.txt" || name == "vrfcz.txt") {
        header(name == "vrfcz.txt" ? "分词词表" : "定位词组");
        for (const std::string& phrase : phrases(random, 800)) lines.push_back(phrase);
    } else if (name == "vrspeeke.txt" || name.rfind("vrspk", 0) == 0) {
        header("双拼键位提示");
        for (char key = 'a'; key <= 'z'; ++key)
            lines.push_back(std::string(1, key) + "=" + random.pick(syllables) + " " +
                            random.pick(syllables));
    } else if (name == "xghjwjt.txt" || name == "xghjwjw.txt") {
        header(name == "xghjwjt.txt" ? "环境设置（拼音）" : "环境设置（五笔）");
        lines.insert(lines.end(), {"候选个数=9", "词语联想=1", "自动调频=1", "中英切换=Shift",
                                   "翻页键=-=", "全角=0", "中文标点=1", "状态窗口=1"});
    } else {
        throw std::invalid_argument("no text file " + name);
    }
    return crlfLines(lines);
}

Bytes symbolTableDtd() {
    return crlfLines({
        "<?xml version=\"1.0\" encoding=\"GBK\"?>",
        "<!-- 智能Marl输入平台 9.0  拼音符号码表 -->",
        "<!ELEMENT symbols (group+)>",
        "<!ATTLIST symbols version CDATA #REQUIRED>",
        "<!ELEMENT group (symbol+)>",
        "<!ATTLIST group name CDATA #REQUIRED key CDATA #IMPLIED>",
        "<!ELEMENT symbol (#PCDATA)>",
        "<!ATTLIST symbol code CDATA #REQUIRED>",
    });
}

Bytes wubiAnimation() {
    // The 25 root keys of Wubi appear one per frame on a 5 x 5 grid: one square shape placed
    // 25 times. Sizes in twips (1/20 pixel).
    const int32_t side = 600, gap = 80;
    Bytes shape;
    put16(shape, 1);  // character id
    shape += swfRect(0, side, 0, side, 12);
    put8(shape, 1);  // one fill style: solid
    put8(shape, 0x00);
    for (unsigned v : {126u, 176u, 240u}) put8(shape, v);
    put8(shape, 0);     // no line styles
    put8(shape, 0x10);  // one bit for fill styles, none for line styles
    SwfBits b;
    b.unsignedBits(0, 1);  // style change: fill style 1, move to (0,0)
    b.unsignedBits(0, 1);
    b.unsignedBits(0, 1);
    b.unsignedBits(1, 1);
    b.unsignedBits(0, 1);
    b.unsignedBits(1, 1);
    b.unsignedBits(1, 5);
    b.signedBits(0, 1);
    b.signedBits(0, 1);
    b.unsignedBits(1, 1);
    const int32_t edges[4][2] = {{side, 0}, {0, side}, {-side, 0}, {0, -side}};
    for (const auto& e : edges) {
        b.unsignedBits(1, 1);  // edge
        b.unsignedBits(1, 1);  // straight
        b.unsignedBits(9, 4);  // 11 bits per delta
        b.unsignedBits(1, 1);  // general line
        b.signedBits(e[0], 11);
        b.signedBits(e[1], 11);
    }
    b.unsignedBits(0, 6);  // end of shape
    shape += b.take();

    Bytes tags = swfTag(9, Bytes("\xF0\xF4\xFA", 3));  // background colour
    tags += swfTag(2, shape);
    for (int key = 0; key < 25; ++key) {
        Bytes place;
        put8(place, 0x06);  // has character, has matrix
        put16(place, static_cast<unsigned>(key + 1));
        put16(place, 1);
        SwfBits m;
        m.unsignedBits(0, 1);  // no scale
        m.unsignedBits(0, 1);  // no rotation
        m.unsignedBits(16, 5);
        m.signedBits(800 + (key % 5) * (side + gap), 16);
        m.signedBits(600 + (key / 5) * (side + gap), 16);
        place += m.take();
        tags += swfTag(26, place);
        tags += swfTag(1, {});
    }
    tags += swfTag(0, {});

    Bytes body = swfRect(0, 5500, 0, 4600, 14);
    put16(body, 12 << 8);  // 12 frames a second, 8.8 fixed point
    put16(body, 25);
    Bytes out = "FWS";
    put8(out, 6);
    put32(out, static_cast<uint32_t>(8 + body.size() + tags.size()));
    return out + body + tags;
}

}  // namespace content
