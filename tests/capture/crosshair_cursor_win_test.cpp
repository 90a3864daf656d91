// The cursor files become cursors with their hotspots, draw what they show,
// and bad bytes give no cursor.
#include "capture/crosshair_cursor_win.h"

#include <gtest/gtest.h>

#include <vector>

#include "capture/crosshair_images.h"

namespace {

struct Drawn {
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
    std::uint32_t at(int x, int y) const { return pixels[y * 32 + x] & 0xFFFFFF; }
};

// Draws the cursor at its own size onto a 32x32 ground of the given colour.
Drawn draw(HCURSOR cursor, std::uint32_t ground) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 32, -32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    auto* p = static_cast<std::uint32_t*>(bits);
    std::fill(p, p + 32 * 32, ground);
    EXPECT_TRUE(::DrawIconEx(dc, 0, 0, cursor, 32, 32, 0, nullptr, DI_NORMAL));
    ::GdiFlush();
    Drawn drawn{std::vector<std::uint32_t>(p, p + 32 * 32)};
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    return drawn;
}

struct CursorFacts {
    bool isIcon;
    DWORD hotspotX, hotspotY;
    LONG width, height;
};

CursorFacts factsOf(HCURSOR cursor) {
    ICONINFO info{};
    EXPECT_TRUE(::GetIconInfo(cursor, &info));
    BITMAP mask{};
    ::GetObjectW(info.hbmMask, sizeof mask, &mask);
    CursorFacts facts{info.fIcon != FALSE, info.xHotspot, info.yHotspot, mask.bmWidth,
                      info.hbmColor ? mask.bmHeight : mask.bmHeight / 2};
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return facts;
}

TEST(CursorFromImage, CrosshairIsACursorWithItsHotspotAndTransparentCentre) {
    UniqueCursor cursor = cursorFromImage(crosshairImage);
    ASSERT_TRUE(cursor);
    CursorFacts facts = factsOf(cursor.get());
    EXPECT_FALSE(facts.isIcon);
    EXPECT_EQ(facts.hotspotX, 15u);
    EXPECT_EQ(facts.hotspotY, 16u);
    EXPECT_EQ(facts.width, 32);
    EXPECT_EQ(facts.height, 32);

    for (std::uint32_t ground : {0xFFFFFFu, 0x0000FFu}) {
        Drawn d = draw(cursor.get(), ground);
        EXPECT_EQ(d.at(15, 15), ground) << "the centre shows what lies beneath";
        EXPECT_EQ(d.at(0, 0), ground);
        EXPECT_EQ(d.at(31, 15), ground);
        EXPECT_EQ(d.at(15, 1), ground);
        EXPECT_EQ(d.at(1, 15) & 0xFF, 0x30u) << "dark outline at the arm's end";
        std::uint32_t fill = d.at(8, 15);
        EXPECT_TRUE((fill & 0xFF) == ((fill >> 8) & 0xFF) && (fill & 0xFF) >= 0x80) << fill;
    }
}

TEST(CursorFromImage, HandIsACursorWhoseFingertipIsTheHotspot) {
    UniqueCursor cursor = cursorFromImage(handImage);
    ASSERT_TRUE(cursor);
    CursorFacts facts = factsOf(cursor.get());
    EXPECT_FALSE(facts.isIcon);
    EXPECT_EQ(facts.hotspotX, 6u);
    EXPECT_EQ(facts.hotspotY, 0u);
    Drawn d = draw(cursor.get(), 0x0000FFu);
    EXPECT_EQ(d.at(6, 0), 0u) << "black fingertip";
    EXPECT_EQ(d.at(6, 3), 0xFFFFFFu) << "white finger";
    EXPECT_EQ(d.at(0, 0), 0x0000FFu);
    EXPECT_EQ(d.at(30, 30), 0x0000FFu);
}

TEST(CursorFromImage, SharedCursorsAreMadeOnce) {
    ASSERT_NE(crosshairCursor(), nullptr);
    ASSERT_NE(handCursor(), nullptr);
    EXPECT_EQ(crosshairCursor(), crosshairCursor());
    EXPECT_NE(crosshairCursor(), handCursor());
    EXPECT_EQ(factsOf(handCursor()).hotspotX, 6u);
}

TEST(CursorFromImage, BytesThatAreNoCompleteCursorFileGiveNoCursor) {
    std::vector<std::uint8_t> good(crosshairImage.begin(), crosshairImage.end());
    auto changed = [&](size_t at, std::uint32_t value, int width = 1) {
        auto bytes = good;
        for (int k = 0; k < width; ++k) bytes[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
        return bytes;
    };
    const std::vector<std::vector<std::uint8_t>> bad = {
        {},
        std::vector<std::uint8_t>(good.begin(), good.begin() + 21),  // directory cut short
        std::vector<std::uint8_t>(good.begin(), good.end() - 1),     // image cut short
        changed(2, 1),                                               // an icon, not a cursor
        changed(4, 0),                                               // no image
        changed(18, 0x7F000000, 4),                                  // offset far outside
        changed(14, 0x7F000000, 4),                                  // size far outside
        changed(14, 2240, 4),                                        // one byte more than there is
        changed(14, 8, 4),                                           // too small for a header
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        EXPECT_FALSE(cursorFromImage(bad[i])) << "case " << i;
    }
}

}  // namespace
