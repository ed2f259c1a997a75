// Bitmaps shown straight from the payload: an entry is inflated into the work buffer and drawn
// from there.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/paint.h"

// Where an inflated entry starts in workBuffer.
constexpr size_t inflatedEntryOffset = 100;

// Inflates the first payload entry of that name into workBuffer + 100 (at most the rest of the
// work buffer). The inflated length; 0 when there is no payload or work buffer, no such entry,
// an empty entry or a stream that does not inflate whole.
size_t inflatePayloadEntry(const char* name);

// True when the bytes are a bitmap file whose header, colour table and pixel rows all lie
// within `length`, in a form GDI takes (uncompressed, 1 to 32 bits a pixel).
bool bitmapFileFits(const uint8_t* file, size_t length);

// Draws part of a payload bitmap: the source rectangle is cut to the bitmap, the destination
// to the clip size (left at full size while it starts inside), then stretched across. Nothing
// is drawn when the entry is missing, damaged or no bitmap.
void drawPayloadBitmap(int clipWidth, int clipHeight, plat::DeviceContext dc, const char* name,
                       int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc,
                       int hSrc);
