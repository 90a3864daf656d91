// Decodes the two cursor files byte by byte, as the system's cursor loader
// reads them, and checks their form and what they show.
#include "capture/crosshair_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace {

using Bytes = std::span<const std::uint8_t>;

unsigned u16(Bytes b, size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t u32(Bytes b, size_t at) { return u16(b, at) | (std::uint32_t{u16(b, at + 2)} << 16); }
std::int32_t i32(Bytes b, size_t at) { return static_cast<std::int32_t>(u32(b, at)); }

// A decoded 32x32 cursor picture, top row first.
struct Picture {
    bool transparent[32][32];
    std::uint32_t xorIndex[32][32];      // palette index of the XOR image
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    unsigned grey(int x, int y) const { return palette.at(xorIndex[y][x]) & 0xFF; }
};

struct CursorFile {
    unsigned hotspotX, hotspotY;
    std::uint32_t dibSize;
    unsigned bitsPerPixel;
    Picture picture;
};

// Checks the container (directory, entry, header) and decodes the picture.
CursorFile decode(Bytes file) {
    CursorFile c{};
    EXPECT_EQ(u16(file, 0), 0u);  // reserved
    EXPECT_EQ(u16(file, 2), 2u);  // type: cursor
    EXPECT_EQ(u16(file, 4), 1u);  // one image
    EXPECT_EQ(file[6], 32);       // width
    EXPECT_EQ(file[7], 32);       // height
    EXPECT_EQ(file[9], 0);        // reserved
    c.hotspotX = u16(file, 10);
    c.hotspotY = u16(file, 12);
    c.dibSize = u32(file, 14);
    std::uint32_t offset = u32(file, 18);
    EXPECT_EQ(offset, 22u);
    EXPECT_EQ(offset + c.dibSize, file.size());

    Bytes dib = file.subspan(offset);
    EXPECT_EQ(u32(dib, 0), 40u);  // BITMAPINFOHEADER
    EXPECT_EQ(i32(dib, 4), 32);
    EXPECT_EQ(i32(dib, 8), 64);  // XOR image and AND mask stacked
    EXPECT_EQ(u16(dib, 12), 1u);
    c.bitsPerPixel = u16(dib, 14);
    EXPECT_EQ(u32(dib, 16), 0u);  // BI_RGB
    std::uint32_t colours = u32(dib, 32) ? u32(dib, 32) : 1u << c.bitsPerPixel;
    EXPECT_EQ(file[8], c.bitsPerPixel >= 8 ? 0u : colours);  // colour count of the entry

    size_t paletteAt = 40;
    size_t xorAt = paletteAt + 4 * colours;
    size_t xorStride = 32 * c.bitsPerPixel / 8;
    size_t andAt = xorAt + xorStride * 32;
    EXPECT_EQ(andAt + 4 * 32, dib.size());
    if (andAt + 4 * 32 != dib.size()) return c;
    for (std::uint32_t i = 0; i < colours; ++i) {
        c.picture.palette.push_back(dib[paletteAt + 4 * i] | dib[paletteAt + 4 * i + 1] << 8 |
                                    dib[paletteAt + 4 * i + 2] << 16);
    }
    for (int y = 0; y < 32; ++y) {
        size_t row = 31 - y;  // DIB rows run bottom-up
        for (int x = 0; x < 32; ++x) {
            c.picture.transparent[y][x] = (dib[andAt + row * 4 + x / 8] >> (7 - x % 8)) & 1;
            std::uint32_t index = 0;
            if (c.bitsPerPixel == 8) {
                index = dib[xorAt + row * xorStride + x];
            } else if (c.bitsPerPixel == 1) {
                index = (dib[xorAt + row * xorStride + x / 8] >> (7 - x % 8)) & 1;
            }
            c.picture.xorIndex[y][x] = index;
        }
    }
    return c;
}

bool inCross(int x, int y) {
    if (x >= 15 && x <= 16 && y >= 15 && y <= 16) return false;
    return (x >= 1 && x <= 30 && y >= 13 && y <= 18) || (x >= 13 && x <= 18 && y >= 2 && y <= 29);
}

TEST(CrosshairImage, IsAn8BitCursorWithItsHotspot) {
    ASSERT_EQ(crosshairImage.size(), 2238u);
    CursorFile c = decode(crosshairImage);
    EXPECT_EQ(c.dibSize, 2216u);
    EXPECT_EQ(c.bitsPerPixel, 8u);
    EXPECT_EQ(c.picture.palette.size(), 256u);
    EXPECT_EQ(c.hotspotX, 15u);
    EXPECT_EQ(c.hotspotY, 16u);
}

TEST(CrosshairImage, OpaqueExactlyOnThePlusSignAroundItsTransparentCentre) {
    CursorFile c = decode(crosshairImage);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            EXPECT_EQ(!c.picture.transparent[y][x], inCross(x, y)) << "at " << x << "," << y;
            // A transparent pixel must leave the screen as it is: XOR black.
            if (c.picture.transparent[y][x]) {
                EXPECT_EQ(c.picture.palette.at(c.picture.xorIndex[y][x]), 0u) << x << "," << y;
            }
        }
    }
    // The arms' extents, read from the picture.
    int left = 32, right = -1, top = 32, bottom = -1;
    for (int x = 0; x < 32; ++x) {
        if (!c.picture.transparent[15][x]) left = std::min(left, x), right = std::max(right, x);
    }
    for (int y = 0; y < 32; ++y) {
        if (!c.picture.transparent[y][14]) top = std::min(top, y), bottom = std::max(bottom, y);
    }
    EXPECT_EQ(left, 1);
    EXPECT_EQ(right, 30);
    EXPECT_EQ(top, 2);
    EXPECT_EQ(bottom, 29);
    for (int y = 15; y <= 16; ++y) {
        for (int x = 15; x <= 16; ++x) EXPECT_TRUE(c.picture.transparent[y][x]);
    }
}

