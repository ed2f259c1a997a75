// The phrase-library normalisation (a restored "vorncyzk.bak"): in place, within the 12 bytes of
// room its caller leaves, and its result in the stored form it promises.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "payload/archive.h"
#include "payload/extraction.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> phrases(new uint8_t[size + 12]);
    if (size) std::memcpy(phrases.get(), data, size);
    size_t kept = compactPhraseLibrary(phrases.get(), size);
    FUZZ_CHECK(kept <= size);
    if (size >= 12 && std::memcmp(data + size - 12, "VORN", 4) == 0) {
        // Already in stored form: written back unchanged.
        FUZZ_CHECK(kept == size - 12 && std::memcmp(phrases.get(), data, size) == 0);
        return 0;
    }
    FUZZ_CHECK(std::memcmp(phrases.get() + kept, "VORN", 4) == 0);
    // Every phrase counted holds two characters and its separator at least.
    FUZZ_CHECK(uint64_t{readLe32(phrases.get() + kept + 8)} * 6 <= kept);
    return 0;
}
