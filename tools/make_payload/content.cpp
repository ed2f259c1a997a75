#include "content.h"

#include <sstream>

namespace content {

void put8(Bytes& out, unsigned value) { out += static_cast<char>(value & 0xFF); }

void put16(Bytes& out, unsigned value) {
    put8(out, value);
    put8(out, value >> 8);
}

void put32(Bytes& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void putField(Bytes& out, const std::string& text, size_t size) {
    std::string field = text.substr(0, size);
    field.resize(size, '\0');
    out += field;
}

Random::Random(const std::string& seed) : state_(0x9E3779B97F4A7C15ull) {
    // FNV-1a of the seed text.
    uint64_t hash = 0xCBF29CE484222325ull;
    for (unsigned char c : seed) {
        hash ^= c;
        hash *= 0x100000001B3ull;
    }
    state_ ^= hash;
}

uint32_t Random::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

uint32_t Random::below(uint32_t bound) {
    return bound == 0 ? 0 : static_cast<uint32_t>((static_cast<uint64_t>(next()) * bound) >> 32);
}

double Random::unit() { return next() / 4294967296.0; }

const std::vector<std::string>& commonHanzi() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> list;
        for (unsigned lead = 0xB0; lead <= 0xF7; ++lead) {
            for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
                if (lead == 0xD7 && trail >= 0xFA) continue;  // unassigned end of level 1
                list.push_back({static_cast<char>(lead), static_cast<char>(trail)});
            }
        }
        return list;
    }();
    return all;
}

const std::string& hanzi(size_t index) { return commonHanzi()[index % commonHanzi().size()]; }

const std::vector<std::string>& pinyinSyllables() {
    static const std::vector<std::string> all = [] {
        static const char* const text =
            "a ai an ang ao ba bai ban bang bao bei ben beng bi bian biao bie bin bing bo bu ca "
            "cai can cang cao ce cen ceng cha chai chan chang chao che chen cheng chi chong chou "
            "chu chua chuai chuan chuang chui chun chuo ci cong cou cu cuan cui cun cuo da dai "
            "dan dang dao de dei den deng di dia dian diao die ding diu dong dou du duan dui dun "
            "duo e ei en eng er fa fan fang fei fen feng fo fou fu ga gai gan gang gao ge gei gen "
            "geng gong gou gu gua guai guan guang gui gun guo ha hai han hang hao he hei hen heng "
            "hong hou hu hua huai huan huang hui hun huo ji jia jian jiang jiao jie jin jing jiong "
            "jiu ju juan jue jun ka kai kan kang kao ke ken keng kong kou ku kua kuai kuan kuang "
            "kui kun kuo la lai lan lang lao le lei leng li lia lian liang liao lie lin ling liu "
            "lo long lou lu lv luan lve lun luo ma mai man mang mao me mei men meng mi mian miao "
            "mie min ming miu mo mou mu na nai nan nang nao ne nei nen neng ni nian niang niao "
            "nie nin ning niu nong nou nu nv nuan nve nuo o ou pa pai pan pang pao pei pen peng "
            "pi pian piao pie pin ping po pou pu qi qia qian qiang qiao qie qin qing qiong qiu qu "
            "quan que qun ran rang rao re ren reng ri rong rou ru rua ruan rui run ruo sa sai san "
            "sang sao se sen seng sha shai shan shang shao she shei shen sheng shi shou shu shua "
            "shuai shuan shuang shui shun shuo si song sou su suan sui sun suo ta tai tan tang "
            "tao te teng ti tian tiao tie ting tong tou tu tuan tui tun tuo wa wai wan wang wei "
            "wen weng wo wu xi xia xian xiang xiao xie xin xing xiong xiu xu xuan xue xun ya yan "
            "yang yao ye yi yin ying yo yong you yu yuan yue yun za zai zan zang zao ze zei zen "
            "zeng zha zhai zhan zhang zhao zhe zhei zhen zheng zhi zhong zhou zhu zhua zhuai "
            "zhuan zhuang zhui zhun zhuo zi zong zou zu zuan zui zun zuo";
        std::vector<std::string> list;
        std::istringstream words(text);
        for (std::string word; words >> word;) list.push_back(word);
        return list;
    }();
    return all;
}

std::string wubiCode(Random& random, size_t length) {
    std::string code;
    for (size_t i = 0; i < length; ++i) code += static_cast<char>('a' + random.below(25));
    return code;
}

Bytes crlfLines(const std::vector<std::string>& lines) {
    Bytes out;
    for (const std::string& line : lines) out += line + "\r\n";
    return out;
}

}  // namespace content
