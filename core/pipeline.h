// The ordered install and its stage codes.
#pragma once

// Puts the stage code's text ("智能Marl安装错误Err=" and the number) into stageMessage.
void setStage(int code);
// The file installation and registration with Windows: the whole of silent mode.
void coreInstall();
