// Bitmap files for painting tests: every pixel a colour of its own, so a test can tell which
// source pixel landed where.
#pragma once
#include <cstdint>
#include <string>

#include "platform/paint.h"

// Unique for bitmaps up to 512 by 512.
inline uint32_t sourceColour(int x, int y) {
    return plat::rgb(static_cast<unsigned>(x & 0xFF), static_cast<unsigned>(y & 0xFF),
                     static_cast<unsigned>(0x40 + 16 * (x >> 8) + (y >> 8)));
}

inline void storeLe(std::string& s, size_t at, uint32_t value, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// A 24-bit BI_RGB bitmap file, bottom-up unless asked otherwise.
inline std::string bitmapFile(int width, int height, bool topDown = false) {
    size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    std::string file(54 + stride * static_cast<size_t>(height), '\0');
    file[0] = 'B';
    file[1] = 'M';
    storeLe(file, 2, static_cast<uint32_t>(file.size()));
    storeLe(file, 10, 54);
    storeLe(file, 14, 40);
    storeLe(file, 18, static_cast<uint32_t>(width));
    storeLe(file, 22, static_cast<uint32_t>(topDown ? -height : height));
    storeLe(file, 26, 1, 2);
    storeLe(file, 28, 24, 2);
    for (int row = 0; row < height; ++row) {
        int y = topDown ? row : height - 1 - row;
        size_t at = 54 + stride * static_cast<size_t>(row);
        for (int x = 0; x < width; ++x) {
            uint32_t c = sourceColour(x, y);
            file[at + 3 * static_cast<size_t>(x)] = static_cast<char>((c >> 16) & 0xFF);
            file[at + 3 * static_cast<size_t>(x) + 1] = static_cast<char>((c >> 8) & 0xFF);
            file[at + 3 * static_cast<size_t>(x) + 2] = static_cast<char>(c & 0xFF);
        }
    }
    return file;
}

// An 8-bit bitmap with a two-colour table: even columns the first colour, odd the second.
inline std::string stripedBitmapFile(int width, int height, uint32_t even, uint32_t odd) {
    size_t stride = (static_cast<size_t>(width) + 3) / 4 * 4;
    std::string file(54 + 8 + stride * static_cast<size_t>(height), '\0');
    file[0] = 'B';
    file[1] = 'M';
    storeLe(file, 2, static_cast<uint32_t>(file.size()));
    storeLe(file, 10, 62);
    storeLe(file, 14, 40);
    storeLe(file, 18, static_cast<uint32_t>(width));
    storeLe(file, 22, static_cast<uint32_t>(height));
    storeLe(file, 26, 1, 2);
    storeLe(file, 28, 8, 2);
    storeLe(file, 46, 2);  // colours used
    uint32_t table[2] = {even, odd};
    for (int i = 0; i < 2; ++i) {
        // RGBQUAD: blue, green, red, reserved.
        file[54 + 4 * static_cast<size_t>(i)] = static_cast<char>((table[i] >> 16) & 0xFF);
        file[55 + 4 * static_cast<size_t>(i)] = static_cast<char>((table[i] >> 8) & 0xFF);
        file[56 + 4 * static_cast<size_t>(i)] = static_cast<char>(table[i] & 0xFF);
    }
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x)
            file[62 + stride * static_cast<size_t>(row) + static_cast<size_t>(x)] = static_cast<char>(x & 1);
    return file;
}
