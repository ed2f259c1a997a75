#include "payload/archive.h"

#include <zlib.h>

#include <cstring>
#include <memory>
#include <new>

#include "common/checked_size.h"
#include "platform/crypto.h"
#include "platform/files.h"
#include "platform/ui.h"

void md5Hex(const void* bytes, size_t length, char text[md5TextSize]) {
    std::memset(text, 0, 32);
    uint8_t digest[16];
    if (!plat::md5Digest(bytes, length, digest)) return;
    for (int i = 0; i < 16; ++i) {
        for (int shift : {4, 0}) {
            int nibble = (digest[i] >> shift) & 0xF;
            text[i * 2 + (shift == 4 ? 0 : 1)] =
                static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + (nibble - 10));
        }
    }
    text[32] = '\0';
    text[33] = '\0';
}

uint32_t md5File(const char* path, char text[md5TextSize]) {
    std::memset(text, 0, md5TextSize);
    plat::FileHandle file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) return 0;
    long size = plat::llseek(file, 0, plat::seekEnd);
    plat::llseek(file, 0, plat::seekSet);
    if (size < 0) size = 0;
    // Room beyond the size, so that a file that grew since the seek is read a little further.
    size_t capacity = static_cast<size_t>(size) + 500;
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[capacity]());
    if (!block) {
        plat::lclose(file);
        return 0;
    }
    unsigned read = plat::lread(file, block.get(), static_cast<unsigned>(size) + 100);
    plat::lclose(file);
    if (read == plat::ioError) read = 0;
    md5Hex(block.get(), read, text);
    return read;
}

namespace {

// The bare name: after the last backslash, searching from the end down to the second character.
const char* bareName(const char* path) {
    size_t length = std::strlen(path);
    for (size_t i = length; i-- > 1;)
        if (path[i] == '\\') return path + i + 1;
    return path;
}

bool readExactly(plat::FileHandle file, void* buffer, unsigned count) {
    return plat::lread(file, buffer, count) == count;
}

bool writeExactly(plat::FileHandle file, const void* buffer, unsigned count) {
    return plat::lwrite(file, buffer, count) == count;
}

}  // namespace

