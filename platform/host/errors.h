// The Windows error code a failed POSIX call stands for, on the host builds' files.
#pragma once
#include <cerrno>
#include <cstdint>

#include "platform/files.h"

namespace host {

inline uint32_t windowsError(int error) {
    switch (error) {
        case ENOENT: return plat::errorFileNotFound;
        case ENOTDIR: return plat::errorPathNotFound;
        case EEXIST: return plat::errorAlreadyExists;
        default: return plat::errorAccessDenied;
    }
}

}  // namespace host
