// The 8 x 16 glyphs of code page 437 that the window paints the text screen with.
#pragma once

#include <cstdint>

namespace rt {

inline constexpr int kGlyphWidth = 8;
inline constexpr int kGlyphHeight = 16;
inline constexpr int kGlyphCount = 256;

// Row r (0 = top) of the glyph of character code c; bit 7 is the leftmost pixel, a set bit a
// foreground pixel.
extern const std::uint8_t kCp437Glyphs[kGlyphCount][kGlyphHeight];

// Whether pixel (x, y) of the glyph of `code` is foreground.
constexpr bool glyphPixel(const std::uint8_t (&glyphs)[kGlyphCount][kGlyphHeight], std::uint8_t code, int x,
                          int y) {
    return ((glyphs[code][y] >> (7 - x)) & 1) != 0;
}

} // namespace rt
