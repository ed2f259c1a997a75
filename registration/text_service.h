// The input method as a TSF text service: its modules registered through regsvr32, its keys
// checked on Windows 10 and its further categories written, its place in the user's list.
#pragma once
#include <cstdint>
#include <string>

// Registers the modules for the platform's bitness, each command followed by a 2000 ms wait;
// always reports success (1).
int registerTextService();
// On Windows 10 with the TSF interface: checks that the text service's keys exist (a message
// when one is missing) and then writes the further categories; then the directory check is
// started. False (and no directory check) after the message.
bool verifyTextService();
void writeTipCategories();
// The product's 1-based position in the current user's ordering of keyboard text services
// for Simplified Chinese, 0 when it is not there or the list cannot be read.
uint32_t findProductInSortOrder();

// The product's text-service profiles for the language of the code page, as input.dll takes
// them ("0x0804:{clsid}{profile}", ";" between several): one per profile the modules'
// registration wrote. Empty when there is none.
std::u16string productProfileIds();
// Enables the profiles for the current user (Windows 8 and later list a text service only once
// enabled) through input.dll, and logs what came of it; input.dll refusing is a module failure.
void enableTextService();

// The profiles (as productProfileIds gives them) disabled for the current user through
// input.dll; if one of them was the default, the next enabled input that is not the product's
// becomes the default first, so that nobody is left without a keyboard. False when input.dll
// refused.
bool disableTextService(const std::u16string& ids);
// The product's items taken out of the current user's ordering lists of keyboard text
// services, the others renumbered: the number removed, -1 when one could not be.
int removeFromUserSortOrder();
// Reverses the registration, in every view the setup and its modules wrote: regsvr32 /u of
// each module that is there and still registered (the 32-bit one from SysWOW64 on 64-bit
// Windows, the 64-bit one with file-system redirection off), then whatever of the text
// service's key and its COM class remains (the profiles disabled for the current user first,
// another input made the default if the product was), and the product's items in the current user's
// ordering lists of keyboard text services, the others renumbered in their order. Returns the
// number of things removed, 0 when nothing of the product was there, -1 when something of it
// could not be removed (the rest is removed as far as possible).
int unregisterTextService();
