// Prints the pointer width of this build and the machine's native architecture, and exits with
// the pointer width: the end-to-end tests use it to check both toolchains and the prefix.
#include <windows.h>

#include <cstdio>

int main() {
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    std::printf("bits=%u arch=%u\n", static_cast<unsigned>(sizeof(void*) * 8),
                static_cast<unsigned>(info.wProcessorArchitecture));
    return static_cast<int>(sizeof(void*) * 8);
}
