// Remembered results of the runtime's checked power and exponential, for the equations of state.
//
// The Helmholtz sums raise the same few bases (tau, xi, delta, omega, ...) to the same exponents
// over and over: every term of every Newton pass, and every pressure of a table row at one
// temperature. The extended-precision powl behind core::powValue dominates the model's cost, so
// these wrappers keep recent results per thread in a small direct-mapped table.
//
// The results are those of the runtime to the last bit, errors included:
// - core::powValue rounds both arguments to double and everything it does (its tests, its error
//   and its result) depends only on those two doubles; the key is exactly that pair.
// - core::expValue tests its unrounded argument against the overflow limit and then depends only
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

#include "core/math.h"

namespace co2::memo {

namespace detail {

struct Entry {
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    core::ext value = 0; // 0: empty (no result of 0 is ever stored)
};

// Two ways per set, the most recently used first: the temperature-only powers, used on every
// Newton pass, then survive the density-dependent ones that each pass brings in.
struct Set {
    Entry way[2];
};

inline constexpr unsigned kBits = 9;
inline constexpr std::uint64_t kSets = std::uint64_t{1} << kBits;

class Table {
  public:
    // The remembered result for the key, or 0.
    core::ext find(std::uint64_t a, std::uint64_t b) {
        Set& s = sets_[slot(a, b)];
        if (s.way[0].a == a && s.way[0].b == b) return s.way[0].value;
        if (s.way[1].a == a && s.way[1].b == b && s.way[1].value != 0) {
            const Entry hit = s.way[1];
            s.way[1] = s.way[0];
            s.way[0] = hit;
            return hit.value;
        }
        return 0;
    }
    void keep(std::uint64_t a, std::uint64_t b, core::ext value) {
        if (value == 0) return;
        Set& s = sets_[slot(a, b)];
        s.way[1] = s.way[0];
        s.way[0] = Entry{a, b, value};
    }

  private:
    static std::uint64_t slot(std::uint64_t a, std::uint64_t b) {
        const std::uint64_t h = (a ^ (b * 0x9E3779B97F4A7C15ULL)) * 0xBF58476D1CE4E5B9ULL;
        return h >> (64 - kBits);
    }
    std::array<Set, kSets> sets_{};
};

// One table per thread and function.
inline Table& powTable() {
    thread_local Table table;
    return table;
}
inline Table& expTable() {
    thread_local Table table;
    return table;
}

inline std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

} // namespace detail

// core::powValue(a, b), remembered.
inline core::ext powValue(core::ext a, core::ext b) {
    const std::uint64_t ka = detail::bits(static_cast<double>(a));
    const std::uint64_t kb = detail::bits(static_cast<double>(b));
    detail::Table& table = detail::powTable();
    if (const core::ext known = table.find(ka, kb); known != 0) return known;
    const core::ext value = core::powValue(a, b);
    table.keep(ka, kb, value);
    return value;
}

// core::expValue(x), remembered.
inline core::ext expValue(core::ext x) {
    if (!(x <= core::kExpLimit)) return core::expValue(x); // raises the overflow error
    const std::uint64_t ka = detail::bits(static_cast<double>(x));
    detail::Table& table = detail::expTable();
    if (const core::ext known = table.find(ka, 0); known != 0) return known;
    const core::ext value = core::expValue(x);
    table.keep(ka, 0, value);
    return value;
}

} // namespace co2::memo
