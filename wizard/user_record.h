// The user record "vryhgl0.dat" (name, phone number, management password) and the wizard's
// user-record page, whose three edit controls show and take it.
#pragma once
#include <cstddef>

// What the page stores at most: name and phone 13 bytes, password 9, each with its zero.
constexpr int userNameLimit = 14;
constexpr int userPhoneLimit = 14;
constexpr int userPasswordLimit = 10;

// Fills the name and phone fields from an existing record in installDir (the password field
// stays empty: the stored password is never shown); all three empty when there is none.
void loadUserRecord();
// Takes the three texts into userRecord and moves the wizard on: from page 0 to page 1; from
// page 1 the fields are destroyed, the settings files written and page 6 follows.
void acceptUserRecord();

// How many bytes of an 8-bit text of `length` bytes fit in `limit` bytes without splitting a
// double-byte character (GBK and Big5 lead bytes are 0x81 to 0xFE). A lead byte with nothing
// after it is half a character and is left out.
size_t wholeCharacterLength(const char* text, size_t length, size_t limit);
