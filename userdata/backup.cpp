#include "userdata/backup.h"

#include <cstring>

#include "core/install_state.h"
#include "core/locations.h"
#include "core/text.h"
#include "payload/archive.h"
#include "payload/file_ops.h"
#include "platform/files.h"

namespace {

constexpr size_t pathCapacity = previousDirCapacity + 16;

// Packed through a ".bak" copy beside them; the copies stay, and the restore brings them back
// under that name.
const char* const copiedStems[] = {"vorncyzk", "vrszsj43", "cfontset", "cwbzlcz1",
                                   "vrwbcmxz", "vrdhzcm",  "vorndhz",  "vrgbkhz"};
const char* const requiredFiles[] = {"vrszsj43.vrh", "vorndwdw.txt", "vornzdym.vrh", "vrpyzdym.vrh",
                                     "vrwbpy.txt",   "vornynhz.txt", "vornzdfh.vrh"};
const char* const optionalFiles[] = {"userck.txt",   "delck.txt",    "ftvrzdym.txt",
                                     "ftpyzdym.txt", "cwb.ov1",      "vornpymb.ov1",
                                     "vrgbkbh.vrh",  "vrszsj05.vrh", "vrszsj06.vrh"};

int append(const char* archive, const char* dir, const char* name) {
    char path[pathCapacity];
    if (!formatText(path, sizeof path, "%s%s", dir, name)) return 0;
    return appendEntry(archive, path);
}

}  // namespace

int backupUserData() {
    computeInstallDir();
    // The earlier installation's directory, kept apart from installDir: it may be longer than
    // installDir holds, and installDir must not point elsewhere once the backup is done.
    char dir[previousDirCapacity];
    if (std::strcmp(state.installDir, state.previousInstallDir) != 0)
        copyText(dir, sizeof dir, state.previousInstallDir);
    else
        copyText(dir, sizeof dir, state.installDir);

    char archive[pathCapacity];
    if (!formatText(archive, sizeof archive, "%s%s", dir, backupFileName)) return 0;
    // Each run builds a fresh container: appending to an old one would refuse every name.
    deleteFile(archive);

    for (const char* stem : copiedStems) {
        char vrh[pathCapacity];
        char bak[16];
        formatText(bak, sizeof bak, "%s.bak", stem);
        if (formatText(vrh, sizeof vrh, "%s%s.vrh", dir, stem)) {
            char copy[pathCapacity];
            if (formatText(copy, sizeof copy, "%s%s", dir, bak)) plat::copyFile(vrh, copy);
        }
        if (append(archive, dir, bak) == 0) return 0;
    }
    for (const char* name : requiredFiles)
        if (append(archive, dir, name) == 0) return 0;
    for (const char* name : optionalFiles) append(archive, dir, name);
    return 1;
}
