// The input method's sounds: 8-bit mono PCM RIFF/WAVE files at 11,025 Hz.
#pragma once
#include "content.h"

namespace content {

// "vorn1.wav" to "vorn7.wav" (number 1 to 7) and the key sound "vrkeyyx1.wav" (number 0).
Bytes sound(int number);

}  // namespace content
