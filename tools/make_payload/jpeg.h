// Baseline JPEG (JFIF, Y Cb Cr without subsampling, the standard Huffman tables) of a canvas,
// by libjpeg-turbo.
#pragma once
#include "canvas.h"

namespace content {

Bytes encodeJpeg(const Canvas& canvas, int quality);

}  // namespace content
