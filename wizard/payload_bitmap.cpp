#include "wizard/payload_bitmap.h"

#include <algorithm>
#include <cstring>

#include "common/install_state.h"
#include "payload/archive.h"

namespace {

constexpr size_t fileHeaderSize = 14;
constexpr size_t minInfoHeaderSize = 40;
constexpr size_t maxInfoHeaderSize = 124;  // BITMAPV5HEADER

uint16_t readLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The entry's name field holds exactly `name`, terminated inside the field.
bool namedAs(const ArchiveEntry& entry, const char* name) {
    size_t length = std::strlen(name);
    return length < entry.nameFieldSize && std::memcmp(entry.nameField, name, length) == 0 &&
           entry.nameField[length] == '\0';
}

}  // namespace

size_t inflatePayloadEntry(const char* name) {
    if (state.payload == nullptr || state.workBuffer == nullptr || name == nullptr) return 0;
    uint8_t* target = state.workBuffer + inflatedEntryOffset;
    target[0] = 0;
    target[1] = 0;
    ArchiveWalk walk(state.payload, state.payloadSize);
    ArchiveEntry entry;
    while (walk.next(entry)) {
        if (!namedAs(entry, name)) continue;
        if (entry.compressedLength == 0) return 0;
        return inflateEntry(entry, target, workBufferSize - inflatedEntryOffset);
    }
    return 0;
}

bool bitmapFileFits(const uint8_t* file, size_t length) {
    if (file == nullptr || length < fileHeaderSize + minInfoHeaderSize) return false;
    if (file[0] != 'B' || file[1] != 'M') return false;
    const uint8_t* info = file + fileHeaderSize;
    uint32_t infoSize = readLe32(info);
    if (infoSize < minInfoHeaderSize || infoSize > maxInfoHeaderSize ||
        fileHeaderSize + infoSize > length)
        return false;
    int32_t width = static_cast<int32_t>(readLe32(info + 4));
    int32_t height = static_cast<int32_t>(readLe32(info + 8));
    uint16_t planes = readLe16(info + 12);
    uint16_t bitCount = readLe16(info + 14);
    uint32_t compression = readLe32(info + 16);
    uint32_t coloursUsed = readLe32(info + 32);
    if (width <= 0 || height == 0 || height == INT32_MIN || planes != 1 || compression != 0)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return false;
    uint64_t tableLimit = bitCount <= 8 ? (uint64_t{1} << bitCount) : 256;
    uint64_t entries = coloursUsed;
    if (entries == 0 && bitCount <= 8) entries = tableLimit;
    if (entries > tableLimit) return false;
    if (fileHeaderSize + infoSize + entries * 4 > length) return false;

    uint64_t rows = height > 0 ? static_cast<uint64_t>(height) : static_cast<uint64_t>(-int64_t{height});
    uint64_t stride = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
    uint64_t bitsOffset = readLe32(file + 10);
    return bitsOffset <= length && stride * rows <= length - bitsOffset;
}

void drawPayloadBitmap(int clipWidth, int clipHeight, plat::DeviceContext dc, const char* name,
                       int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc,
                       int hSrc) {
    size_t length = inflatePayloadEntry(name);
    if (length == 0) return;
    const uint8_t* file = state.workBuffer + inflatedEntryOffset;
    if (!bitmapFileFits(file, length)) return;

    // The size as the low 16 bits of the header's fields.
    int bw = readLe16(file + 18);
    int bh = readLe16(file + 22);
    int clipRight = std::min(clipWidth, xDest + bw);
    int clipBottom = std::min(clipHeight, yDest + bh);
    int xs = std::min(xSrc, bw);
    int ys = std::min(ySrc, bh);
    int ws = xs + wSrc > bw ? bw - xs : wSrc;
    int hs = ys + hSrc > bh ? bh - ys : hSrc;
    int xd = std::min(xDest, clipRight);
    int yd = std::min(yDest, clipBottom);
    int wd = xd < clipRight ? wDest : 0;
    int hd = yd < clipBottom ? hDest : 0;

    plat::stretchBitmap(dc, xd, yd, wd, hd, xs, ys, ws, hs, file + fileHeaderSize,
                        file + readLe32(file + 10));
}
