// Checked elementary functions on the extended-precision type.
//
// The model carries intermediates with a 64-bit mantissa and rounds to double only when it stores
// a named result. On x86-64 Linux double arithmetic runs in SSE, so the extended intermediates are
// written explicitly as `ext` (long double, the x87 80-bit format).
//
// Every function tests its argument exactly as below and, on failure, raises the runtime error and
// returns 0; none ever returns an infinity or a NaN.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace core {

using ext = long double;
static_assert(sizeof(ext) >= 10, "extended precision needs the x87 80-bit long double");

// Largest argument of expValue that does not overflow a double.
inline constexpr ext kExpLimit = 709.782712893L;

ext lnValue(ext x);                 // x rounded to double; x <= 0: error 5
ext expValue(ext x);                // x > kExpLimit (unrounded): error 6; then rounded to double
ext sqrtValue(ext x);               // x rounded to double; x < 0: error 5
ext powValue(ext a, ext b);         // both rounded to double; a < 0 and b not whole: error 5
ext absValue(ext x);                // x rounded to double
std::int64_t roundToInteger(ext x); // nearest, ties to even

// Zero-based offset against an element count; offset >= count raises error 9 and yields 0.
std::uint32_t checkIndex(std::int64_t offset, std::uint32_t count);

// Rounds to single precision, for the range tests that compare in float.
inline float toSingle(double x) {
    return static_cast<float>(x);
}

// Sets the x87 unit to extended precision and installs the handler that turns a floating-point
// exception signal (an integer division by zero) into the fatal "Division by zero". The
// floating-point traps stay masked: an overflow or an invalid operation yields an infinity or a
// NaN, which the checked functions above turn into their numbered errors. Called on the program
// thread: a signal there notes the code for takeFatalSignal and parks the thread in the handler,
// which can safely do nothing more; on another thread it ends the process at once.
void setupFloatingPoint();

// The fatal code a floating-point signal has noted (0: none); taken once. The frame's main loop
// polls it, shows the fatal box and shuts down in order.
std::uint32_t takeFatalSignal();

// A coefficient array with the bounds of the original (first index `Lower`); every access goes
// through checkIndex, so an index out of range raises error 9 and reads element `Lower`.
template <typename T, std::size_t N, std::int64_t Lower = 1> class CheckedArray {
  public:
    constexpr CheckedArray() = default;
    T& operator()(std::int64_t i) { return data_[checkIndex(i - Lower, static_cast<std::uint32_t>(N))]; }
    const T& operator()(std::int64_t i) const {
        return data_[checkIndex(i - Lower, static_cast<std::uint32_t>(N))];
    }
    static constexpr std::int64_t lower() { return Lower; }
    static constexpr std::int64_t upper() { return Lower + static_cast<std::int64_t>(N) - 1; }
    static constexpr std::size_t size() { return N; }
    std::array<T, N>& raw() { return data_; }
    const std::array<T, N>& raw() const { return data_; }

  private:
    std::array<T, N> data_{};
};

} // namespace core
