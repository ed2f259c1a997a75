// Modal dialogs from the program's resources.
#include <windows.h>

#include "platform/ui.h"

namespace plat {

namespace {

// The procedure of the dialog being created; each dialog keeps its own in DWLP_USER from its
// first message on (WM_SETFONT comes before WM_INITDIALOG), so a dialog opened from inside
// another one cannot take over the first one's procedure.
DialogProc pendingProcedure = nullptr;

INT_PTR CALLBACK dialogTrampoline(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto procedure = reinterpret_cast<DialogProc>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (procedure == nullptr) {
        procedure = pendingProcedure;
        if (procedure == nullptr) return FALSE;
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(procedure));
    }
    return procedure(dialog, message, wParam, lParam);
}

}  // namespace

intptr_t dialogBox(InstanceHandle instance, const char* templateName, WindowHandle owner,
                   DialogProc procedure) {
    HINSTANCE module = static_cast<HINSTANCE>(instance);
    if (module == nullptr) module = GetModuleHandleA(nullptr);
    DialogProc previous = pendingProcedure;
    pendingProcedure = procedure;
    INT_PTR result = DialogBoxParamA(module, templateName, static_cast<HWND>(owner),
                                     dialogTrampoline, 0);
    pendingProcedure = previous;
    return result;
}

void endDialog(WindowHandle dialog, intptr_t result) { EndDialog(static_cast<HWND>(dialog), result); }

void setButtonCheck(WindowHandle dialog, int id, bool checked) {
    SendDlgItemMessageA(static_cast<HWND>(dialog), id, BM_SETCHECK,
                        checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace plat
