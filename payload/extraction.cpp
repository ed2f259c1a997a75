#include "payload/extraction.h"

#include <cstring>

#include "common/install_state.h"
#include "common/learned_data.h"
#include "common/product_files.h"
#include "common/progress.h"
#include "common/text.h"
#include "payload/archive.h"
#include "common/file_ops.h"
#include "platform/files.h"
#include "platform/security.h"
#include "platform/ui.h"

const char* const exemptionList =
    "vrszsj43.vrh vorncyzk.bak vornqvtk.exe vornqvt6.exe csrf732.dll csrf764.dll vornsrf.dll "
    "vornsrf6.dll vorn320.ime vorn321.ime vorn640.ime vorn641.ime vornel4.ime vornel64.ime  "
    "setupw64.exe";

namespace {

constexpr size_t pathCapacity = 260;
constexpr size_t contentLimit = 0x200000;
constexpr const char* phraseBackupName = "vorncyzk.bak";

bool lockPrograms = true;

// A program or module is locked from its first byte: no user can open it for writing while it
// waits to be copied, registered or started.
// False with Windows' error of the failed create or write in `error`.
bool writeWhole(const char* path, const char* name, const uint8_t* bytes, size_t length, uint32_t& error) {
    plat::FileHandle file = lockPrograms && isProgramName(name) ? plat::createFileWithSddl(path, installedProgramSddl)
                                                                : plat::lcreat(path, 0);
    if (file == plat::fileError) {
        error = plat::lastError();
        return false;
    }
    bool ok = plat::lwrite(file, bytes, static_cast<unsigned>(length)) == length;
    if (!ok) error = plat::lastError();
    plat::lclose(file);
    return ok;
}

void reportEntry(const char* name) {
    char text[pathCapacity];
    formatText(text, sizeof text, "没有成功解压复制%s文件！请重新下载安装。", name);
    plat::messageBoxA(text, "智能Marl安装", plat::mbOk);
}

// The entry is sound and its file could not be written (a full disk, a denied access): no new
// download helps, and the message says which it was by Windows' error number.
void reportWriteFailure(const char* name, uint32_t error) {
    char text[pathCapacity + 96];
    formatText(text, sizeof text, "没有成功写入%s文件（错误%u）！请检查磁盘空间和访问权限后重新安装。", name,
               static_cast<unsigned>(error));
    plat::messageBoxA(text, "智能Marl安装", plat::mbOk);
}

}  // namespace

void lockExtractedPrograms(bool lock) { lockPrograms = lock; }

uint32_t unpackVerified(const ArchiveEntry& entry, uint8_t* content, size_t capacity) {
    uint32_t length = inflateEntry(entry, content, capacity);
    if (length == 0 || !entry.currentLayout) return length;
    char* digest = reinterpret_cast<char*>(content + length + scratchDigestGap);
    md5Hex(content, length, digest);
    return std::strncmp(digest, entry.digest, md5TextSize) == 0 ? length : 0;
}

bool extractAll(const uint8_t* container, size_t size, uint8_t* scratch, size_t scratchSize,
                KeepExisting keep, PhraseBackup phrases, NameAllowed allowed) {
    // The name, the content and, 10 bytes after it, the 34-byte digest text must all fit.
    if (scratch == nullptr || scratchSize <= scratchNameField + scratchDigestGap + md5TextSize)
        return false;
    size_t capacity = scratchSize - scratchNameField - scratchDigestGap - md5TextSize;
    if (capacity > contentLimit) capacity = contentLimit;
    char* name = reinterpret_cast<char*>(scratch);
    uint8_t* content = scratch + scratchNameField;

    ArchiveWalk walk(container, size);
    uint32_t written = 0;
    ArchiveEntry entry;
    while (walk.next(entry)) {
        bool safe = entryName(entry, name, scratchNameField);
        bool ok = safe && (allowed == nullptr || allowed(name));
        char path[pathCapacity];
        if (ok) ok = formatText(path, sizeof path, "%s%s", state.installDir, name);
        if (ok && keep != nullptr && keep(name) &&
            plat::getFileAttributes(path) != plat::invalidAttributes) {
            ++written;
            advanceProgress();
            continue;
        }
        uint32_t length = ok ? unpackVerified(entry, content, capacity) : 0;
        ok = ok && length > 0;
        uint32_t error = 0;
        bool unwritten = false;
        if (ok) {
            if (deleteFile(path) == -1) moveAside(path);
            size_t toWrite = length;
            if (phrases == PhraseBackup::normalised && std::strcmp(name, phraseBackupName) == 0)
                toWrite = compactPhraseLibrary(content, length) + 12;
            ok = writeWhole(path, name, content, toWrite, error);
            unwritten = !ok;
        }
        if (ok) ++written;
        else if (unwritten) reportWriteFailure(name, error);
        else reportEntry(name);
        advanceProgress();
    }
    return written == walk.entryCount();
}

