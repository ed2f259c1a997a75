#include "platform/fault.h"

#include <windows.h>

#include <csetjmp>

namespace plat {

namespace {

jmp_buf* absorbingScope = nullptr;  // one thread: no locking
void (*faultNotifier)() = nullptr;

bool processorFault(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
        case EXCEPTION_FLT_DENORMAL_OPERAND:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_FLT_STACK_CHECK:
        case EXCEPTION_FLT_UNDERFLOW:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_PRIV_INSTRUCTION:
        case EXCEPTION_STACK_OVERFLOW:
            return true;
        default:
            return false;
    }
}

// The thread the notifier was set on: the install's. A fault there is reported when it would
// end the program: unhandled, wherever it happened (this program's code, the C runtime, a Windows
// DLL handed a bad argument). Windows' DLLs meet faults of their own that they handle themselves;
// those are no fault of the install's.
DWORD notifiedThread = 0;

void notifyFault() {
    if (faultNotifier == nullptr || GetCurrentThreadId() != notifiedThread) return;
    void (*notifier)() = faultNotifier;
    faultNotifier = nullptr;
    notifier();
}

bool absorb() {
    if (absorbingScope == nullptr) return false;
    jmp_buf* scope = absorbingScope;
    absorbingScope = nullptr;
    longjmp(*scope, 1);
}

// Whether the address is in this program's own image, whose code handles no fault.
bool inOwnImage(const void* address) {
    auto base = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    auto at = reinterpret_cast<const BYTE*>(address);
    return at >= base && at < base + headers->OptionalHeader.SizeOfImage;
}

// First in line: an absorbing scope takes any fault, and a fault in our own code is reported
// here, before the caller of a window procedure can swallow it (64-bit Windows does so for
// 32-bit callbacks). A fault elsewhere waits for the last-chance filter.
LONG CALLBACK onException(EXCEPTION_POINTERS* pointers) {
    if (!processorFault(pointers->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    absorb();
    if (inOwnImage(pointers->ExceptionRecord->ExceptionAddress)) notifyFault();
    return EXCEPTION_CONTINUE_SEARCH;
}

// The last-chance filter sees only the faults nothing else handled, which are the ones that
// end the program; before Windows XP (no vectored handlers) it also absorbs.
LPTOP_LEVEL_EXCEPTION_FILTER earlierFilter = nullptr;

LONG WINAPI onUnhandled(EXCEPTION_POINTERS* pointers) {
    if (processorFault(pointers->ExceptionRecord->ExceptionCode)) {
        absorb();
        notifyFault();
    }
    return earlierFilter != nullptr ? earlierFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

void installHandler() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // Windows XP and later: first in line, before a window procedure's caller can swallow it.
    using Add = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);
    auto add = reinterpret_cast<Add>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddVectoredExceptionHandler")));
    if (add != nullptr) add(1, onException);
    earlierFilter = SetUnhandledExceptionFilter(onUnhandled);
}

}  // namespace

bool runAbsorbingFaults(void (*operation)(void* context), void* context) {
    installHandler();
    jmp_buf scope;
    jmp_buf* outer = absorbingScope;
    if (setjmp(scope) != 0) {
        absorbingScope = outer;
        return false;
    }
    absorbingScope = &scope;
    operation(context);
    absorbingScope = outer;
    return true;
}

void setFaultNotifier(void (*notifier)()) {
    installHandler();
    faultNotifier = notifier;
    notifiedThread = GetCurrentThreadId();
}

}  // namespace plat
