#include "core/pipeline.h"

#include "core/install_state.h"
#include "core/locations.h"
#include "core/text.h"
#include "platform/files.h"
#include "platform/system.h"

void setStage(int code) {
    formatText(state.stageMessage, stageMessageCapacity, "智能Marl安装错误Err=%d", code);
}

void coreInstall() {
    computeInstallDir();
    plat::getSystemDirectory(state.systemDir, dirCapacity);
    writePathFile();

    // The install directory itself is made with its access rights by the security step, which
    // lands with the file installation; until then only what exists can be prepared here.
    char filer[dirCapacity + 8];
    formatText(filer, sizeof filer, "%sfiler\\", state.installDir);
    plat::createDirectory(filer);
}
