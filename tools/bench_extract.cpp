// Benchmark of payload extraction: a container shaped like the payload (137 entries, one of about
// 1.9 MB, the rest small) is unpacked and checked, and compared with a floor measured in the same
// run: bare uncompress and MD5 of the same entries in memory. Instructions as well as time: the
// program runs itself once more under callgrind, which counts each part apart (one round each).
//   bench_extract [rounds]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/callgrind.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// Under callgrind: the part's instructions alone, dumped under its name.
template <class F>
void counted(const char* name, F&& run) {
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    run();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(name);
}

// The instructions of the floor and of extraction, from this program run once more under
// callgrind (--counted); false when that cannot be done.
bool countInstructions(const char* self, unsigned long long& floor, unsigned long long& extraction) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("vorn-bench-callgrind-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string out = "--callgrind-out-file=" + (dir / "out").string();
    pid_t child = fork();
    if (child == 0) {
        // callgrind's own report would mix with the benchmark's figures.
        int quietErrors = open("/dev/null", O_WRONLY);
        if (quietErrors >= 0) dup2(quietErrors, STDERR_FILENO);
        execlp("valgrind", "valgrind", "--tool=callgrind", "--collect-atstart=no", out.c_str(), self,
               "--counted", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    bool ran = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    floor = extraction = 0;
    // Each dump names its trigger ("desc: Trigger: Client Request: floor") and its total.
    for (const auto& file : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(file.path());
        std::string line, part;
        unsigned long long total = 0;
        while (std::getline(in, line)) {
            if (line.rfind("desc: Trigger: Client Request: ", 0) == 0) part = line.substr(31);
            else if (line.rfind("totals: ", 0) == 0) total = std::strtoull(line.c_str() + 8, nullptr, 10);
        }
        if (part == "floor") floor = total;
        else if (part == "extraction") extraction = total;
    }
    std::filesystem::remove_all(dir);
    return ran && floor > 0 && extraction > 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool countOnly = argc > 1 && std::string(argv[1]) == "--counted";
    long asked = argc > 1 && !countOnly ? std::strtol(argv[1], nullptr, 10) : 15;
    int rounds = asked < 1 ? 1 : asked > 10000 ? 10000 : static_cast<int>(asked);
    plat::setMessageSink(quiet);
    std::string payload = buildPayload();
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(payload.data());
    std::vector<uint8_t> work(workBufferSize, 0);
    uint8_t* content = work.data() + scratchNameField;
    size_t capacity = workBufferSize - scratchNameField - scratchDigestGap - md5TextSize;

    size_t inflatedTotal = 0;
    uint32_t entries = 0;
    auto floorRun = [&] {
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
    };
    uint32_t good = 0;
    auto unpackRun = [&] {
        good = 0;
        ArchiveWalk walk(bytes, payload.size());
        ArchiveEntry entry;
        char name[scratchNameField];
        while (walk.next(entry))
            if (entryName(entry, name, sizeof name) && unpackVerified(entry, content, capacity) > 0) ++good;
    };
    if (countOnly) {
        counted("floor", floorRun);
        counted("extraction", unpackRun);
        return good == entries ? 0 : 1;
    }
    double floor = bestSeconds(rounds, floorRun);
    double unpack = bestSeconds(rounds, unpackRun);

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
    unsigned long long floorInstructions = 0, extractionInstructions = 0;
    if (countInstructions(argv[0], floorInstructions, extractionInstructions)) {
        std::printf("instructions (callgrind, one round): floor %llu, extraction without writes %llu\n",
                    floorInstructions, extractionInstructions);
        std::printf("ratio of instructions extraction / floor: %.3f (goal <= 1.05)\n",
                    static_cast<double>(extractionInstructions) / static_cast<double>(floorInstructions));
    } else {
        std::printf("instructions: not counted (valgrind's callgrind did not run)\n");
        allWritten = false;
    }
    std::printf("peak memory (max RSS): %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return good == entries && allWritten ? 0 : 1;
}
