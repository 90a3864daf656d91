// Cursor handles made from the cursor files of capture/crosshair_images.h.
//
// Tested by tests/capture/crosshair_cursor_win_test.cpp.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "app/scoped_win.h"

// A cursor made from the first image of a cursor file (an icon directory of
// type 2), with the hotspot of its directory entry. Empty when the bytes are
// not a complete cursor file or the system refuses the image.
UniqueCursor cursorFromImage(std::span<const std::uint8_t> image);

// The pointers of the crosshair box: made on first use from crosshairImage and
// handImage and kept until the process ends. Null only if the system refused.
HCURSOR crosshairCursor();
HCURSOR handCursor();
