// A text-service module for the Wine scenarios: what a TSF module's registration leaves in
// the registry (the service's key and three categories, both ways), written in the registry
// view of the module's own bitness, as regsvr32 makes it do.
#include <windows.h>

namespace {

const wchar_t* const tip = L"SOFTWARE\\Microsoft\\CTF\\TIP\\{65653599-5030-4C0F-8871-83F6AFDE5098}";
const wchar_t* const clsid = L"{65653599-5030-4C0F-8871-83F6AFDE5098}";
const wchar_t* const categories[] = {
    L"{13A016DF-560B-46CD-947A-4C3AF1E0E35D}",
    L"{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}",
    L"{34745C63-B2F0-4784-8B67-5E12C8701A31}",
};

bool createKey(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
    wchar_t path[512];
    if (!createKey(tip)) return E_FAIL;
    for (const wchar_t* category : categories) {
        wsprintfW(path, L"%s\\Category\\Item\\%s\\%s", tip, clsid, category);
        if (!createKey(path)) return E_FAIL;
        wsprintfW(path, L"%s\\Category\\Category\\%s\\%s", tip, category, clsid);
        if (!createKey(path)) return E_FAIL;
    }
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() { return S_OK; }
