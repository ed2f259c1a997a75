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
// Equal but for the case of ASCII letters, as Windows compares file names.
bool sameTextIgnoringCase(const char* a, const char* b);

// The same for wide (UTF-16) texts; capacities in characters.
size_t wideLength(const char16_t* text, size_t capacity);
bool copyWide(char16_t* target, size_t capacity, const char16_t* source);
bool appendWide(char16_t* target, size_t capacity, const char16_t* source);
// The decimal digits of a number as a wide text.
void wideNumber(long value, char16_t* out, size_t capacity);

template <size_t N>
bool copyText(char (&target)[N], const char* source) {
    return copyText(target, N, source);
}
template <size_t N>
bool appendText(char (&target)[N], const char* source) {
    return appendText(target, N, source);
}