TEST(CrosshairImage, ShadedGreyWithADarkOutline) {
    CursorFile c = decode(crosshairImage);
    std::vector<unsigned> fills;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (!inCross(x, y)) continue;
            std::uint32_t rgb = c.picture.palette.at(c.picture.xorIndex[y][x]);
            unsigned r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
            EXPECT_TRUE(r == g && g == b) << "not grey at " << x << "," << y;
            bool edge = false;  // touches the outside or the centre, corners included
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) edge = edge || !inCross(x + dx, y + dy);
            }
            if (edge) {
                EXPECT_LT(c.picture.grey(x, y), 0x60u) << "outline at " << x << "," << y;
            } else {
                EXPECT_GE(c.picture.grey(x, y), 0x80u) << "fill at " << x << "," << y;
                fills.push_back(c.picture.grey(x, y));
            }
        }
    }
    std::sort(fills.begin(), fills.end());
    fills.erase(std::unique(fills.begin(), fills.end()), fills.end());
    EXPECT_GE(fills.size(), 3u) << "the fill is shaded, not flat";
}

TEST(HandImage, IsA1BitBlackAndWhiteCursorPointingAtItsHotspot) {
    ASSERT_EQ(handImage.size(), 326u);
    CursorFile c = decode(handImage);
    EXPECT_EQ(c.dibSize, 304u);
    EXPECT_EQ(c.bitsPerPixel, 1u);
    ASSERT_EQ(c.picture.palette.size(), 2u);
    EXPECT_EQ(c.picture.palette[0], 0x000000u);
    EXPECT_EQ(c.picture.palette[1], 0xFFFFFFu);
    EXPECT_EQ(c.hotspotX, 6u);
    EXPECT_EQ(c.hotspotY, 0u);

    // The fingertip: the hotspot is an opaque black outline pixel in the top
    // row, and nothing of the hand lies above it.
    EXPECT_FALSE(c.picture.transparent[0][6]);
    EXPECT_EQ(c.picture.xorIndex[0][6], 0u);
    int black = 0, white = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (c.picture.transparent[y][x]) {
                EXPECT_EQ(c.picture.xorIndex[y][x], 0u)
                    << "inverts the screen at " << x << "," << y;
                continue;
            }
            (c.picture.xorIndex[y][x] ? white : black)++;
            // White fill never touches the transparent surround: it is outlined.
            if (c.picture.xorIndex[y][x] == 1) {
                for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    int nx = x + dx, ny = y + dy;
                    bool outside =
                        nx < 0 || ny < 0 || nx > 31 || ny > 31 || c.picture.transparent[ny][nx];
                    EXPECT_FALSE(outside) << "fill on the edge at " << x << "," << y;
                }
            }
        }
    }
    EXPECT_GT(black, 40);
    EXPECT_GT(white, 100);
}

}  // namespace
