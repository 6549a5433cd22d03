// Force-included into every source of the WebAssembly build (-include): the two pieces of the
// C++20 library that the model and co2table use and that Debian's emscripten libc++ lacks,
// std::bit_cast and std::to_chars for double. The native build never sees this file.
#pragma once

#ifdef __cplusplus
#include <charconv>
#include <version>

#ifdef __EMSCRIPTEN__
#ifndef __cpp_lib_bit_cast
namespace std {
template <class To, class From> constexpr To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}
} // namespace std
#endif

// The shortest round-trip text as the standard defines it (fixed or scientific, whichever is
// shorter, fixed on a tie), and the precision form as printf's %.*e / %.*f / %.*g.
namespace std {
to_chars_result to_chars(char* first, char* last, double value);
to_chars_result to_chars(char* first, char* last, double value, chars_format format);
to_chars_result to_chars(char* first, char* last, double value, chars_format format, int precision);
} // namespace std
#endif
#endif
