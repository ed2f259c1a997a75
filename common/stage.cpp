#include "common/stage.h"

#include "common/install_state.h"
#include "common/text.h"

namespace {
void (*stageObserver)(int) = nullptr;
int stageInForce = 0;
}  // namespace

void setStageObserver(void (*observer)(int code)) { stageObserver = observer; }

int currentStage() { return stageInForce; }

void setStage(int code) {
    stageInForce = code;
    formatText(state.stageMessage, stageMessageCapacity, "智能Marl安装错误Err=%d", code);
    if (stageObserver != nullptr) stageObserver(code);
}
