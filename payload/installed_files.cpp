#include "payload/installed_files.h"

#include <cstring>
#include <initializer_list>
#include <new>
#include <string>

#include "common/install_state.h"
#include "common/learned_data.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "payload/extraction.h"
#include "common/file_ops.h"
#include "payload/module_placement.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace {

constexpr size_t pathCapacity = 260;
// 24 learnt files, none of them anywhere near this: a larger file is no backup of ours.
constexpr long backupLimit = 64L * 1024 * 1024;
// The name field, and after the content the digest text and a phrase library's trailer.
constexpr size_t contentRoom = workBufferSize - scratchNameField - scratchDigestGap - md5TextSize - 12;

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (lower(*a) != lower(*b)) return false;
    return *a == *b;
}

bool isOneOf(const char* name, std::initializer_list<const char*> names) {
    for (const char* candidate : names)
        if (sameName(name, candidate)) return true;
    return false;
}

// "智能Marl输入平台" in UTF-16LE, as the modules carry it.
const uint8_t productLabel[20] = {0x7A, 0x66, 0xFD, 0x80, 0x4D, 0x00, 0x61, 0x00, 0x72, 0x00,
                                  0x6C, 0x00, 0x93, 0x8F, 0x65, 0x51, 0x73, 0x5E, 0xF0, 0x53};

bool installPath(const char* name, char* out, size_t capacity) {
    return formatText(out, capacity, "%s%s", state.installDir, name);
}

}  // namespace

bool readBackupFile(const char* dir, ContainerBytes& out) {
    out.bytes.reset();
    out.size = 0;
    char path[pathCapacity];
    if (!formatText(path, sizeof path, "%svornback.vrz", dir)) return false;
    plat::FileHandle file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) return false;
    long size = plat::llseek(file, 0, plat::seekEnd);
    if (size < static_cast<long>(containerHeaderSize) || size > backupLimit ||
        plat::llseek(file, 0, plat::seekSet) != 0) {
        plat::lclose(file);
        return false;
    }
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!bytes) {
        plat::lclose(file);
        return false;
    }
    unsigned read = plat::lread(file, bytes.get(), static_cast<unsigned>(size));
    plat::lclose(file);
    if (read != static_cast<unsigned>(size) || bytes[0] != 'C' || bytes[1] != '0') return false;
    out.bytes = std::move(bytes);
    out.size = read;
    return true;
}

bool findEntry(const uint8_t* container, size_t size, const char* name, ArchiveEntry& out) {
    ArchiveWalk walk(container, size);
    ArchiveEntry entry;
    while (walk.next(entry)) {
        char entryText[scratchNameField];
        if (entryName(entry, entryText, sizeof entryText) && std::strcmp(entryText, name) == 0) {
            out = entry;
            return true;
        }
    }
    return false;
}

InstalledForm installedForm(const char* name, int interfaceChoice) {
    if (isUserDataFile(name)) return InstalledForm::userOwned;
    if (isOneOf(name, {"vorn320.ime", "vorn321.ime", "vorn640.ime", "vorn641.ime", "csrf732.dll",
                       "csrf764.dll"}))
        return InstalledForm::notKept;
    bool tsf = interfaceChoice == 1;
    if (isOneOf(name, {"vornel4.ime", "vornel64.ime"}))
        return tsf ? InstalledForm::notKept : InstalledForm::shipped;
    if (isOneOf(name, {"vornsrf.dll", "vornsrf6.dll"}))
        return tsf ? InstalledForm::tsfModule : InstalledForm::notKept;
    // The first IME pass patches the companion program with the modules.
    if (sameName(name, "setupw64.exe") && !tsf) return InstalledForm::labelPatched;
    return InstalledForm::shipped;
}

const char* sourceEntryName(const char* name, int interfaceChoice, bool windows10) {
    if (interfaceChoice == 1 && !windows10) {
        if (sameName(name, "vornsrf.dll")) return "csrf732.dll";
        if (sameName(name, "vornsrf6.dll")) return "csrf764.dll";
    }
    return name;
}

void patchVersionLabelBytes(uint8_t* bytes, size_t length) {
    if (length > versionPatchLimit) return;
    for (size_t i = 0; i + sizeof productLabel <= length; ++i) {
        if (std::memcmp(bytes + i, productLabel, sizeof productLabel) != 0) continue;
        uint8_t* after = bytes + i + sizeof productLabel;
        size_t room = length - (i + sizeof productLabel);
        if (room > 8 && after[0] == ' ' && after[4] == '6' && after[6] == '.' &&
            (after[8] == '3' || after[8] == '7')) {
            after[4] = '9';
            after[8] = '0';
        }
        i += sizeof productLabel - 1;
    }
}

