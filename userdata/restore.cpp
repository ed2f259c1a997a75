#include "userdata/restore.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/install_state.h"
#include "common/learned_data.h"
#include "common/text.h"
#include "payload/archive.h"
#include "payload/extraction.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "userdata/backup.h"

namespace {

constexpr size_t pathCapacity = previousDirCapacity + 16;
constexpr size_t minimumBackupSize = 100;
constexpr size_t backupSlack = 200;
constexpr const char* phraseBackupName = "vorncyzk.bak";
static_assert(learnedFileSizeLimit <=
                  workBufferSize - scratchNameField - scratchDigestGap - md5TextSize,
              "every learnt file the backup packs can be unpacked again");

// The backup is a file any user can rewrite: it yields the names the backup packs, nothing else.
bool isPackedLearnedName(const char* name) {
    for (size_t i = 0; i < learnedDataFileCount; ++i)
        if (sameTextIgnoringCase(learnedDataFiles[i].packedName, name)) return true;
    return false;
}

// The digest of what extraction meant to write for an entry: the stored one, except for the
// phrase library, which is brought into its stored form on the way. False when that library
// cannot be unpacked (nothing was written for it) or the container carries no digests.
bool writtenDigest(const ArchiveEntry& entry, const char* name, char digest[md5TextSize]) {
    if (!entry.currentLayout) return false;
    if (std::strcmp(name, phraseBackupName) != 0) {
        std::memcpy(digest, entry.digest, md5TextSize);
        return true;
    }
    // The same room extraction had, so whatever it could write can be checked.
    uint8_t* content = state.workBuffer + scratchNameField;
    size_t capacity = workBufferSize - scratchNameField - scratchDigestGap - md5TextSize;
    uint32_t length = unpackVerified(entry, content, capacity);
    if (length == 0) return false;
    size_t kept = compactPhraseLibrary(content, length);
    md5Hex(content, kept + 12, digest);
    return true;
}

// The libraries packed through ".bak" copies come back as those copies, and under their own
// names too: that is the file the input method had learnt into, and the next backup copies it
// over the ".bak" again. Only after every entry was found intact.
void restoreLearntLibraries(const uint8_t* backup, size_t size) {
    ArchiveWalk walk(backup, size);
    ArchiveEntry entry;
    while (walk.next(entry)) {
        char name[scratchNameField];
        if (!entryName(entry, name, sizeof name)) continue;
        for (size_t i = 0; i < learnedDataFileCount; ++i) {
            const LearnedDataFile& file = learnedDataFiles[i];
            if (std::strcmp(file.packedName, name) != 0 || std::strcmp(file.name, name) == 0) continue;
            char copy[pathCapacity];
            char library[pathCapacity];
            if (formatText(copy, sizeof copy, "%s%s", state.installDir, file.packedName) &&
                formatText(library, sizeof library, "%s%s", state.installDir, file.name))
                plat::copyFile(copy, library);
        }
    }
}

}  // namespace

void restoreUserData() {
    if (state.workBuffer == nullptr) return;
    char target[pathCapacity];
    if (!formatText(target, sizeof target, "%s%s", state.installDir, backupFileName)) return;
    // Never from the current directory: an empty record names no earlier installation.
    if (state.previousInstallDir[0] != '\0' &&
        std::strcmp(state.installDir, state.previousInstallDir) != 0) {
        char source[pathCapacity];
        if (formatText(source, sizeof source, "%s%s", state.previousInstallDir, backupFileName))
            plat::copyFile(source, target);
    }

    plat::FileHandle file = plat::lopen(target, plat::ofRead);
    if (file == plat::fileError) return;
    long size = plat::llseek(file, 0, plat::seekEnd);
    plat::llseek(file, 0, plat::seekSet);
    if (size < static_cast<long>(minimumBackupSize)) {
        plat::lclose(file);
        return;
    }
    std::unique_ptr<uint8_t[]> backup(new (std::nothrow)
                                          uint8_t[static_cast<size_t>(size) + backupSlack]());
    if (!backup) {
        plat::lclose(file);
        return;
    }
    unsigned read = plat::lread(file, backup.get(), static_cast<unsigned>(size));
    plat::lclose(file);
    if (read == plat::ioError || read < minimumBackupSize) return;

    extractAll(backup.get(), read, state.workBuffer, workBufferSize, nullptr, PhraseBackup::normalised,
               isPackedLearnedName);

    // The summary always finds room behind the list of names, however long that is.
    static const char summary[] = "\r\n\r\n原有数据文件没有成功复制，原有数据不能使用！\r\n";
    char failure[failureTextOffset];
    uint32_t restored =
        verifyAll(backup.get(), read, failure, sizeof failure - (sizeof summary - 1), "",
                  writtenDigest);
    if (failure[0] != '\0') {
        appendText(failure, summary);
        plat::messageBoxA(failure, "智能Marl", plat::mbOk);
        return;
    }
    restoreLearntLibraries(backup.get(), read);
    char16_t count[16];
    wideNumber(static_cast<long>(restored), count, 16);
    char16_t text[64];
    copyWide(text, 64, u"成功恢复了");
    appendWide(text, 64, count);
    appendWide(text, 64, u"个原有数据文件！");
    plat::messageBoxW(text, u"智能Marl", plat::mbOk);
}
