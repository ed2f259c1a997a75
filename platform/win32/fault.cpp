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

// Faults that system code raises and handles itself must not be reported as ours: the notifier
// only hears of faults in this program's own image.
bool inOwnImage(const void* address) {
    HMODULE self = GetModuleHandleA(nullptr);
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(address, &info, sizeof info) == 0) return false;
    return info.AllocationBase == self;
}

LONG CALLBACK onException(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (!processorFault(record->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    if (absorbingScope != nullptr) {
        jmp_buf* scope = absorbingScope;
        absorbingScope = nullptr;
        longjmp(*scope, 1);
    }
    if (faultNotifier != nullptr && inOwnImage(record->ExceptionAddress)) {
        void (*notifier)() = faultNotifier;
        faultNotifier = nullptr;
        notifier();
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void installHandler() {
    static bool installed = false;
    if (installed) return;
    AddVectoredExceptionHandler(1, onException);
    installed = true;
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
}

}  // namespace plat
