// Remembered results of the runtime's checked power and exponential, for the equations of state.
//
// The Helmholtz sums raise the same few bases (tau, xi, delta, omega, ...) to the same exponents
// over and over: every term of every Newton pass, and every pressure of a table row at one
// temperature. The extended-precision powl behind rt::powValue dominates the model's cost, so
// these wrappers keep recent results per thread in a small direct-mapped table.
//
// The results are those of the runtime to the last bit, errors included:
// - rt::powValue rounds both arguments to double and everything it does (its tests, its error
//   and its result) depends only on those two doubles; the key is exactly that pair.
// - rt::expValue tests its unrounded argument against the overflow limit and then depends only
//   on the argument rounded to double; the test is made here on every call, the key is the
//   rounded argument.
// - A failed call returns 0 after raising its error. Results of 0 are never remembered, so every
//   call that raised an error before raises it again, at the same statement.
// The table is thread-local: the table tool runs one model per thread, and the x87 control word
// that powl runs under is a per-thread setting.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "runtime/math.h"

namespace co2::memo {

namespace detail {

struct Entry {
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    rt::ext value = 0; // 0: empty (no result of 0 is ever stored)
};

inline constexpr unsigned kBits = 10;
inline constexpr std::uint64_t kSize = std::uint64_t{1} << kBits;

// One table per thread and function.
inline std::array<Entry, kSize>& powTable() {
    thread_local std::array<Entry, kSize> entries{};
    return entries;
}
inline std::array<Entry, kSize>& expTable() {
    thread_local std::array<Entry, kSize> entries{};
    return entries;
}

inline std::uint64_t slot(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t h = (a ^ (b * 0x9E3779B97F4A7C15ULL)) * 0xBF58476D1CE4E5B9ULL;
    return h >> (64 - kBits);
}

inline std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

} // namespace detail

// rt::powValue(a, b), remembered.
inline rt::ext powValue(rt::ext a, rt::ext b) {
    const std::uint64_t ka = detail::bits(static_cast<double>(a));
    const std::uint64_t kb = detail::bits(static_cast<double>(b));
    detail::Entry& e = detail::powTable()[detail::slot(ka, kb)];
    if (e.value != 0 && e.a == ka && e.b == kb) return e.value;
    const rt::ext value = rt::powValue(a, b);
    if (value != 0) e = detail::Entry{ka, kb, value};
    return value;
}

// rt::expValue(x), remembered.
inline rt::ext expValue(rt::ext x) {
    if (!(x <= rt::kExpLimit)) return rt::expValue(x); // raises the overflow error
    const std::uint64_t ka = detail::bits(static_cast<double>(x));
    detail::Entry& e = detail::expTable()[detail::slot(ka, 0)];
    if (e.value != 0 && e.a == ka) return e.value;
    const rt::ext value = rt::expValue(x);
    if (value != 0) e = detail::Entry{ka, 0, value};
    return value;
}

} // namespace co2::memo
