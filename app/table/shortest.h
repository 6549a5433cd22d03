// co2table's number text: the shortest decimal that reads back as the same double.
#pragma once

#include <cstddef>

namespace co2::table {

// Longest text writeShortest produces: "-2.2250738585072014e-308".
inline constexpr std::size_t kShortestMaxLength = 24;
// Room writeShortest needs at `out`: it copies blocks of fixed size, past the end of shorter texts.
inline constexpr std::size_t kShortestBufferSize = 40;

// Writes the shortest text that reads back as `value`, byte for byte what the plain
// std::to_chars(first, last, value) writes (fixed or scientific, whichever is shorter, fixed on a
// tie; "inf", "-inf", "nan", "-nan"), and returns the end. `out` needs kShortestBufferSize bytes.
char* writeShortest(char* out, double value);

} // namespace co2::table