FileState installedFileState(const uint8_t* payload, size_t payloadSize, const ArchiveEntry& entry,
                             const char* name, int interfaceChoice) {
    char path[pathCapacity];
    if (!installPath(name, path, sizeof path)) return FileState::missing;
    uint32_t attributes = plat::getFileAttributes(path);
    if (attributes == plat::invalidAttributes) return FileState::missing;
    if ((attributes & plat::attrDirectory) != 0) return FileState::damaged;
    char found[md5TextSize];
    md5File(path, found);
    auto matches = [&](const char* digest) { return std::strncmp(found, digest, 32) == 0; };

    switch (installedForm(name, interfaceChoice)) {
        case InstalledForm::userOwned:
        case InstalledForm::notKept:
            return FileState::intact;
        case InstalledForm::shipped:
            return matches(entry.digest) ? FileState::intact : FileState::damaged;
        case InstalledForm::tsfModule: {
            if (matches(entry.digest)) return FileState::intact;
            ArchiveEntry renamed;
            return findEntry(payload, payloadSize, sourceEntryName(name, 1, false), renamed) &&
                           matches(renamed.digest)
                       ? FileState::intact
                       : FileState::damaged;
        }
        case InstalledForm::labelPatched: {
            if (state.workBuffer == nullptr) return FileState::damaged;
            uint8_t* content = state.workBuffer + scratchNameField;
            uint32_t length = unpackVerified(entry, content, contentRoom);
            if (length == 0) return FileState::damaged;
            patchVersionLabelBytes(content, length);
            char expected[md5TextSize];
            md5Hex(content, length, expected);
            return matches(expected) ? FileState::intact : FileState::damaged;
        }
    }
    return FileState::damaged;
}

bool heldFileIsPayloadContent(plat::FileHandle held, const char* name) {
    long size = plat::llseek(held, 0, plat::seekEnd);
    if (size <= 0 || static_cast<unsigned long>(size) > contentRoom || plat::llseek(held, 0, plat::seekSet) != 0)
        return false;
    size_t length = static_cast<size_t>(size);
    // Room for the digest text unpackVerified leaves behind the content.
    std::unique_ptr<uint8_t[]> found(new (std::nothrow) uint8_t[length]);
    std::unique_ptr<uint8_t[]> meant(new (std::nothrow) uint8_t[length + scratchDigestGap + md5TextSize + 1]);
    if (!found || !meant || plat::lread(held, found.get(), static_cast<unsigned>(length)) != length) return false;
    bool patched = isOneOf(name, {"vorn320.ime", "vorn321.ime", "vorn640.ime", "vorn641.ime", "setupw64.exe"});
    // A text-service module may hold the other build's content (the one renamed to it).
    for (const char* source : {name, sourceEntryName(name, 1, false)}) {
        ArchiveEntry entry;
        if (!findEntry(state.payload, state.payloadSize, source, entry)) continue;
        // One byte of room more than the file: a longer entry does not fit and so differs.
        if (unpackVerified(entry, meant.get(), length + 1) != length) continue;
        if (patched) patchVersionLabelBytes(meant.get(), length);
        if (std::memcmp(found.get(), meant.get(), length) == 0) return true;
    }
    return false;
}

PutBack putBackEntry(const ArchiveEntry& entry, const char* name, bool patchLabel,
                     bool phraseLibrary) {
    if (state.workBuffer == nullptr) return PutBack::notWritten;
    uint8_t* content = state.workBuffer + scratchNameField;
    uint32_t length = unpackVerified(entry, content, contentRoom);
    if (length == 0) return PutBack::damagedEntry;
    size_t toWrite = length;
    if (patchLabel) patchVersionLabelBytes(content, length);
    if (phraseLibrary) toWrite = compactPhraseLibrary(content, length) + 12;

    char path[pathCapacity];
    if (!installPath(name, path, sizeof path)) return PutBack::notWritten;
    if (deleteFile(path) == -1) moveAside(path);
    plat::FileHandle file = plat::lcreat(path, 0);
    if (file == plat::fileError) return PutBack::notWritten;
    bool whole = plat::lwrite(file, content, static_cast<unsigned>(toWrite)) == toWrite;
    plat::lclose(file);
    return whole ? PutBack::written : PutBack::notWritten;
}

bool placeRepairProgram() {
    char self[pathCapacity];
    char target[pathCapacity];
    if (!installPath(repairProgramName, target, sizeof target)) return false;
    // Without our own file an older copy there would repair with an older payload: none. And
    // only for a copy of ours is the one there moved aside.
    bool known = plat::getProgramPath(self, sizeof self) != 0 &&
                 plat::getFileAttributes(self) != plat::invalidAttributes;
    // Run from that copy (the repair, or a reinstall started from it): it is in place already.
    if (known && sameName(self, target)) return true;
    bool copied = false;
    if (known) {
        plat::setFileAttributes(target, plat::attrArchive);
        copied = plat::copyFile(self, target);
        // A copy still running (a repair started from the list of programs) is renamed aside.
        if (!copied) {
            moveAside(target);
            copied = plat::copyFile(self, target);
        }
    }
    // Our own file unknown (never on Windows) is no failure to tell.
    if (known && !copied) {
        std::u16string fields[] = {u"repair program not copied", plat::wideFromAnsi(target)};
        logFields(fields, 2);
    }
    return copied;
}
