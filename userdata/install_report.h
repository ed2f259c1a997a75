// The look at what really lies in the install directory at the end, and the report when the
// installation is visibly incomplete.
#pragma once
#include <cstddef>
#include <cstdint>

// Files of installDir by name, each count 8 bits (wrapping at 256); directories not counted.
struct InstallDirCounts {
    uint8_t txt = 0;  // names holding ".txt" (any case)
    uint8_t vrh = 0;  // else names holding ".vrh"
    uint8_t other = 0;
};

constexpr size_t headSize = 20;
// readHead's code of a file that is there, at least 20 bytes long, read without error.
constexpr uint32_t headPresent = headSize * 256;

// Counts the files of installDir (computed again); leaves the current directory there.
InstallDirCounts scanInstallDir();
// Bytes read from the start of installDir + name (at most 20) times 256, plus the system error
// when the file does not open or gives fewer than 20 bytes.
uint32_t readHead(const char* name, uint8_t buffer[headSize]);
// 1 when it found a fault and showed the report, 0 when the installation looks complete.
int installReport();
