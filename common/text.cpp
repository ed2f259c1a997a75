#include "common/text.h"

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

size_t wideLength(const char16_t* text, size_t capacity) {
    size_t length = 0;
    while (length < capacity && text[length] != u'\0') ++length;
    return length;
}

bool copyWide(char16_t* target, size_t capacity, const char16_t* source) {
    if (capacity == 0) return false;
    if (source == nullptr) source = u"";
    size_t length = wideLength(source, capacity);
    bool fits = length < capacity;
    if (!fits) length = capacity - 1;
    std::memmove(target, source, length * sizeof(char16_t));
    target[length] = u'\0';
    return fits;
}

bool appendWide(char16_t* target, size_t capacity, const char16_t* source) {
    size_t used = wideLength(target, capacity);
    if (used >= capacity) {
        if (capacity > 0) target[capacity - 1] = u'\0';
        return false;
    }
    return copyWide(target + used, capacity - used, source);
}

void wideNumber(long value, char16_t* out, size_t capacity) {
    char digits[24];
    formatText(digits, sizeof digits, "%ld", value);
    size_t i = 0;
    for (; digits[i] != '\0' && i + 1 < capacity; ++i) out[i] = static_cast<char16_t>(digits[i]);
    if (capacity > 0) out[i] = u'\0';
}

bool sameTextIgnoringCase(const char* a, const char* b) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (fold(*a) != fold(*b)) return false;
    return *a == *b;
}
