// Code page 437, the character set of the text screen, and its Unicode counterparts.
//
// The screen keeps one byte per character; every front end that shows text outside the window
// (terminal, transcript, error boxes on standard error) turns those bytes into Unicode through
// this one table. Codes 1..31 and 127 are shown as their VGA glyphs, not as control characters;
// code 0 shows blank.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace rt {

struct Cp437Entry {
    std::uint8_t code;
    char32_t unicode;
    const char* name; // the Unicode character name
};

const std::array<Cp437Entry, 256>& cp437Table();

char32_t cp437ToUnicode(std::uint8_t code);
// The code whose glyph is `c`, or -1 when code page 437 has none. The ASCII control characters
// map to themselves (keys such as Enter, Tab and Escape arrive that way).
int unicodeToCp437(char32_t c);

void appendUtf8(std::string& out, char32_t c);
// Every byte as its glyph (screen rows).
std::string cp437ToUtf8(std::string_view bytes);
// Running text (message boxes): tab, line feed and carriage return stay control characters.
std::string cp437TextToUtf8(std::string_view bytes);

} // namespace rt
