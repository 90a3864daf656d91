// Tested by tests/capture/crosshair_cursor_win_test.cpp.
#include "capture/crosshair_cursor_win.h"

#include <vector>

#include "app/icon_file.h"
#include "capture/crosshair_images.h"

UniqueCursor cursorFromImage(std::span<const std::uint8_t> image) {
    std::optional<IconFileEntry> entry = firstIconEntry(image, IconFileKind::cursorOnly);
    if (!entry) return {};
    // A cursor resource is the DIB preceded by its hotspot.
    std::vector<BYTE> resource(4 + entry->imageSize);
    resource[0] = static_cast<BYTE>(entry->hotspotX);
    resource[1] = static_cast<BYTE>(entry->hotspotX >> 8);
    resource[2] = static_cast<BYTE>(entry->hotspotY);
    resource[3] = static_cast<BYTE>(entry->hotspotY >> 8);
    auto dib = image.subspan(entry->imageOffset, entry->imageSize);
    std::copy(dib.begin(), dib.end(), resource.begin() + 4);
    return UniqueCursor(
        ::CreateIconFromResourceEx(resource.data(), static_cast<DWORD>(resource.size()), FALSE,
                                   0x00030000, entry->width, entry->height, LR_DEFAULTCOLOR));
}

HCURSOR crosshairCursor() {
    static UniqueCursor cursor = cursorFromImage(crosshairImage);
    return cursor.get();
}

HCURSOR handCursor() {
    static UniqueCursor cursor = cursorFromImage(handImage);
    return cursor.get();
}