int appendEntry(const char* archivePath, const char* sourcePath) {
    uint8_t entry[entryHeaderSize] = {};
    entry[0] = 'C';
    entry[1] = 'F';
    if (sourcePath == nullptr || sourcePath[0] == '\0') return 0;
    const char* name = bareName(sourcePath);
    size_t nameLength = std::strlen(name);
    // A name no reader would write under (a device, say) is not packed either.
    if (nameLength > maxEntryName || !isSafeEntryName(name, nameLength)) return 0;
    std::memcpy(entry + 2, name, nameLength + 1);

    uint8_t header[containerHeaderSize];
    plat::FileHandle archive = plat::lopen(archivePath, plat::ofReadWrite);
    long archiveSize;
    if (archive == plat::fileError) {
        // Only a container that is not there is made anew: one that failed to open for another
        // reason (busy, read-only, an I/O error) would be truncated.
        if (plat::getFileAttributes(archivePath) != plat::invalidAttributes) return 0;
        archive = plat::lcreat(archivePath, 0);
        if (archive == plat::fileError) return 0;
        std::memset(header, 0, sizeof header);
        header[0] = 'C';
        header[1] = '0';
        writeLe32(header + 2, containerHeaderSize);
        writeLe32(header + 6, 0);
        if (!writeExactly(archive, header, sizeof header)) {
            plat::lclose(archive);
            return 0;
        }
        archiveSize = containerHeaderSize;
    } else {
        archiveSize = plat::llseek(archive, 0, plat::seekEnd);
        // Only current-layout containers with an intact header are appended to.
        if (archiveSize < static_cast<long>(containerHeaderSize) ||
            plat::llseek(archive, 0, plat::seekSet) != 0 ||
            !readExactly(archive, header, sizeof header) || header[1] != '0') {
            plat::lclose(archive);
            return 0;
        }
    }

    uint32_t count = readLe32(header + 6);
    long position = containerHeaderSize;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t existing[entryHeaderSize];
        if (archiveSize - position < static_cast<long>(entryHeaderSize) ||
            !readExactly(archive, existing, entryHeaderSize) || existing[0] != 'C' ||
            existing[1] != 'F') {
            plat::lclose(archive);  // damaged: nothing is appended to it
            return 0;
        }
        if (std::strncmp(reinterpret_cast<const char*>(existing + 2), name, entryNameField) == 0) {
            plat::lclose(archive);
            return 0;
        }
        uint32_t length = readLe32(existing + compressedLengthOffset);
        position += static_cast<long>(entryHeaderSize);
        if (static_cast<unsigned long>(archiveSize - position) < length) {
            plat::lclose(archive);
            return 0;
        }
        position += static_cast<long>(length);
        if (plat::llseek(archive, position, plat::seekSet) != position) {
            plat::lclose(archive);
            return 0;
        }
    }

    plat::FileHandle source = plat::lopen(sourcePath, plat::ofRead);
    if (source == plat::fileError) {
        plat::lclose(archive);
        return 0;
    }
    long size = plat::llseek(source, 0, plat::seekEnd);
    // A size that cannot be taken is no empty file: nothing would be kept of it.
    if (size < 0 || plat::llseek(source, 0, plat::seekSet) != 0) {
        plat::lclose(source);
        plat::lclose(archive);
        return 0;
    }
    size_t n = static_cast<size_t>(size);
    // The output gets zlib's full bound: an incompressible file must still be kept.
    uLong capacity = compressBound(static_cast<uLong>(n));
    // From about 2 GB on the sum wraps in 32 bits: a small block for a large read.
    uint32_t room = 0;
    std::unique_ptr<uint8_t[]> block;
    if (packingRoom(n, capacity, room)) block.reset(new (std::nothrow) uint8_t[room]());
    if (!block) {
        plat::lclose(source);
        plat::lclose(archive);
        return 0;
    }
    unsigned read = plat::lread(source, block.get(), static_cast<unsigned>(n));
    plat::lclose(source);
    // A file read short (an I/O error, a file shrinking under us) would be kept truncated.
    if (read != n) {
        plat::lclose(archive);
        return 0;
    }

    md5Hex(block.get(), read, reinterpret_cast<char*>(entry + digestOffset));
    uLongf compressedLength = capacity;
    int result = compress2(block.get() + n, &compressedLength, block.get(), read,
                           Z_DEFAULT_COMPRESSION);
    int appended = 0;
    if (result == Z_OK && compressedLength > 0) {
        writeLe32(entry + compressedLengthOffset, static_cast<uint32_t>(compressedLength));
        // Every seek is checked: a write at the wrong place would damage the container.
        bool ok = plat::llseek(archive, position, plat::seekSet) == position &&
                  writeExactly(archive, entry, entryHeaderSize) &&
                  writeExactly(archive, block.get() + n, static_cast<unsigned>(compressedLength));
        if (ok) {
            writeLe32(header + 6, count + 1);
            writeLe32(header + 2, readLe32(header + 2) + static_cast<uint32_t>(entryHeaderSize) +
                                      static_cast<uint32_t>(compressedLength));
            ok = plat::llseek(archive, 0, plat::seekSet) == 0 &&
                 writeExactly(archive, header, sizeof header);
        }
        appended = ok ? 1 : 0;
    }
    plat::lclose(archive);
    return appended;
}

