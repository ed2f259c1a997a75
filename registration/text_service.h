// The input method as a TSF text service: its modules registered through regsvr32, its keys
// checked on Windows 10 and its further categories written, its place in the user's list.
#pragma once
#include <cstdint>

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
