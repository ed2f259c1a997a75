// Benchmark of payload extraction: a container shaped like the payload (137 entries, one of about
// 1.9 MB, the rest small) is unpacked and checked, and compared with a floor measured in the same
// run: bare uncompress and MD5 of the same entries in memory.
#include <sys/resource.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/install_state.h"
#include "common/text.h"
#include "payload/archive.h"
#include "payload/extraction.h"
#include "platform/crypto.h"
#include "platform/ui.h"

namespace {

// <chrono> cannot be used under the GBK execution character set (its unit suffixes).
double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Text-like content: dictionary lines drawn from a small vocabulary, as the libraries are.
std::string dictionary(std::mt19937& rng, size_t size) {
    static const char* syllables[] = {"zhong", "guo", "ren", "min", "shu", "ru", "fa", "pin",
                                      "yin", "wu", "bi", "zi", "ci", "yu", "ku", "ma"};
    std::string out;
    while (out.size() < size) {
        out += syllables[rng() % 16];
        out += syllables[rng() % 16];
        out += ' ';
        out += static_cast<char>(0xB0 + rng() % 0x30);
        out += static_cast<char>(0xA1 + rng() % 0x5E);
        out += static_cast<char>(0xB0 + rng() % 0x30);
        out += static_cast<char>(0xA1 + rng() % 0x5E);
        out += "\r\n";
    }
    out.resize(size);
    return out;
}

std::string bitmapLike(std::mt19937& rng, size_t size) {
    std::string out;
    while (out.size() < size) out += std::string(1 + rng() % 40, static_cast<char>(rng() % 8 * 30));
    out.resize(size);
    return out;
}

std::string noise(std::mt19937& rng, size_t size) {
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(rng());
    return out;
}

std::string buildPayload() {
    std::mt19937 rng(9);
    std::string c = "C0";
    c.resize(10, '\0');
    uint32_t count = 137;
    for (uint32_t i = 0; i < count; ++i) {
        std::string content;
        if (i == 47) content = dictionary(rng, 1882706);
        else if (i % 5 == 0) content = noise(rng, 2000 + rng() % 30000);  // jpeg, wav, modules
        else if (i % 5 == 1) content = dictionary(rng, 1000 + rng() % 60000);
        else content = bitmapLike(rng, 500 + rng() % 20000);
        std::string packed(compressBound(content.size()), '\0');
        uLongf length = packed.size();
        compress2(reinterpret_cast<Bytef*>(packed.data()), &length,
                  reinterpret_cast<const Bytef*>(content.data()), content.size(), Z_DEFAULT_COMPRESSION);
        std::string header(56, '\0');
        header[0] = 'C';
        header[1] = 'F';
        std::string name = "file" + std::to_string(i) + ".dat";
        header.replace(2, name.size(), name);
        char digest[md5TextSize];
        md5Hex(content.data(), content.size(), digest);
        header.replace(18, 32, digest, 32);
        writeLe32(reinterpret_cast<uint8_t*>(header.data()) + 52, static_cast<uint32_t>(length));
        c += header + packed.substr(0, length);
    }
    writeLe32(reinterpret_cast<uint8_t*>(c.data()) + 2, static_cast<uint32_t>(c.size()));
    writeLe32(reinterpret_cast<uint8_t*>(c.data()) + 6, count);
    return c;
}

template <class F>
double bestSeconds(int rounds, F&& run) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        double start = now();
        run();
        best = std::min(best, now() - start);
    }
    return best;
}

int quiet(const char16_t*, const char16_t*, unsigned) { return plat::idOk; }

}  // namespace

int main(int argc, char** argv) {
    long asked = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 15;
    int rounds = asked < 1 ? 1 : asked > 10000 ? 10000 : static_cast<int>(asked);
    plat::setMessageSink(quiet);
    std::string payload = buildPayload();
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(payload.data());
    std::vector<uint8_t> work(workBufferSize, 0);
    uint8_t* content = work.data() + scratchNameField;
    size_t capacity = workBufferSize - scratchNameField - scratchDigestGap - md5TextSize;

    size_t inflatedTotal = 0;
    uint32_t entries = 0;
    double floor = bestSeconds(rounds, [&] {
        inflatedTotal = 0;
        entries = 0;
        ArchiveWalk walk(bytes, payload.size());
        ArchiveEntry entry;
        while (walk.next(entry)) {
            uLongf length = capacity;
            uncompress(content, &length, entry.data, entry.compressedLength);
            uint8_t digest[16];
            plat::md5Digest(content, length, digest);
            inflatedTotal += length;
            ++entries;
        }
    });

    uint32_t good = 0;
    double unpack = bestSeconds(rounds, [&] {
        good = 0;
        ArchiveWalk walk(bytes, payload.size());
        ArchiveEntry entry;
        char name[scratchNameField];
        while (walk.next(entry))
            if (entryName(entry, name, sizeof name) && unpackVerified(entry, content, capacity) > 0) ++good;
    });

    std::filesystem::path dir = std::filesystem::temp_directory_path() / "vorn-bench-extract";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    copyText(state.installDir, (dir.string() + "/").c_str());
    bool allWritten = false;
    double withWrites = bestSeconds(std::max(1, rounds / 3), [&] {
        allWritten = extractAll(bytes, payload.size(), work.data(), work.size());
    });
    std::filesystem::remove_all(dir);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double mb = static_cast<double>(inflatedTotal) / 1e6;
    std::printf("container: %zu bytes, %u entries, %.2f MB inflated (%u verified)\n", payload.size(),
                entries, mb, good);
    std::printf("floor (uncompress + MD5 in memory): %8.2f ms  %8.0f entries/s  %7.1f MB/s\n",
                floor * 1e3, entries / floor, mb / floor);
    std::printf("extraction without writes:          %8.2f ms  %8.0f entries/s  %7.1f MB/s\n",
                unpack * 1e3, entries / unpack, mb / unpack);
    std::printf("extraction with writes (%s):      %8.2f ms  %8.0f entries/s  %7.1f MB/s\n",
                allWritten ? "all ok" : "FAILED", withWrites * 1e3, entries / withWrites,
                mb / withWrites);
    std::printf("ratio extraction-without-writes / floor: %.3f (goal <= 1.3)\n", unpack / floor);
    std::printf("peak memory (max RSS): %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return good == entries && allWritten ? 0 : 1;
}
