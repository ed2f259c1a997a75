#include "payload/older_archive.h"

#include <zlib.h>

#include <cstring>
#include <memory>
#include <new>

#include "common/checked_size.h"
#include "payload/archive.h"
#include "platform/files.h"

namespace {

const char* bareName(const char* path) {
    const char* cut = std::strrchr(path, '\\');
    return cut != nullptr ? cut + 1 : path;
}

bool readExactly(plat::FileHandle file, void* buffer, unsigned count) {
    return plat::lread(file, buffer, count) == count;
}

bool writeExactly(plat::FileHandle file, const void* buffer, unsigned count) {
    return plat::lwrite(file, buffer, count) == count;
}

// The end of the last entry, after checking that every entry is whole and none carries `name`;
// -1 when the container is damaged or holds the name already.
long endOfEntries(plat::FileHandle archive, long archiveSize, uint32_t count, const char* name) {
    long position = containerHeaderSize;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t existing[olderEntryHeaderSize];
        if (archiveSize - position < static_cast<long>(olderEntryHeaderSize) ||
            !readExactly(archive, existing, olderEntryHeaderSize) || existing[0] != 'C' ||
            existing[1] != 'F')
            return -1;
        if (std::strncmp(reinterpret_cast<const char*>(existing + 2), name, olderEntryNameField) ==
            0)
            return -1;
        uint32_t length = readLe32(existing + 16);
        position += static_cast<long>(olderEntryHeaderSize);
        if (static_cast<unsigned long>(archiveSize - position) < length) return -1;
        position += static_cast<long>(length);
        plat::llseek(archive, position, plat::seekSet);
    }
    return position;
}

}  // namespace

int appendOlderEntry(const char* archivePath, const char* sourcePath) {
    if (sourcePath == nullptr || sourcePath[0] == '\0') return 0;
    const char* name = bareName(sourcePath);
    size_t nameLength = std::strlen(name);
    if (nameLength == 0 || nameLength > maxEntryName) return 0;

    uint8_t header[containerHeaderSize] = {};
    long archiveSize = containerHeaderSize;
    plat::FileHandle archive = plat::lopen(archivePath, plat::ofReadWrite);
    if (archive == plat::fileError) {
        archive = plat::lcreat(archivePath, 0);
        if (archive == plat::fileError) return 0;
        header[0] = 'C';
        header[1] = 'H';
        writeLe32(header + 2, containerHeaderSize);
        if (!writeExactly(archive, header, sizeof header)) {
            plat::lclose(archive);
            return 0;
        }
    } else {
        archiveSize = plat::llseek(archive, 0, plat::seekEnd);
        plat::llseek(archive, 0, plat::seekSet);
        // A current-layout container keeps its layout: its entries would be misread.
        if (!readExactly(archive, header, sizeof header) || header[0] != 'C' || header[1] == '0') {
            plat::lclose(archive);
            return 0;
        }
    }
    uint32_t count = readLe32(header + 6);
    long position = endOfEntries(archive, archiveSize, count, name);
    if (position < 0) {
        plat::lclose(archive);
        return 0;
    }

    plat::FileHandle source = plat::lopen(sourcePath, plat::ofRead);
    if (source == plat::fileError) {
        plat::lclose(archive);
        return 0;
    }
    long size = plat::llseek(source, 0, plat::seekEnd);
    plat::llseek(source, 0, plat::seekSet);
    size_t n = size > 0 ? static_cast<size_t>(size) : 0;
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
    unsigned read = n > 0 ? plat::lread(source, block.get(), static_cast<unsigned>(n)) : 0;
    plat::lclose(source);
    if (read != n) {
        plat::lclose(archive);
        return 0;
    }

    uLongf compressedLength = capacity;
    int appended = 0;
    if (compress2(block.get() + n, &compressedLength, block.get(), static_cast<uLong>(n),
                  Z_DEFAULT_COMPRESSION) == Z_OK) {
        uint8_t entry[olderEntryHeaderSize] = {};
        entry[0] = 'C';
        entry[1] = 'F';
        std::memcpy(entry + 2, name, nameLength + 1);
        writeLe32(entry + 16, static_cast<uint32_t>(compressedLength));
        plat::llseek(archive, position, plat::seekSet);
        bool ok = writeExactly(archive, entry, sizeof entry) &&
                  writeExactly(archive, block.get() + n, static_cast<unsigned>(compressedLength));
        if (ok) {
            writeLe32(header + 2, static_cast<uint32_t>(position) +
                                      static_cast<uint32_t>(olderEntryHeaderSize) +
                                      static_cast<uint32_t>(compressedLength));
            writeLe32(header + 6, count + 1);
            plat::llseek(archive, 0, plat::seekSet);
            ok = writeExactly(archive, header, sizeof header);
        }
        appended = ok ? 1 : 0;
    }
    plat::lclose(archive);
    return appended;
}
