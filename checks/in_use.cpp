#include "checks/in_use.h"

#include <cstring>

#include "common/install_state.h"
#include "common/stage.h"
#include "common/text.h"
#include "common/file_ops.h"
#include "platform/fault.h"
#include "platform/ipc.h"
#include "platform/system.h"

namespace {

// Wide areas of workBuffer: the message, the line being built, the list.
constexpr size_t messageOffset = 0;
constexpr size_t lineOffset = 262144;
constexpr size_t listOffset = 279040;
constexpr size_t messageChars = (lineOffset - messageOffset) / 2;
constexpr size_t lineChars = (listOffset - lineOffset) / 2;
constexpr size_t listChars = (workBufferSize - listOffset) / 2;
constexpr unsigned titleChars = 200;
constexpr int parentChainLimit = 256;  // owner chains are short; this only guards the walk

const char* windowClass() { return state.interfaceChoice == 1 ? "STATQVTK" : "UIQVTK"; }
const char* mappingName() { return state.interfaceChoice == 1 ? "vornelqvtk80" : "vornelqvtk"; }

char16_t* wideArea(size_t offset) { return reinterpret_cast<char16_t*>(state.workBuffer + offset); }

bool visitWindow(plat::WindowHandle window, void*) {
    char className[100];
    plat::getClassName(window, className, sizeof className);
    if (std::strcmp(className, windowClass()) != 0) return true;
    state.inUseCount += 1;
    if (plat::getParent(window) == nullptr || state.workBuffer == nullptr) return true;
    plat::WindowHandle top = window;
    for (int i = 0; i < parentChainLimit && plat::getParent(top) != nullptr; ++i)
        top = plat::getParent(top);

    char16_t* line = wideArea(lineOffset);
    char16_t number[16];
    wideNumber(state.inUseCount, number, 16);
    line[0] = u'\0';
    appendWide(line, lineChars, u"\u3000\u3000");
    appendWide(line, lineChars, number);
    appendWide(line, lineChars, u"：");
    char16_t title[titleChars + 1];
    plat::getWindowText(top, title, titleChars + 1);
    appendWide(line, lineChars, title);
    appendWide(line, lineChars, u"\r\n");
    appendWide(wideArea(listOffset), listChars, line);
    return true;
}

void notifyServer(void*) {
    plat::WindowHandle server = plat::findWindow("智能Marl输入法");
    if (!plat::isWindow(server)) return;
    setStage(100412);
    // The structure at the start of scratchPath, its 80-byte block 100 bytes further on.
    std::memset(state.scratchPath, 0, 180);
    char* block = state.scratchPath + 100;
    copyText(block, 80, "VKSRF=2");
    auto* data = reinterpret_cast<plat::CopyData*>(state.scratchPath);
    data->dwData = 3599;
    data->cbData = 80;
    data->lpData = block;
    plat::sendCopyData(server, 0, data);
    plat::sleep(50);
    setStage(100413);
}

}  // namespace

void scanInputMethodWindows() {
    state.inUseCount = 0;
    if (state.workBuffer != nullptr) wideArea(listOffset)[0] = u'\0';
    plat::enumWindows(visitWindow, nullptr);
    if (state.inUseCount <= 0 || state.workBuffer == nullptr) return;

    char16_t* message = wideArea(messageOffset);
    char16_t number[16];
    wideNumber(state.inUseCount, number, 16);
    message[0] = u'\0';
    appendWide(message, messageChars, u"智能Marl安装软件检测到有下列 ");
    appendWide(message, messageChars, number);
    appendWide(message, messageChars, u" 个软件在使用智能Marl输入法:\r\n\r\n");
    appendWide(message, messageChars, wideArea(listOffset));
    appendWide(message, messageChars, u"\r\n");
    appendWide(message, messageChars, u"\r\n");
    appendWide(message, messageChars, u"请关闭上述软件后再继续安装！");
    appendWide(message, messageChars, u"\r\n");
    appendWide(message, messageChars,
               u"如无法关闭，则请将智能Marl设置为非默认输入法后，重新启动机器进行安装！");
}

void findInputMethodMapping() { state.inUseCount = plat::fileMappingExists(mappingName()) ? 1 : 0; }

void stopInputMethodServer() {
    setStage(100411);
    // A fault while finding or notifying the server is absorbed: the move-aside must still run.
    plat::runAbsorbingFaults(notifyServer, nullptr);
    char path[dirCapacity + 16];
    formatText(path, sizeof path, "%svornel88.exe", state.installDir);
    setStage(100414);
    moveAside(path);
    setStage(100415);
}
