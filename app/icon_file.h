// The first image of an icon or cursor file: an ICONDIR (reserved 0, type 1
// for icons or 2 for cursors, image count) followed by ICONDIRENTRY records
// (width, height, colours, reserved, hotspot x and y for cursors, image size,
// image offset). Portable.
//
// Tested by tests/capture/crosshair_cursor_win_test.cpp and
// tests/capture/crosshair_images_test.cpp (through the cursors made from it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

struct IconFileEntry {
    int width = 0;
    int height = 0;
    unsigned hotspotX = 0;  // for cursors; planes and bit count for icons
    unsigned hotspotY = 0;
    std::uint32_t imageOffset = 0;
    std::uint32_t imageSize = 0;  // the DIB: header, colour table, XOR image, AND mask
};

enum class IconFileKind { iconOrCursor, cursorOnly };

// The first entry when the file is well formed, of the kind asked for, and its
// image lies inside it.
inline std::optional<IconFileEntry> firstIconEntry(std::span<const std::uint8_t> file,
                                                   IconFileKind kind) {
    auto u16 = [&](std::size_t at) { return unsigned(file[at] | (file[at + 1] << 8)); };
    auto u32 = [&](std::size_t at) { return u16(at) | (std::uint32_t{u16(at + 2)} << 16); };
    constexpr std::size_t kDirectory = 6, kEntry = 16, kDibHeader = 40;
    if (file.size() < kDirectory + kEntry || u16(0) != 0 ||
        (u16(2) != 2 && (u16(2) != 1 || kind == IconFileKind::cursorOnly)) || u16(4) < 1) {
        return std::nullopt;
    }
    IconFileEntry entry{
        file[6] ? file[6] : 256, file[7] ? file[7] : 256, u16(10), u16(12), u32(18), u32(14)};
    if (entry.imageSize < kDibHeader || entry.imageOffset > file.size() ||
        entry.imageSize > file.size() - entry.imageOffset) {
        return std::nullopt;
    }
    return entry;
}
