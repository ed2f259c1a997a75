// IMM input-method module of the platform (vorn320.ime, vorn321.ime, vornel4.ime and their
// 64-bit builds): a complete IMM module that passes every key through to the application.
// Windows can load it, ask it for its properties and open its configuration; the platform's
// conversion engine is not part of it. What the setup relies on is the file itself: a DLL of
// the right bitness that carries the product label with its version.
#include <windows.h>
// After windows.h, which it needs.
#include <imm.h>

#include "label.h"

namespace {

// The IMEINFO record of the IMM module interface (not in MinGW's headers).
struct ImeInfo {
    DWORD privateDataSize;
    DWORD property;
    DWORD conversionCaps;
    DWORD sentenceCaps;
    DWORD uiCaps;
    DWORD compositionStringCaps;
    DWORD selectCaps;
};

// The class of the module's user-interface windows; the setup looks for windows of this class
// to learn whether programs still use the input method.
const wchar_t uiClassName[] = L"UIQVTK";
constexpr size_t uiClassCapacity = 16;  // IMM's buffer for the class name, in characters

#ifdef VORN_TRADITIONAL
const wchar_t configureCaption[] = L"智能Marl輸入法設定";
#else
const wchar_t configureCaption[] = L"智能Marl输入法设置";
#endif

HINSTANCE moduleInstance = nullptr;

// Nothing is composed, so the interface windows have nothing to show: the IME messages are
// consumed, everything else takes the default path.
LRESULT CALLBACK uiWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_IME_STARTCOMPOSITION:
        case WM_IME_ENDCOMPOSITION:
        case WM_IME_COMPOSITION:
        case WM_IME_NOTIFY:
        case WM_IME_SETCONTEXT:
        case WM_IME_CONTROL:
        case WM_IME_COMPOSITIONFULL:
        case WM_IME_SELECT:
        case WM_IME_CHAR:
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool registerUiClass() {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_IME;
    windowClass.lpfnWndProc = uiWindowProc;
    // IMM keeps the input context of a UI window in its first two pointer-sized extra bytes.
    windowClass.cbWndExtra = 2 * sizeof(LONG_PTR);
    windowClass.hInstance = moduleInstance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.lpszClassName = uiClassName;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
        return registerUiClass() ? TRUE : FALSE;
    }
    if (reason == DLL_PROCESS_DETACH) UnregisterClassW(uiClassName, instance);
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI ImeInquire(ImeInfo* info, LPWSTR uiClass, DWORD) {
    if (info == nullptr || uiClass == nullptr) return FALSE;
    info->privateDataSize = 0;
    info->property = IME_PROP_UNICODE | IME_PROP_AT_CARET;
    info->conversionCaps = IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
    info->sentenceCaps = 0;
    info->uiCaps = UI_CAP_2700;
    info->compositionStringCaps = 0;
    info->selectCaps = SELECT_CAP_CONVERSION;
    lstrcpynW(uiClass, uiClassName, static_cast<int>(uiClassCapacity));
    return TRUE;
}

// The configuration shows which platform and version this module belongs to.
extern "C" __declspec(dllexport) BOOL WINAPI ImeConfigure(HKL, HWND owner, DWORD, LPVOID) {
    MessageBoxW(owner, productLabel, configureCaption, MB_OK | MB_ICONINFORMATION);
    return TRUE;
}

extern "C" __declspec(dllexport) DWORD WINAPI
    ImeConversionList(HIMC, LPCWSTR, LPCANDIDATELIST, DWORD, UINT) {
    return 0;  // no conversions offered
}

extern "C" __declspec(dllexport) BOOL WINAPI ImeDestroy(UINT) { return TRUE; }

extern "C" __declspec(dllexport) LRESULT WINAPI ImeEscape(HIMC, UINT, LPVOID) {
    return 0;  // no escape is supported
}

// Every key goes to the application unchanged.
extern "C" __declspec(dllexport) BOOL WINAPI ImeProcessKey(HIMC, UINT, LPARAM, const BYTE*) {
    return FALSE;
}

extern "C" __declspec(dllexport) BOOL WINAPI ImeSelect(HIMC, BOOL) { return TRUE; }

extern "C" __declspec(dllexport) BOOL WINAPI ImeSetActiveContext(HIMC, BOOL) { return TRUE; }

extern "C" __declspec(dllexport) UINT WINAPI
    ImeToAsciiEx(UINT, UINT, const BYTE*, LPVOID, UINT, HIMC) {
    return 0;  // no messages generated: ImeProcessKey never claims a key
}

extern "C" __declspec(dllexport) BOOL WINAPI NotifyIME(HIMC, DWORD, DWORD, DWORD) {
    return FALSE;  // there is never a composition to act on
}

extern "C" __declspec(dllexport) BOOL WINAPI ImeRegisterWord(LPCWSTR, DWORD, LPCWSTR) {
    return FALSE;  // the user dictionary belongs to the conversion engine
}

extern "C" __declspec(dllexport) BOOL WINAPI ImeUnregisterWord(LPCWSTR, DWORD, LPCWSTR) {
    return FALSE;
}

extern "C" __declspec(dllexport) UINT WINAPI ImeGetRegisterWordStyle(UINT, LPSTYLEBUFW) {
    return 0;
}

extern "C" __declspec(dllexport) UINT WINAPI
    ImeEnumRegisterWord(REGISTERWORDENUMPROCW, LPCWSTR, DWORD, LPCWSTR, LPVOID) {
    return 0;
}

extern "C" __declspec(dllexport) BOOL WINAPI
    ImeSetCompositionString(HIMC, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
    return FALSE;
}
