#include "checks/default_input_method.h"

#include <cstring>

#include "common/install_state.h"
#include "common/locations.h"
#include "platform/ime.h"
#include "platform/ui.h"
#include "registration/preload_list.h"

namespace {

constexpr char layoutTextStart[] = "智能Marl输入";     // 12 bytes
constexpr char descriptionStart[] = "智能Marl输入平台";  // 16 bytes
static_assert(sizeof layoutTextStart == 13 && sizeof descriptionStart == 17);
constexpr unsigned descriptionCapacity = 50;

constexpr const char16_t* caption = u"智能Marl安装";
constexpr const char16_t* isDefault =
    u"　　你以前安装的智能Marl为系统默认输入法，请设置为系统非默认输入法后，"
    u"重新启动机器才能安装新版本的智能Marl！";
constexpr const char16_t* offer = u"是否设置智能Marl为系统非默认输入法？";
constexpr const char16_t* restart = u"请重新启动机器后安装智能Marl！";
constexpr const char16_t* isDefaultAndOnly =
    u"　　你以前安装的智能Marl为系统默认输入法，并且是系统安装的唯一输入法，"
    u"请通过微软的输入法管理器增加英文输入法，并将智能Marl输入法设置为系统非默认输入法后，"
    u"重新启动机器才能安装新版本的智能Marl！";
constexpr const char16_t* isActive =
    u"　　你以前安装的Qolvane为系统默认输入法，请通过微软的输入法管理器将Qolvane输入法"
    u"设置为系统非默认输入法后，重新启动机器才能安装新版本的Qolvane！";

}  // namespace

int locateInPreloadList() {
    state.productPreloadPosition = 0;
    state.preloadCount = 0;
    if (readPreloadList() == 0) return 0;
    for (uint32_t i = 0; i < state.preloadCount && i < preloadCapacity; ++i) {
        if (std::memcmp(state.preloadLayoutTexts[i], layoutTextStart,
                        sizeof layoutTextStart - 1) == 0) {
            state.productPreloadPosition = i + 1;
            return 1;
        }
    }
    return 0;
}

int defaultInputMethodAllowsInstall() {
    locateInPreloadList();
    if (state.productPreloadPosition == 1) {
        if (state.preloadCount < 2) {
            plat::messageBoxW(isDefaultAndOnly, caption, plat::mbOk);
            return 0;
        }
        plat::messageBoxW(isDefault, caption, plat::mbOk);
        // Unattended, nobody can agree to a change of the user's input methods: the refusal
        // above is logged and the lists stay as they are.
        if (is64BitWindows() || state.runMode == silentMode) return 0;
        if (plat::messageBoxW(offer, caption, plat::mbYesNo) != plat::idYes) return 0;
        swapFirstTwoPreloadEntries();
        plat::messageBoxW(restart, caption, plat::mbOk);
        return 0;
    }

    char* text = state.scratchPath;
    plat::LayoutHandle layout = plat::getKeyboardLayout();
    plat::getKeyboardLayoutName(text);
    std::memset(text, 0, descriptionCapacity);
    plat::immGetDescription(layout, text, descriptionCapacity);
    if (std::strlen(text) >= sizeof descriptionStart - 1 &&
        std::memcmp(text, descriptionStart, sizeof descriptionStart - 1) == 0) {
        plat::messageBoxW(isActive, caption, plat::mbOk);
        return 0;
    }
    return 1;
}
