#include "platform/security.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdint>

namespace plat {

bool createDirectoryWithSddl(const char* path, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = descriptor;
    attributes.bInheritHandle = FALSE;
    BOOL created = CreateDirectoryA(path, &attributes);
    LocalFree(descriptor);
    return created != 0;
}

FileHandle createFileWithSddl(const char* path, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return lcreat(path, 0);
    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = descriptor;
    attributes.bInheritHandle = FALSE;
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &attributes, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    LocalFree(descriptor);
    if (file == INVALID_HANDLE_VALUE) return fileError;
    if (existed && !setProtectedAccess(path, sddl)) {
        CloseHandle(file);
        return fileError;
    }
    // On Windows NT an HFILE is the file's handle.
    return static_cast<FileHandle>(reinterpret_cast<intptr_t>(file));
}

bool runsAsLocalSystem() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    union {
        TOKEN_USER user;
        BYTE bytes[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    } info;
    DWORD size = 0;
    bool system = false;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID localSystem = nullptr;
    if (GetTokenInformation(token, TokenUser, &info, sizeof info, &size) &&
        AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &localSystem)) {
        system = EqualSid(info.user.User.Sid, localSystem) != FALSE;
        FreeSid(localSystem);
    }
    CloseHandle(token);
    return system;
}

bool getUserName(char* out, unsigned capacity) {
    if (capacity == 0) return false;
    DWORD size = capacity;
    if (!GetUserNameA(out, &size)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool setProtectedAccess(const char* path, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    bool ok = GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present &&
              SetNamedSecurityInfoA(const_cast<char*>(path), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return ok;
}

bool grantFullAccess(const char* path, const char* account) {
    PACL oldDacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &oldDacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    EXPLICIT_ACCESS_A access;
    ZeroMemory(&access, sizeof access);
    BuildExplicitAccessWithNameA(&access, const_cast<char*>(account), GENERIC_ALL, GRANT_ACCESS,
                                 SUB_CONTAINERS_AND_OBJECTS_INHERIT);
    PACL newDacl = nullptr;
    bool ok = SetEntriesInAclA(1, &access, oldDacl, &newDacl) == ERROR_SUCCESS;
    if (ok)
        ok = SetNamedSecurityInfoA(const_cast<char*>(path), SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION, nullptr, nullptr, newDacl,
                                   nullptr) == ERROR_SUCCESS;
    if (newDacl != nullptr) LocalFree(newDacl);
    if (descriptor != nullptr) LocalFree(descriptor);
    return ok;
}

}  // namespace plat
