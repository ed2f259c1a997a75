// TSF text-service module of the platform (vornsrf.dll, csrf732.dll and their 64-bit builds
// vornsrf6.dll, csrf764.dll). `regsvr32` calls DllRegisterServer, which writes the COM class,
// the text service's root key with its language profile and its categories, in the registry
// view of this module's own bitness (a 32-bit module under WOW64 lands in Wow6432Node, as
// Windows redirects it). DllUnregisterServer removes the class and the text service again.
// The text service itself (the class object) is not provided: DllGetClassObject says so.
#include <windows.h>
// After windows.h, which it needs.
#include <olectl.h>

#include <initializer_list>

namespace {

#define VORN_CLSID L"{65653599-5030-4C0F-8871-83F6AFDE5098}"
// The language profile of the text service for Simplified Chinese.
#define VORN_PROFILE L"{65653599-5031-4C0F-8871-83F6AFDE5098}"

const wchar_t classKey[] = L"SOFTWARE\\Classes\\CLSID\\" VORN_CLSID;
const wchar_t serverKey[] = L"SOFTWARE\\Classes\\CLSID\\" VORN_CLSID L"\\InprocServer32";
const wchar_t tipKey[] = L"SOFTWARE\\Microsoft\\CTF\\TIP\\" VORN_CLSID;
const wchar_t profileKey[] =
    L"SOFTWARE\\Microsoft\\CTF\\TIP\\" VORN_CLSID L"\\LanguageProfile\\0x00000804\\" VORN_PROFILE;

// The categories Windows needs to offer the text service: keyboard, notification area and
// Windows Store applications.
const wchar_t* const categories[] = {
    L"{13A016DF-560B-46CD-947A-4C3AF1E0E35D}",  // GUID_TFCAT_TIPCAP_IMMERSIVESUPPORT
    L"{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}",  // GUID_TFCAT_TIPCAP_SYSTRAYSUPPORT
    L"{34745C63-B2F0-4784-8B67-5E12C8701A31}",  // GUID_TFCAT_TIP_KEYBOARD
};

#ifdef VORN_FOR_WINDOWS10
const wchar_t description[] = L"智能Marl输入平台 9.0";
#else
const wchar_t description[] = L"智能Marl输入平台 9.0 (Windows 7)";
#endif

HINSTANCE moduleInstance = nullptr;

bool createKey(const wchar_t* path, HKEY* key) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_SET_VALUE, nullptr, key, nullptr) == ERROR_SUCCESS;
}

bool createEmptyKey(const wchar_t* path) {
    HKEY key;
    if (!createKey(path, &key)) return false;
    RegCloseKey(key);
    return true;
}

bool setText(HKEY key, const wchar_t* name, const wchar_t* text) {
    DWORD bytes = (static_cast<DWORD>(lstrlenW(text)) + 1) * static_cast<DWORD>(sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
           ERROR_SUCCESS;
}

bool setNumber(HKEY key, const wchar_t* name, DWORD number) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number) == ERROR_SUCCESS;
}

// Key path + "\" + part(s); false when it would not fit.
bool joinPath(wchar_t* out, size_t capacity, const wchar_t* a, const wchar_t* b,
              const wchar_t* c = nullptr, const wchar_t* d = nullptr) {
    size_t used = 0;
    for (const wchar_t* part : {a, b, c, d}) {
        if (part == nullptr) continue;
        if (used > 0) {
            if (used + 1 >= capacity) return false;
            out[used++] = L'\\';
        }
        for (; *part != L'\0'; ++part) {
            if (used + 1 >= capacity) return false;
            out[used++] = *part;
        }
    }
    out[used] = L'\0';
    return true;
}

// RegDeleteTree is missing on Windows XP: delete the subkeys depth first, then the key.
LONG deleteTree(HKEY parent, const wchar_t* name) {
    HKEY key;
    LONG result = RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE, &key);
    if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS) return result;
    wchar_t child[256];
    for (;;) {
        DWORD length = sizeof child / sizeof child[0];
        result = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_SUCCESS) result = deleteTree(key, child);
        if (result != ERROR_SUCCESS) {
            RegCloseKey(key);
            return result;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyW(parent, name);
}

bool registerClass() {
    wchar_t modulePath[MAX_PATH];
    DWORD length = GetModuleFileNameW(moduleInstance, modulePath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    HKEY key;
    if (!createKey(classKey, &key)) return false;
    bool ok = setText(key, nullptr, description);
    RegCloseKey(key);
    if (!ok || !createKey(serverKey, &key)) return false;
    ok = setText(key, nullptr, modulePath) && setText(key, L"ThreadingModel", L"Apartment");
    RegCloseKey(key);
    return ok;
}

bool registerTextService() {
    wchar_t modulePath[MAX_PATH];
    DWORD length = GetModuleFileNameW(moduleInstance, modulePath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !createEmptyKey(tipKey)) return false;
    HKEY key;
    if (!createKey(profileKey, &key)) return false;
    bool ok = setText(key, L"Description", description) && setText(key, L"IconFile", modulePath) &&
              setNumber(key, L"IconIndex", 0) && setNumber(key, L"Enable", 1);
    RegCloseKey(key);
    if (!ok) return false;
    wchar_t path[512];
    for (const wchar_t* category : categories) {
        // Both sides: the category lists the text service, the text service its category.
        if (!joinPath(path, 512, tipKey, L"Category\\Category", category, VORN_CLSID) ||
            !createEmptyKey(path))
            return false;
        if (!joinPath(path, 512, tipKey, L"Category\\Item\\" VORN_CLSID, category) ||
            !createEmptyKey(path))
            return false;
    }
    return true;
}

HRESULT unregisterAll() {
    LONG tip = deleteTree(HKEY_LOCAL_MACHINE, tipKey);
    LONG server = deleteTree(HKEY_LOCAL_MACHINE, classKey);
    return tip == ERROR_SUCCESS && server == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
    if (registerClass() && registerTextService()) return S_OK;
    // Half a registration would leave a text service Windows offers but cannot load.
    unregisterAll();
    return SELFREG_E_CLASS;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() { return unregisterAll(); }

extern "C" __declspec(dllexport) HRESULT WINAPI
    DllGetClassObject(REFCLSID, REFIID, LPVOID* object) {
    if (object != nullptr) *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_OK; }
