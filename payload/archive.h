// The archive container: a 10-byte header ("C", layout, total size, entry count) and entries
// back to back, each a header and one zlib stream.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/byte_order.h"

constexpr size_t containerHeaderSize = 10;
constexpr size_t entryHeaderSize = 56;       // current layout
constexpr size_t olderEntryHeaderSize = 20;  // older layout (skins)
constexpr size_t entryNameField = 16;
constexpr size_t olderEntryNameField = 14;
constexpr size_t maxEntryName = 12;
constexpr size_t md5TextSize = 34;  // 32 upper-case hex digits and two zero bytes
constexpr size_t digestOffset = 18;
constexpr size_t compressedLengthOffset = 52;

// MD5 text of the bytes; all zero when no MD5 routines are available.
void md5Hex(const void* bytes, size_t length, char text[md5TextSize]);
// MD5 text of a whole file; the number of bytes read, 0 (and an empty text) when it does not open.
uint32_t md5File(const char* path, char text[md5TextSize]);
// Appends the file under its bare name; 1 on success, 0 on any failure (container unchanged,
// except that a container created by this call stays as an empty one). A name longer than 12
// or one that isSafeEntryName refuses is a failure.
int appendEntry(const char* archivePath, const char* sourcePath);

struct ArchiveEntry {
    bool currentLayout = true;
    const char* nameField = nullptr;  // not necessarily terminated: see nameFieldSize
    size_t nameFieldSize = 0;
    const char* digest = nullptr;  // 34 bytes, current layout only
    uint32_t compressedLength = 0;
    const uint8_t* data = nullptr;
};

// Walks the entries of a container held in memory. It stops at a tag other than "CF" and where a
// header or its data would run past the bytes available.
class ArchiveWalk {
public:
    ArchiveWalk(const uint8_t* bytes, size_t size);
    uint32_t entryCount() const { return entryCount_; }
    bool currentLayout() const { return currentLayout_; }
    bool next(ArchiveEntry& entry);
    // True when the walk ended before entryCount entries.
    bool stoppedEarly() const { return visited_ < entryCount_; }
    size_t offset() const { return position_; }
    uint32_t visited() const { return visited_; }

private:
    const uint8_t* bytes_;
    size_t size_;
    size_t position_ = containerHeaderSize;
    uint32_t entryCount_ = 0;
    uint32_t visited_ = 0;
    bool currentLayout_ = true;
    bool stopped_ = false;
};

// Is this a name this program may write a file under? Not when it is empty, ends in a dot or a
// blank (Windows drops them: another file, or the directory), holds a path separator, a drive
// colon, a control byte or another character Windows refuses in names, holds a lead byte of the
// system's code page without a trail byte that makes a double-byte character, or names a device
// (CON, NUL, AUX, PRN, COM0-COM9, LPT0-LPT9 and their superscript forms, CONIN$, CONOUT$, in any
// case, with or without an extension), which a write would reach instead of a file.
bool isSafeEntryName(const char* name, size_t length);
// The entry's name as a terminated text in `out` (at most 100 bytes); false when it is not
// terminated in its field, does not fit `out`, or is no safe name (isSafeEntryName).
bool entryName(const ArchiveEntry& entry, char* out, size_t capacity);

// uncompress into `target` with the given capacity; the inflated length, 0 on any failure.
uint32_t inflateEntry(const ArchiveEntry& entry, uint8_t* target, size_t capacity);

