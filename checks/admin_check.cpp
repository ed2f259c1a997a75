#include "checks/admin_check.h"

#include <cstring>

#include "common/install_state.h"
#include "common/locations.h"
#include "common/text.h"

namespace {
constexpr const char* probeName = "vornisadmin";
}

bool isNotAdministrator() {
    readPathFile(1);
    is64BitWindows();
    // Before Vista every user may write the Windows directory: no test.
    if (state.osMajorVersion < 6) return false;

    char kept[dirCapacity];
    std::memcpy(kept, state.installDir, dirCapacity);

    copyText(state.installDir, probeName);
    writePathFile();
    std::memset(state.installDir, 0, dirCapacity);
    readPathFile(0);
    char readBack[dirCapacity];
    std::memcpy(readBack, state.installDir, dirCapacity);

    std::memcpy(state.installDir, kept, dirCapacity);
    writePathFile();

    size_t length = std::strlen(readBack);
    if (length > 0 && readBack[length - 1] == '\\') readBack[length - 1] = '\0';
    return std::strcmp(readBack, probeName) != 0;
}
