// Message boxes, the window class and the message loop.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

using InstanceHandle = void*;
using WindowHandle = void*;

constexpr unsigned mbOk = 0x0;
constexpr unsigned mbYesNoCancel = 0x3;
constexpr unsigned mbYesNo = 0x4;
constexpr unsigned mbIconQuestion = 0x20;
constexpr unsigned mbIconInformation = 0x40;
// A question whose buttons include Yes: unanswered, Yes is what its default button says.
constexpr bool offersYes(unsigned type) { return (type & 0xF) == mbYesNo || (type & 0xF) == mbYesNoCancel; }
constexpr int idOk = 1;
constexpr int idCancel = 2;
constexpr int idYes = 6;
constexpr int idNo = 7;

constexpr unsigned wmCreate = 0x0001;
constexpr unsigned wmDestroy = 0x0002;
constexpr unsigned wmSetFocus = 0x0007;
constexpr unsigned wmClose = 0x0010;
constexpr unsigned wmPaint = 0x000F;
constexpr unsigned wmInitDialog = 0x0110;
constexpr unsigned wmCommand = 0x0111;
constexpr unsigned wmTimer = 0x0113;
constexpr unsigned wmMouseMove = 0x0200;
constexpr unsigned wmLButtonDown = 0x0201;
constexpr unsigned wmRButtonDown = 0x0204;

constexpr int swHide = 0;
constexpr int swShowNormal = 1;
constexpr int swShowWindow = 5;

constexpr uint32_t wsSysMenu = 0x00080000;
constexpr uint32_t wsChild = 0x40000000;
constexpr unsigned wmQuit = 0x0012;

// Wide texts are UTF-16.
int messageBoxW(const char16_t* text, const char16_t* caption, unsigned type);
// The program's 8-bit texts are GBK whatever the system code page is: they are converted from
// code page 936 and shown with the wide call, so they read right under code page 950 too.
int messageBoxA(const char* text, const char* caption, unsigned type);

// Console tools have no desktop: their message boxes go to this sink instead, which answers.
using MessageSink = int (*)(const char16_t* text, const char16_t* caption, unsigned type);
void setMessageSink(MessageSink sink);
// Told of every message box once it has been answered, shown or sunk (a log keeps them).
using MessageObserver = void (*)(const char16_t* text, const char16_t* caption, unsigned type,
                                 int answer);
void setMessageObserver(MessageObserver observer);

// The program's GBK texts in UTF-16 (undecodable bytes become U+FFFD or '?').
std::u16string wideFromGbk(const char* text);
// A text in the system's ANSI code page (the command line, paths) in UTF-16.
std::u16string wideFromAnsi(const char* text);
// Whether the byte starts a double-byte character in the system's ANSI code page, the one the
// file calls read 8-bit names in (the host tools: GBK).
bool isAnsiLeadByte(unsigned char byte);
// A command-line argument as the program's 8-bit text (Linux: UTF-8 to GBK; Windows: as given).
std::string nativeArgument(const char* argument);
// Console output in the console's encoding (UTF-8 on Linux, the console's code page on Windows).
void writeConsole(bool toError, const std::u16string& text);

using WindowProc = intptr_t (*)(WindowHandle window, unsigned message, uintptr_t wParam,
                                intptr_t lParam);

struct WindowClass {
    InstanceHandle instance = nullptr;
    WindowProc procedure = nullptr;
    const char* iconName = nullptr;   // icon resource loaded with LoadIconA
    const char* className = nullptr;
};

// RegisterClassA with style 0, no extra bytes, the standard arrow cursor, the white stock brush
// and no menu; returns the atom.
uint16_t registerWindowClass(const WindowClass& windowClass);
intptr_t defWindowProc(WindowHandle window, unsigned message, uintptr_t wParam, intptr_t lParam);

struct Message {
    WindowHandle window = nullptr;
    unsigned message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    uint32_t time = 0;
    int x = 0;
    int y = 0;
};

// GetMessageA for any window: >0 a message, 0 WM_QUIT, -1 an error.
int getMessage(Message& message);
void translateMessage(const Message& message);
intptr_t dispatchMessage(const Message& message);
bool postMessage(WindowHandle window, unsigned message, uintptr_t wParam, intptr_t lParam);
void postQuitMessage(int exitCode);
bool setTimer(WindowHandle window, uintptr_t id, unsigned milliseconds);
bool killTimer(WindowHandle window, uintptr_t id);

// --- the wizard's window and its edit fields ---

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

int screenWidth();   // GetSystemMetrics(SM_CXSCREEN)
int screenHeight();  // GetSystemMetrics(SM_CYSCREEN)
// CreateWindowExW with extended style 0, the class, the title and the style; WM_CREATE runs
// inside. Null on failure.
WindowHandle createWindow(const char* className, const char16_t* title, uint32_t style, int x,
                          int y, int width, int height, InstanceHandle instance);
// An "EDIT" child with empty text, style WS_CHILD | WS_SYSMENU, no identifier.
WindowHandle createEditControl(WindowHandle parent, int x, int y, int width, int height,
                               InstanceHandle instance);
void showWindow(WindowHandle window, int command);
void updateWindow(WindowHandle window);
void setFocus(WindowHandle window);
bool destroyWindow(WindowHandle window);
// InvalidateRect of the whole client area.
void invalidate(WindowHandle window, bool erase);
bool setWindowTextA(WindowHandle window, const char* text);
// GetWindowTextA: at most capacity - 1 bytes, always terminated; the length.
int getWindowTextA(WindowHandle window, char* out, int capacity);
bool getWindowRect(WindowHandle window, Rect& rect);
// SetWindowPos with SWP_NOSIZE (and no Z-order change).
void moveWindow(WindowHandle window, int x, int y);

// --- modal dialogs from the program's resources ---
using DialogProc = intptr_t (*)(WindowHandle dialog, unsigned message, uintptr_t wParam,
                                intptr_t lParam);
// DialogBoxParamA with a named template; returns what EndDialog was given.
intptr_t dialogBox(InstanceHandle instance, const char* templateName, WindowHandle owner,
                   DialogProc procedure);
void endDialog(WindowHandle dialog, intptr_t result);
// SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked, 0).
void setButtonCheck(WindowHandle dialog, int id, bool checked);

}  // namespace plat
