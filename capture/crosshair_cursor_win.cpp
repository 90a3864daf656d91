// Tested by tests/capture/crosshair_cursor_win_test.cpp.
#include "capture/crosshair_cursor_win.h"

#include <vector>

#include "capture/crosshair_images.h"

namespace {

unsigned readU16(std::span<const std::uint8_t> b, size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t readU32(std::span<const std::uint8_t> b, size_t at) {
    return readU16(b, at) | (std::uint32_t{readU16(b, at + 2)} << 16);
}

}  // namespace

UniqueCursor cursorFromImage(std::span<const std::uint8_t> image) {
    // ICONDIR: reserved 0, type 2 (cursor), image count; then the first
    // ICONDIRENTRY: width, height, colours, reserved, hotspot x, hotspot y,
    // image size, image offset.
    constexpr size_t kDirectory = 6, kEntry = 16;
    if (image.size() < kDirectory + kEntry || readU16(image, 0) != 0 || readU16(image, 2) != 2 ||
        readU16(image, 4) < 1) {
        return {};
    }
    int width = image[6] ? image[6] : 256;
    int height = image[7] ? image[7] : 256;
    unsigned hotspotX = readU16(image, 10), hotspotY = readU16(image, 12);
    std::uint32_t size = readU32(image, 14), offset = readU32(image, 18);
    if (size < sizeof(BITMAPINFOHEADER) || offset > image.size() || size > image.size() - offset) {
        return {};
    }
    // A cursor resource is the DIB preceded by its hotspot.
    std::vector<BYTE> resource(4 + size);
    resource[0] = static_cast<BYTE>(hotspotX), resource[1] = static_cast<BYTE>(hotspotX >> 8);
    resource[2] = static_cast<BYTE>(hotspotY), resource[3] = static_cast<BYTE>(hotspotY >> 8);
    std::copy(image.begin() + offset, image.begin() + offset + size, resource.begin() + 4);
    return UniqueCursor(::CreateIconFromResourceEx(resource.data(),
                                                   static_cast<DWORD>(resource.size()), FALSE,
                                                   0x00030000, width, height, LR_DEFAULTCOLOR));
}

HCURSOR crosshairCursor() {
    static UniqueCursor cursor = cursorFromImage(crosshairImage);
    return cursor.get();
}

HCURSOR handCursor() {
    static UniqueCursor cursor = cursorFromImage(handImage);
    return cursor.get();
}
