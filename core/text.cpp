#include "core/text.h"

#include <cstdio>
#include <cstring>

bool copyText(char* target, size_t capacity, const char* source) {
    if (capacity == 0) return false;
    if (source == nullptr) source = "";
    size_t length = std::strlen(source);
    bool fits = length < capacity;
    if (!fits) length = capacity - 1;
    std::memmove(target, source, length);
    target[length] = '\0';
    return fits;
}

bool appendText(char* target, size_t capacity, const char* source) {
    size_t used = textLength(target, capacity);
    if (used >= capacity) {
        if (capacity > 0) target[capacity - 1] = '\0';
        return false;
    }
    return copyText(target + used, capacity - used, source);
}

bool formatText(char* target, size_t capacity, const char* format, ...) {
    if (capacity == 0) return false;
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(target, capacity, format, args);
    va_end(args);
    if (written < 0) {
        target[0] = '\0';
        return false;
    }
    return static_cast<size_t>(written) < capacity;
}

size_t textLength(const char* text, size_t capacity) {
    const void* end = std::memchr(text, '\0', capacity);
    return end == nullptr ? capacity : static_cast<size_t>(static_cast<const char*>(end) - text);
}

bool endsWithBackslash(const char* text) {
    size_t length = std::strlen(text);
    return length > 0 && text[length - 1] == '\\';
}
