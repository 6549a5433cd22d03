// The program's icon: a carbon dioxide molecule (grey carbon between two red oxygens) over water
// in a rounded blue square. It is drawn from its geometry, so that the window (32 px) and the
// desktop entry (16 to 128 px, tools/make_icon.cpp) show one design without an image file.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace rt {

// The design's size: coordinates run from 0 to 32, pixel k of the window's icon covers [k, k+1).
inline constexpr int kIconDesignSize = 32;

// The colour (0xAARRGGBB) at the point (x, y) of the design; transparent outside the square.
inline std::uint32_t iconColour(double x, double y) {
    auto disc = [](double px, double py, double cx, double cy, double r) {
        return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
    };
    // Rounded square: corners cut by circles of radius 6.
    const double cx = std::clamp(x, 6.0, 26.0);
    const double cy = std::clamp(y, 6.0, 26.0);
    std::uint32_t colour = 0x00000000;
    if (disc(x, y, cx, cy, 6.0)) {
        const double surface = 17.0 + 2.0 * std::sin(x / 32.0 * 2.0 * std::numbers::pi * 1.5);
        colour = y > surface ? 0xFF1E64C8 : 0xFF0A2850; // water below, night sky above
    }
    if (disc(x, y, 6.5, 12.0, 4.5) || disc(x, y, 25.5, 12.0, 4.5)) colour = 0xFFD23C3C;
    if (disc(x, y, 16.0, 12.0, 5.0)) colour = 0xFF909090;
    if (disc(x, y, 11.0, 25.0, 1.8) || disc(x, y, 20.0, 22.0, 1.3) || disc(x, y, 16.0, 28.0, 1.0))
        colour = 0xFFDDEEFF; // bubbles
    return colour;
}

} // namespace rt
