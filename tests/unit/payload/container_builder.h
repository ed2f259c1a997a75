// Builds containers in memory for tests, including damaged and hostile ones.
#pragma once
#include <zlib.h>

#include <cstring>
#include <string>

#include "payload/archive.h"

struct TestEntry {
    std::string name;
    std::string content;
    std::string digest = "";  // empty: the right one
};

inline std::string deflated(const std::string& content) {
    std::string out(compressBound(content.size()), '\0');
    uLongf length = out.size();
    compress2(reinterpret_cast<Bytef*>(out.data()), &length,
              reinterpret_cast<const Bytef*>(content.data()), content.size(), Z_DEFAULT_COMPRESSION);
    out.resize(length);
    return out;
}

inline void putLe32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

inline std::string buildContainer(const std::vector<TestEntry>& entries, bool older = false) {
    std::string c = older ? "CH" : "C0";
    c.resize(10, '\0');
    putLe32(c, 6, static_cast<uint32_t>(entries.size()));
    for (const TestEntry& e : entries) {
        std::string data = deflated(e.content);
        std::string header(older ? 20 : 56, '\0');
        header[0] = 'C';
        header[1] = 'F';
        std::memcpy(header.data() + 2, e.name.data(),
                    std::min(e.name.size(), older ? size_t{14} : size_t{16}));
        if (older) {
            putLe32(header, 16, static_cast<uint32_t>(data.size()));
        } else {
            char digest[md5TextSize];
            md5Hex(e.content.data(), e.content.size(), digest);
            std::string d = e.digest.empty() ? std::string(digest, 32) : e.digest;
            std::memcpy(header.data() + 18, d.data(), std::min<size_t>(d.size(), 32));
            putLe32(header, 52, static_cast<uint32_t>(data.size()));
        }
        c += header + data;
    }
    putLe32(c, 2, static_cast<uint32_t>(c.size()));
    return c;
}