ArchiveWalk::ArchiveWalk(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {
    if (bytes == nullptr || size < containerHeaderSize) {
        stopped_ = true;
        // A container too short for its header has nothing to walk, but still claims nothing.
        entryCount_ = 0;
        return;
    }
    currentLayout_ = bytes[1] == '0';
    entryCount_ = readLe32(bytes + 6);
}

bool ArchiveWalk::next(ArchiveEntry& entry) {
    if (stopped_ || visited_ >= entryCount_) return false;
    size_t headerSize = currentLayout_ ? entryHeaderSize : olderEntryHeaderSize;
    if (size_ - position_ < headerSize || bytes_[position_] != 'C' ||
        bytes_[position_ + 1] != 'F') {
        stopped_ = true;
        return false;
    }
    const uint8_t* header = bytes_ + position_;
    uint32_t length = readLe32(header + (currentLayout_ ? compressedLengthOffset : 16));
    if (size_ - position_ - headerSize < length) {
        stopped_ = true;
        return false;
    }
    entry.currentLayout = currentLayout_;
    entry.nameField = reinterpret_cast<const char*>(header + 2);
    entry.nameFieldSize = currentLayout_ ? entryNameField : olderEntryNameField;
    entry.digest = currentLayout_ ? reinterpret_cast<const char*>(header + digestOffset) : nullptr;
    entry.compressedLength = length;
    entry.data = header + headerSize;
    position_ += headerSize + length;
    ++visited_;
    return true;
}

namespace {

bool sameLetters(const char* name, const char* upper, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

// Windows opens the device whatever extension follows the name, and ignores blanks before it.
// Microsoft's list of reserved names: CON, PRN, AUX, NUL, COM and LPT with a digit or a
// superscript one, two or three (0xB9, 0xB2, 0xB3 in the Western code page), and the console's
// CONIN$ and CONOUT$.
bool isDeviceName(const char* name, size_t length) {
    size_t base = 0;
    while (base < length && name[base] != '.') ++base;
    while (base > 0 && name[base - 1] == ' ') --base;
    if (base == 3)
        for (const char* device : {"CON", "NUL", "AUX", "PRN"})
            if (sameLetters(name, device, 3)) return true;
    if (base == 4) {
        unsigned char last = static_cast<unsigned char>(name[3]);
        bool numbered = (last >= '0' && last <= '9') || last == 0xB9 || last == 0xB2 || last == 0xB3;
        for (const char* device : {"COM", "LPT"})
            if (numbered && sameLetters(name, device, 3)) return true;
    }
    return (base == 6 && sameLetters(name, "CONIN$", 6)) || (base == 7 && sameLetters(name, "CONOUT$", 7));
}

}  // namespace

bool isSafeEntryName(const char* name, size_t length) {
    // Windows drops trailing dots and blanks: "a.txt." is "a.txt", and "..." or ".. " names the
    // directory itself.
    if (length == 0 || name[length - 1] == '.' || name[length - 1] == ' ') return false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        // The file calls read the name in the system's code page: only there does a lead byte
        // take the next byte (which may be 0x5C) into its character. A trail below 0x40 (or
        // 0x7F, 0xFF) makes no character in any double-byte code page, and Windows would read
        // it as a byte of its own: a separator or a control byte.
        if (plat::isAnsiLeadByte(c)) {
            unsigned char trail = i + 1 < length ? static_cast<unsigned char>(name[i + 1]) : 0;
            if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
            ++i;
            continue;
        }
        if (c < 0x20 || c == 0x7F || std::strchr("\\/:<>\"|?*", c) != nullptr) return false;
    }
    return !isDeviceName(name, length);
}

bool entryName(const ArchiveEntry& entry, char* out, size_t capacity) {
    if (capacity == 0) return false;
    size_t length = 0;
    while (length < entry.nameFieldSize && entry.nameField[length] != '\0') ++length;
    bool terminated = length < entry.nameFieldSize;
    size_t shown = length < capacity ? length : capacity - 1;
    std::memcpy(out, entry.nameField, shown);
    out[shown] = '\0';
    return terminated && shown == length && isSafeEntryName(out, length);
}

uint32_t inflateEntry(const ArchiveEntry& entry, uint8_t* target, size_t capacity) {
    uLongf length = static_cast<uLongf>(capacity);
    int result = uncompress(target, &length, entry.data, entry.compressedLength);
    if (result != Z_OK || length == 0) return 0;
    return static_cast<uint32_t>(length);
}
