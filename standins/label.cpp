#include "label.h"

// External linkage and readers outside this file keep the compiler from turning the text into
// immediate stores: it stays one contiguous array in the module's read-only data.
extern "C" const wchar_t productLabel[] = L"智能Marl输入平台  " VORN_LABEL_VERSION;
