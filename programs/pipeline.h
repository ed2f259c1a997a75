// The ordered install and its stage codes.
#pragma once
#include "common/stage.h"
#include "platform/ui.h"

// What window creation prepares and silent mode needs as well: the payload, the work block and
// the machine's bitness facts. False when the work block cannot be had.
bool preparePayloadAndFacts(plat::InstanceHandle instance);
void releasePayloadAndWorkBlock();
// The wizard's install after the user confirms on page 6.
void runInstallPipeline(plat::WindowHandle window);
// The file installation and registration with Windows.
void coreInstall();
// Every other account, and those made later, gets what the install did for this one at its next
// sign-in (a deployment tool runs the setup as SYSTEM, whose lists are nobody's): the per-user
// program written from the setup's resources into the Windows directory and registered to run
// there. A failure is told as the install tells its failures, and noted in the outcome.
void registerStepsForEveryUser();
// Silent mode: the checks of the wizard's install (which end it with its exit code when the
// input method is in use or the default), the learnt data backed up, coreInstall, the learnt
// data restored. Its messages are answered as the caller's message place decides.
void silentInstall(plat::InstanceHandle instance);
void imeInstallSequence();
void finishInstall(plat::WindowHandle window);
// Whether the wizard's install ran to its end (finishInstall or finishAfterDelay).
bool wizardInstallFinished();
void forgetWizardInstall();
// Timer 2 of the 64-bit IME completion.
void finishAfterDelay(plat::WindowHandle window);

constexpr uintptr_t completionTimer = 2;
constexpr unsigned completionDelay = 1600;
extern const char16_t* const installedMessage;
