// What the fuzz targets share: a fresh simulated machine for every input, the input taken apart
// into fields, and a work block whose unused end AddressSanitizer watches.
#pragma once
#include <sanitizer/asan_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "common/install_state.h"
#include "platform/sim/machine.h"

// A property the code under test must keep whatever the input: breaking it is a finding.
#define FUZZ_CHECK(condition)                \
    do {                                     \
        if (!(condition)) __builtin_trap(); \
    } while (0)

namespace fuzz {

// A new machine and a new InstallState: nothing one input leaves behind reaches the next.
inline sim::Machine& freshMachine(sim::Os os = sim::Os::win10_64) {
    static std::optional<sim::Machine> machine;
    machine.reset();
    resetInstallState();
    machine.emplace(os);
    return *machine;
}

// The input read front to back; past its end every read gives zeros or nothing.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return position_ >= size_; }
    uint8_t byte() { return empty() ? 0 : data_[position_++]; }
    uint16_t le16() {
        uint16_t low = byte();
        return static_cast<uint16_t>(low | (byte() << 8));
    }
    std::string bytes(size_t count) {
        size_t left = size_ - position_;
        if (count > left) count = left;
        std::string taken(reinterpret_cast<const char*>(data_ + position_), count);
        position_ += count;
        return taken;
    }
    // A length byte, then that many bytes.
    std::string field() { return bytes(byte()); }
    std::string rest() { return bytes(size_ - position_); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// workBuffer as window creation makes it (2 MB, zero-filled). watchFrom poisons everything past
// what a step put there, so that reading beyond a file's bytes is caught inside the block too.
class WorkBlock {
public:
    WorkBlock() : bytes_(new uint8_t[workBufferSize]()) {}
    ~WorkBlock() { ASAN_UNPOISON_MEMORY_REGION(bytes_.get(), workBufferSize); }
    WorkBlock(const WorkBlock&) = delete;
    WorkBlock& operator=(const WorkBlock&) = delete;
    uint8_t* data() { return bytes_.get(); }
    void watchFrom(size_t used) {
        ASAN_UNPOISON_MEMORY_REGION(bytes_.get(), workBufferSize);
        if (used < workBufferSize) ASAN_POISON_MEMORY_REGION(bytes_.get() + used, workBufferSize - used);
    }
    void release() { ASAN_UNPOISON_MEMORY_REGION(bytes_.get(), workBufferSize); }

private:
    std::unique_ptr<uint8_t[]> bytes_;
};

// Every file of the machine, by its path on the host.
inline std::set<std::string> files(const sim::Machine& machine) {
    std::set<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(machine.root()))
        if (entry.is_regular_file()) paths.insert(entry.path().string());
    return paths;
}

// Is the text terminated within its field?
inline bool terminated(const char* text, size_t capacity) {
    return std::memchr(text, '\0', capacity) != nullptr;
}

}  // namespace fuzz
