#include "payload/file_ops.h"

#include <cstring>
#include <initializer_list>

#include "core/install_state.h"
#include "core/text.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace {
constexpr size_t pathCapacity = 260;
constexpr const char* copyCaption = "智能Marl(Qolvane)安装";
}  // namespace

int deleteFile(const char* path) {
    plat::setFileAttributes(path, plat::attrArchive);
    plat::FileHandle file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) return 0;
    plat::lclose(file);
    return plat::deleteFile(path) ? 0 : -1;
}

void moveAside(const char* path) {
    char aside[pathCapacity];
    copyText(aside, sizeof aside, path);
    size_t length = std::strlen(aside);
    if (length < 5) return;  // no fifth-last character to change
    for (char mark : {'2', '1'}) {
        aside[length - 5] = mark;
        deleteFile(aside);
        if (plat::moveFile(path, aside)) return;
    }
}

void copyModule(const char* sourceName, const char* targetName) {
    char source[pathCapacity];
    char target[pathCapacity];
    formatText(source, sizeof source, "%s%s", state.installDir, sourceName);
    formatText(target, sizeof target, "%s\\%s", state.systemDir, targetName);
    plat::setFileAttributes(target, plat::attrArchive);
    if (plat::copyFile(source, target)) return;

    const char* message;
    if (plat::lastError() == plat::errorFileNotFound) {
        message = "安装包没有成功解压%s文件，请重新下载安装！";
    } else {
        // A module still loaded by running programs can be renamed but not overwritten.
        moveAside(target);
        if (plat::copyFile(source, target)) return;
        message = "没有成功复制%s文件，请退出安装程序并手动删除该文件后重新安装！";
    }
    char text[pathCapacity + 128];
    formatText(text, sizeof text, message, target);
    plat::messageBoxA(text, copyCaption, plat::mbOk);
}