uint32_t verifyAll(const uint8_t* container, size_t size, char* failureText,
                   size_t failureCapacity, const char* exemptions, ExpectedDigest expected) {
    copyText(failureText, failureCapacity, "");
    uint32_t good = 0;
    ArchiveWalk walk(container, size);
    ArchiveEntry entry;
    while (walk.next(entry)) {
        char name[scratchNameField];
        bool intact = false;
        if (entryName(entry, name, sizeof name)) {
            char path[pathCapacity];
            char digest[md5TextSize];
            if (formatText(path, sizeof path, "%s%s", state.installDir, name)) {
                uint32_t read = md5File(path, digest);
                char meant[md5TextSize];
                if (entry.currentLayout && expected != nullptr && expected(entry, name, meant))
                    intact = std::strncmp(digest, meant, md5TextSize) == 0;
                else if (entry.currentLayout)
                    intact = std::strncmp(digest, entry.digest, md5TextSize) == 0 ||
                             containsName(exemptions, name) == 1;
                else
                    intact = read >= entry.compressedLength;
            }
        }
        if (intact) {
            ++good;
        } else {
            appendText(failureText, failureCapacity, name);
            appendText(failureText, failureCapacity, "....");
        }
    }
    if (good < walk.entryCount())
        appendText(failureText, failureCapacity, "有文件没有成功解压，请重新下载安装！\r\n");
    return good;
}

int containsName(const char* list, const char* name) {
    if (list == nullptr || name == nullptr) return 0;
    size_t nameLength = std::strlen(name);
    for (const char* start = list; *start != '\0'; ++start) {
        size_t i = 0;
        for (; i < nameLength; ++i) {
            char c = start[i];
            if (c == '\0') return 0;
            char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            if (c != name[i] && lower != name[i]) break;
        }
        if (i == nameLength) return 1;
    }
    return 0;
}

size_t compactPhraseLibrary(uint8_t* bytes, size_t length) {
    if (length >= 12 && std::memcmp(bytes + length - 12, "VORN", 4) == 0) return length - 12;
    // The byte just past the text never matches.
    auto at = [&](size_t i) -> int { return i < length ? bytes[i] : -1; };
    size_t read = 0;
    size_t write = 0;
    uint32_t sum = 0;
    uint32_t count = 0;
    for (;;) {
        size_t mark = write;
        size_t characters = 0;
        while (read < length && at(read) > 0x80 && at(read + 1) > 0x3F) {
            // Taken before the copy: the write position may run one byte behind the read.
            uint8_t lead = bytes[read];
            uint8_t trail = bytes[read + 1];
            bytes[write] = lead;
            bytes[write + 1] = trail;
            sum += static_cast<uint32_t>(lead) + trail;
            read += 2;
            write += 2;
            ++characters;
        }
        if (characters >= 2 && at(read) == ';' && at(read + 1) == ' ') {
            ++count;
            bytes[write] = ';';
            bytes[write + 1] = ' ';
            read += 2;
            write += 2;
            continue;
        }
        write = mark;
        while (read < length && !(at(read) == ';' || at(read + 1) == ' ')) ++read;
        // Both separator bytes must lie inside the text to be copied.
        if (read + 1 >= length) break;
        bytes[write] = bytes[read];
        bytes[write + 1] = bytes[read + 1];
        read += 2;
        write += 2;
    }
    std::memcpy(bytes + write, "VORN", 4);
    writeLe32(bytes + write + 4, sum);
    writeLe32(bytes + write + 8, count);
    return write;
}

void extractFromFile(const char* path, NameAllowed allowed) {
    if (state.workBuffer == nullptr) return;
    plat::FileHandle file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) return;
    unsigned read = plat::lread(file, state.workBuffer, skinArchiveCapacity);
    plat::lclose(file);
    if (read == plat::ioError) return;
    extractAll(state.workBuffer, read, state.workBuffer + skinArchiveCapacity,
               workBufferSize - skinArchiveCapacity, nullptr, PhraseBackup::normalised, allowed);
}

void verifyPayloadFiles() {
    if (state.workBuffer == nullptr || state.payload == nullptr) return;
    char* exemptions = reinterpret_cast<char*>(state.workBuffer);
    copyText(exemptions, failureTextOffset, exemptionList);
    // Learnt files kept in place differ from the payload's on purpose.
    if (state.learnedDataUnsaved)
        for (size_t i = 0; i < learnedDataFileCount; ++i) {
            appendText(exemptions, failureTextOffset, " ");
            appendText(exemptions, failureTextOffset, learnedDataFiles[i].name);
        }
    char* failure = reinterpret_cast<char*>(state.workBuffer + failureTextOffset);
    size_t capacity = workBufferSize - failureTextOffset;
    verifyAll(state.payload, state.payloadSize, failure, capacity, exemptions);
    if (failure[0] == '\0') return;
    appendText(failure, capacity, "\r\n\r\n");
    appendText(failure, capacity, "上述文件没有成功复制，请重新下载安装！\r\n");
    plat::messageBoxA(failure, "智能Marl", plat::mbOk);
}
