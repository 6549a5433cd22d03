// Code page 437 to Unicode. Reference: the Unicode consortium's mapping of code page 437
// (codes 32..126, 128..255) and the IBM VGA glyphs of codes 1..31 and 127 as listed with their
// Unicode names in the Unicode character database.
#include "runtime/cp437.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp437, TableIsInCodeOrderWithNames) {
    const auto& table = rt::cp437Table();
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].code, i);
        EXPECT_NE(std::string(table[i].name), "");
    }
    EXPECT_EQ(table[0xC9].unicode, U'\u2554');
    EXPECT_STREQ(table[0xC9].name, "BOX DRAWINGS DOUBLE DOWN AND RIGHT");
    EXPECT_EQ(table[0xCD].unicode, U'\u2550');
    EXPECT_EQ(table[0xBA].unicode, U'\u2551');
    EXPECT_EQ(table[0x01].unicode, U'\u263A');
    EXPECT_EQ(table[0x7F].unicode, U'\u2302');
    EXPECT_EQ(table[0xE1].unicode, U'\u00DF');
    EXPECT_EQ(table[0xE6].unicode, U'\u00B5');
    EXPECT_EQ(table[0xF8].unicode, U'\u00B0');
    EXPECT_EQ(table[0xFF].unicode, U'\u00A0');
    EXPECT_EQ(table['A'].unicode, U'A');
}

TEST(Cp437, EveryGlyphMapsBackToItsCode) {
    for (int code = 1; code < 256; ++code) {
        EXPECT_EQ(rt::unicodeToCp437(rt::cp437ToUnicode(static_cast<std::uint8_t>(code))), code) << code;
    }
    EXPECT_EQ(rt::unicodeToCp437(U' '), 32) << "code 0 shows blank but a space is 32";
    EXPECT_EQ(rt::unicodeToCp437(U'\u20AC'), -1);
    EXPECT_EQ(rt::unicodeToCp437(U'\r'), 13) << "control characters stay keys";
}

TEST(Cp437, Utf8OfScreenRowsAndOfRunningText) {
    EXPECT_EQ(rt::cp437ToUtf8("\xC9\xCD\xBB"), "\u2554\u2550\u2557");
    EXPECT_EQ(rt::cp437ToUtf8("a\nb"), "a\u25D9b") << "on the screen a line feed is a glyph";
    EXPECT_EQ(rt::cp437TextToUtf8("a\nb\xF8"), "a\nb\u00B0");
    std::string four;
    rt::appendUtf8(four, U'\U0001F600');
    EXPECT_EQ(four, "\xF0\x9F\x98\x80");
}

} // namespace
