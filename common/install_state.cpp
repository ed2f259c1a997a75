#include "common/install_state.h"

InstallState state;

void resetInstallState() { state = InstallState{}; }
