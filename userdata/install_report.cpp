#include "userdata/install_report.h"

#include <initializer_list>

#include "common/install_state.h"
#include "common/locations.h"
#include "common/product.h"
#include "common/text.h"
#include "payload/extraction.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "security/directory_security.h"

namespace {

constexpr size_t pathCapacity = dirCapacity + 264;  // installDir and a name of MAX_PATH
constexpr int completeFileCount = 74;

bool anyPresent(std::initializer_list<const char*> names) {
    uint8_t head[headSize];
    for (const char* name : names)
        if (readHead(name, head) == headPresent) return true;
    return false;
}

// The first fault found, in the order of likelihood; nullptr when there is none.
const char* firstFault() {
    InstallDirCounts counts = scanInstallDir();
    int total = counts.txt + counts.vrh + counts.other;
    if (total < completeFileCount) return "文件不完整！";
    if (!anyPresent({"vorncyzk.vrh", "vorncyzk.bak", "vorncyzk.dat"})) return "无五笔词库文件！";
    if (!anyPresent({"vornpyck.vrh", "vornpyck.bak", "vornpyck.dat"})) return "无拼音词库文件！";
    uint8_t head[headSize];
    if (readHead(state.interfaceChoice == 1 ? "vornsrf6.dll" : "vornel4.ime", head) != headPresent)
        return "缺少文件！";
    // Only Windows 10 needs the access, and only there is icacls asked.
    if (state.windows10 == 1 && !appPackagesHaveFullAccess())
        return "安装目录权限不够，如不能使用请删除后重新安装！！";
    return nullptr;
}

}  // namespace

InstallDirCounts scanInstallDir() {
    computeInstallDir();
    if (!endsWithBackslash(state.installDir)) appendText(state.installDir, "\\");
    InstallDirCounts counts;
    char path[pathCapacity];
    plat::FindData found;
    plat::FindHandle find = plat::invalidFind;
    if (formatText(path, sizeof path, "%s*.*", state.installDir))
        find = plat::findFirstFile(path, found);
    for (bool more = find != plat::invalidFind; more; more = plat::findNextFile(find, found)) {
        const char* name = found.name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        // A name that enters as a directory is one.
        if (formatText(path, sizeof path, "%s%s", state.installDir, name) &&
            plat::setCurrentDirectory(path))
            continue;
        if (containsName(name, ".txt") == 1)
            ++counts.txt;
        else if (containsName(name, ".vrh") == 1)
            ++counts.vrh;
        else
            ++counts.other;
    }
    plat::findClose(find);
    plat::setCurrentDirectory(state.installDir);
    return counts;
}

uint32_t readHead(const char* name, uint8_t buffer[headSize]) {
    char path[pathCapacity];
    if (!formatText(path, sizeof path, "%s%s", state.installDir, name))
        return plat::errorFileNotFound;
    plat::FileHandle file = plat::lopen(path, plat::ofRead);
    if (file == plat::fileError) return plat::lastError();
    unsigned read = plat::lread(file, buffer, headSize);
    // A failed read counts as nothing read.
    if (read == plat::ioError) read = 0;
    uint32_t code = (read == headSize ? 0 : plat::getLastError()) + read * 256;
    plat::lclose(file);
    return code;
}

int installReport() {
    const char* fault = firstFault();
    if (fault == nullptr) return 0;
    char text[512];
    copyText(text, "智能Marl汉字输入系统9.0版安装情况报告。");
    appendText(text, "\r\n\r\n");
    appendText(text, "安装出现错误！错误为：");
    appendText(text, fault);
    appendText(text, "\r\n\r\n");
    appendText(text, "请到主页");
    appendText(text, vendorHomePage);
    appendText(text, "重新下载安装！并解除杀毒软件对安装过程的拦截！");
    appendText(text, "\r\n\r\n");
    plat::messageBoxA(text, "智能Marl", plat::mbOk);
    return 1;
}
