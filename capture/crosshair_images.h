// The two cursor images of the crosshair box 图片框1, each a complete cursor
// file: an icon directory of type 2 with one 32x32 entry, then a DIB with its
// XOR image and AND mask.
//
// crosshairImage (2238 bytes, 8 bits per pixel, hotspot 15,16): a shaded grey
// plus sign with a dark outline, horizontal arm x 1..30 / y 13..18, vertical
// arm x 13..18 / y 2..29, transparent in the 2x2 square x 15..16 / y 15..16 and
// outside the cross. It is the box's picture and the pointer during a drag.
// handImage (326 bytes, 1 bit per pixel, hotspot 6,0): a pointing hand, black
// outline, white fill; the box's pointer after a drag.
//
// Drawn by tools/cursor_images/make_cursor_images.py. Portable.
// Tested by tests/capture/crosshair_images_test.cpp.
#pragma once

#include <array>
#include <cstdint>

extern const std::array<std::uint8_t, 2238> crosshairImage;
extern const std::array<std::uint8_t, 326> handImage;
