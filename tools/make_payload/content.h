// Building blocks of the stand-in payload: byte strings, a seeded random source, GBK text.
// Everything here is deterministic: the same build inputs give the same bytes on every machine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace content {

using Bytes = std::string;

void put8(Bytes& out, unsigned value);
void put16(Bytes& out, unsigned value);
void put32(Bytes& out, uint32_t value);
// A zero-padded fixed-size text field.
void putField(Bytes& out, const std::string& text, size_t size);

// splitmix64: small, fast and the same everywhere. Each file seeds its own from its name, so
// adding or reordering files changes no other file.
class Random {
public:
    explicit Random(const std::string& seed);
    uint32_t next();
    uint32_t below(uint32_t bound);
    double unit();  // [0, 1)
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[below(static_cast<uint32_t>(items.size()))];
    }

private:
    uint64_t state_;
};

// The 6,763 hanzi of GB2312 in code order (level 1, ordered by reading, then level 2), each as
// its two GBK bytes.
const std::vector<std::string>& commonHanzi();
// Hanzi number `index` of that list (wrapping around).
const std::string& hanzi(size_t index);
// The Pinyin syllables of Mandarin (without tones).
const std::vector<std::string>& pinyinSyllables();
// A Wubi code: one to four letters of the 25 keys a to y.
std::string wubiCode(Random& random, size_t length);

// Lines joined with CR LF, the last one too.
Bytes crlfLines(const std::vector<std::string>& lines);

}  // namespace content
