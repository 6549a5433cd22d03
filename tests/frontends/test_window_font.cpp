// The glyph table the window paints with. Two kinds of checks: shapes that follow from what the
// characters are (their Unicode names: full block, shades, half blocks, box-drawing lines), and,
// where the Debian font it was generated from is installed, byte equality with that font.
#include "runtime/font_cp437.h"

#include <gtest/gtest.h>

#include <bitset>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

int litPixels(std::uint8_t code) {
    int n = 0;
    for (int y = 0; y < rt::kGlyphHeight; ++y)
        n += static_cast<int>(std::bitset<8>(rt::kCp437Glyphs[code][y]).count());
    return n;
}

int fullRows(std::uint8_t code) {
    int n = 0;
    for (int y = 0; y < rt::kGlyphHeight; ++y)
        n += rt::kCp437Glyphs[code][y] == 0xFF ? 1 : 0;
    return n;
}

TEST(WindowFont, BlocksAndShadesCoverTheirShareOfTheCell) {
    EXPECT_EQ(litPixels(0xDB), 128); // U+2588 FULL BLOCK
    EXPECT_EQ(litPixels(0xB0), 32);  // U+2591 LIGHT SHADE, a quarter
    EXPECT_EQ(litPixels(0xB1), 64);  // U+2592 MEDIUM SHADE, a half
    EXPECT_EQ(litPixels(0xB2), 96);  // U+2593 DARK SHADE, three quarters
    // U+2584 LOWER HALF BLOCK and U+2580 UPPER HALF BLOCK tile the cell without overlap.
    for (int y = 0; y < rt::kGlyphHeight; ++y) {
        EXPECT_EQ(rt::kCp437Glyphs[0xDC][y] | rt::kCp437Glyphs[0xDF][y], 0xFF) << y;
        EXPECT_EQ(rt::kCp437Glyphs[0xDC][y] & rt::kCp437Glyphs[0xDF][y], 0) << y;
    }
    for (std::uint8_t blank : {0x00, 0x20, 0xFF})
        EXPECT_EQ(litPixels(blank), 0) << int{blank};
}

TEST(WindowFont, BoxDrawingLinesReachTheCellEdgesSoBoxesJoin) {
    EXPECT_EQ(fullRows(0xC4), 1);                // U+2500 LIGHT HORIZONTAL
    EXPECT_EQ(fullRows(0xCD), 2);                // U+2550 DOUBLE HORIZONTAL
    for (std::uint8_t vertical : {0xB3, 0xBA}) { // U+2502 LIGHT VERTICAL, U+2551 DOUBLE VERTICAL
        for (int y = 1; y < rt::kGlyphHeight; ++y)
            EXPECT_EQ(rt::kCp437Glyphs[vertical][y], rt::kCp437Glyphs[vertical][0]) << int{vertical};
        EXPECT_NE(rt::kCp437Glyphs[vertical][0], 0);
    }
    // U+2554 DOUBLE DOWN AND RIGHT: its lines leave through the right edge and the bottom edge only.
    const auto& corner = rt::kCp437Glyphs[0xC9];
    EXPECT_EQ(corner[0], 0);
    EXPECT_NE(corner[rt::kGlyphHeight - 1], 0);
    int rightEdge = 0, leftEdge = 0;
    for (int y = 0; y < rt::kGlyphHeight; ++y) {
        rightEdge += corner[y] & 1;
        leftEdge += corner[y] >> 7;
    }
    EXPECT_EQ(rightEdge, 2); // two lines of the double border
    EXPECT_EQ(leftEdge, 0);
    // The double horizontal continues the corner's rows.
    for (int y = 0; y < rt::kGlyphHeight; ++y)
        EXPECT_EQ(rt::kCp437Glyphs[0xCD][y] == 0xFF, (corner[y] & 1) != 0) << y;
}

TEST(WindowFont, LettersHaveTheirShapes) {
    // Underscore is a single line near the bottom; 'A' has a one-pixel apex; '_' and '-' differ in height.
    EXPECT_EQ(fullRows('_'), 1);
    EXPECT_GT(rt::kCp437Glyphs[0x5F][13], 0);
    int apexRow = -1;
    for (int y = 0; y < rt::kGlyphHeight && apexRow < 0; ++y)
        if (rt::kCp437Glyphs[0x41][y] != 0) apexRow = y;
    ASSERT_GE(apexRow, 0);
    EXPECT_EQ(std::bitset<8>(rt::kCp437Glyphs[0x41][apexRow]).count(), 1u);
    // Every printable ASCII character other than the space shows something, and no two are alike.
    for (int a = 0x21; a < 0x7F; ++a) {
        EXPECT_GT(litPixels(static_cast<std::uint8_t>(a)), 0) << a;
        for (int b = a + 1; b < 0x7F; ++b)
            EXPECT_NE(std::vector<std::uint8_t>(rt::kCp437Glyphs[a], rt::kCp437Glyphs[a] + 16),
                      std::vector<std::uint8_t>(rt::kCp437Glyphs[b], rt::kCp437Glyphs[b] + 16))
                << a << " " << b;
    }
}

TEST(WindowFont, TableEqualsTheDebianVgaFontItWasGeneratedFrom) {
    const char* font = "/usr/share/consolefonts/default8x16.psf.gz";
    if (!std::filesystem::exists(font)) GTEST_SKIP() << font << " (package console-data) is not installed";
    FILE* pipe = popen((std::string("gzip -dc ") + font).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<unsigned char> data;
    unsigned char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        data.insert(data.end(), buffer, buffer + n);
    pclose(pipe);
    // PSF 1: magic 36 04, mode, height 16, then 256 glyphs of 16 bytes.
    ASSERT_GE(data.size(), 4u + 256 * 16);
    ASSERT_EQ(data[0], 0x36);
    ASSERT_EQ(data[1], 0x04);
    ASSERT_EQ(data[3], 16);
    for (int code = 0; code < 256; ++code)
        for (int y = 0; y < 16; ++y)
            ASSERT_EQ(rt::kCp437Glyphs[code][y], data[4 + 16 * static_cast<std::size_t>(code) + y])
                << code << " " << y;
}

} // namespace
