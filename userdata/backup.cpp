#include "userdata/backup.h"

#include <cstring>

#include "common/install_state.h"
#include "common/learned_data.h"
#include "common/locations.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "payload/archive.h"
#include "common/file_ops.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace {

constexpr size_t pathCapacity = previousDirCapacity + 16;

bool fileExists(const char* path) {
    uint32_t attributes = plat::getFileAttributes(path);
    return attributes != plat::invalidAttributes && (attributes & plat::attrDirectory) == 0;
}

bool holdsLearnedData(const char* dir) {
    for (size_t i = 0; i < learnedDataFileCount; ++i) {
        char path[pathCapacity];
        if (formatText(path, sizeof path, "%s%s", dir, learnedDataFiles[i].packedName) &&
            fileExists(path))
            return true;
        if (formatText(path, sizeof path, "%s%s", dir, learnedDataFiles[i].name) && fileExists(path))
            return true;
    }
    return false;
}

enum class Packed { none, packed, failed, tooLarge };

enum class Size { fits, tooLarge, unknown };

// A size that cannot be taken (an I/O error, or the 32-bit seek of a file from 2 GB on) is not
// known to fit: the file is not packed, and that is a failure.
Size sizeOf(const char* path) {
    plat::FileHandle file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) return Size::fits;  // not there: the copy or the pack says so
    long size = plat::llseek(file, 0, plat::seekEnd);
    plat::lclose(file);
    if (size < 0) return Size::unknown;
    return static_cast<unsigned long>(size) > learnedFileSizeLimit ? Size::tooLarge : Size::fits;
}

// One learnt file: its ".bak" copy made first where it is packed through one.
Packed packOne(const char* archive, const char* dir, const LearnedDataFile& file) {
    char source[pathCapacity];
    char packed[pathCapacity];
    if (!formatText(source, sizeof source, "%s%s", dir, file.name) ||
        !formatText(packed, sizeof packed, "%s%s", dir, file.packedName))
        return Packed::failed;
    bool copied = std::strcmp(file.name, file.packedName) != 0;
    const char* measured = fileExists(source) ? source : packed;
    Size size = sizeOf(measured);
    if (size == Size::unknown) return Packed::failed;
    if (size == Size::tooLarge) {
        std::u16string fields[] = {u"learnt file too large to back up, kept in place", plat::wideFromAnsi(measured)};
        logFields(fields, 2);
        return Packed::tooLarge;
    }
    // A copy that failed would pack an older ".bak" in place of what the user has now.
    if (copied && fileExists(source) && !plat::copyFile(source, packed)) return Packed::failed;
    if (!fileExists(packed)) return Packed::none;  // never there, or gone: nothing to keep
    return appendEntry(archive, packed) == 1 ? Packed::packed : Packed::failed;
}

}  // namespace

int backupUserData() {
    state.learnedDataUnsaved = 0;
    computeInstallDir();
    // No record of an earlier installation (never installed, or the path file lost or unreadable):
    // the install directory itself is the one place learnt files can be, never the current
    // directory. Nothing at all there: nothing to keep, and nothing is written anywhere.
    if (state.previousInstallDir[0] == '\0') {
        if (!holdsLearnedData(state.installDir)) return 0;
        copyText(state.previousInstallDir, previousDirCapacity, state.installDir);
    }
    // The earlier installation's directory, kept apart from installDir: it may be longer than
    // installDir holds, and installDir must not point elsewhere once the backup is done.
    char dir[previousDirCapacity];
    copyText(dir, sizeof dir, state.previousInstallDir);

    char archive[pathCapacity];
    char building[pathCapacity];
    if (!formatText(archive, sizeof archive, "%s%s", dir, backupFileName) ||
        !formatText(building, sizeof building, "%s%s", dir, backupBuildName))
        return 0;
    // A container left by a run that did not finish would refuse every name again.
    bool failed = deleteFile(building) == -1;
    bool tooLarge = false;
    unsigned packed = 0;
    for (size_t i = 0; i < learnedDataFileCount && !failed; ++i) {
        Packed result = packOne(building, dir, learnedDataFiles[i]);
        if (result == Packed::packed) ++packed;
        tooLarge = tooLarge || result == Packed::tooLarge;
        failed = result == Packed::failed;
    }
    if (tooLarge) state.learnedDataUnsaved = 2;
    if (!failed && packed > 0) {
        // The complete backup replaces the earlier one in one step; a read-only one too.
        plat::setFileAttributes(archive, plat::attrArchive);
        if (plat::moveFileReplacing(building, archive)) return 1;
        failed = true;
    }
    deleteFile(building);
    // What could not be packed must not be overwritten: the install keeps it in place.
    if (failed) state.learnedDataUnsaved = 1;
    return 0;
}

void backUpEarlierInstallation() {
    state.backupState = 0;
    if (backupUserData() == 1) state.backupState = 1;
    computeInstallDir();
}
