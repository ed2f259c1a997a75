// The stage record: which step of the install is in progress, for the fault message, the log
// and the exit code of a message shown meanwhile.
#pragma once

// Puts the stage code's text ("智能Marl安装错误Err=" and the number) into stageMessage.
void setStage(int code);
// The stage code set last, 0 before the first.
int currentStage();
// Told of every stage code as it is set (a trace for diagnosis and tests).
void setStageObserver(void (*observer)(int code));
