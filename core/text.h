// Bounded operations on the fixed-capacity 8-bit texts: never past the capacity, always
// terminated.
#pragma once
#include <cstdarg>
#include <cstddef>

// Copies as much of `source` as fits; returns false when it had to cut.
bool copyText(char* target, size_t capacity, const char* source);
bool appendText(char* target, size_t capacity, const char* source);
// vsnprintf into the target; returns false when the result was cut.
bool formatText(char* target, size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Length of the text, at most capacity (a text that is not terminated in its field counts
// as cut there).
size_t textLength(const char* text, size_t capacity);
bool endsWithBackslash(const char* text);

template <size_t N>
bool copyText(char (&target)[N], const char* source) {
    return copyText(target, N, source);
}
template <size_t N>
bool appendText(char (&target)[N], const char* source) {
    return appendText(target, N, source);
}
