// The fast path's blocks of statements that depend on the temperature (and on fixed coefficient
// tables) alone, remembered per thread for the last temperature: a co2table row, a library
// isotherm or a Python array over pressures evaluates them at every point of the temperature.
//
// A block is looked up by the bits of everything it reads, so a hit gives exactly the values its
// statements would give. A block is kept only when its run raised nothing, and looked up only when
// nothing is pending: a hit then skips statements that would have raised nothing and ended
// quietly, which is all that a statement without an error does.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <tuple>
#include <type_traits>

#include "core/errors.h"

namespace co2 {

template <class KeyType, class Value> class LastBlock {
  public:
    using Key = std::remove_cvref_t<KeyType>;

    // The block's values for `key`: the remembered ones, or those `compute()` forms.
    template <class F> Value get(const Key& key, F&& compute) {
        const bool quiet = quietNow();
        if (quiet && valid_ && std::memcmp(key.data(), key_.data(), sizeof(Key)) == 0) return value_;
        Value value = compute();
        valid_ = quiet && quietNow();
        if (valid_) {
            key_ = key;
            value_ = value;
        }
        return value;
    }

  private:
    static bool quietNow() { return core::errorState().eventFlag.load(std::memory_order_relaxed) == 0; }

    bool valid_ = false;
    Key key_{};
    Value value_{};
};

// The values of `block` (a lambda) for `key`: on the fast path remembered per thread and per call
// site (each lambda is a type of its own, so each site has its own LastBlock); on the calculator's
// path the block as written, every time.
template <class Path, class Key, class F> auto keptFor(const Key& key, F&& block) {
    if constexpr (Path::kFast) {
        thread_local LastBlock<Key, std::invoke_result_t<F&>> last;
        return last.get(key, block);
    } else {
        return block();
    }
}

// The key of a block: its scalar inputs, then the coefficient arrays it reads, in order.
template <std::size_t NScalars, class... Arrays>
std::array<double, (NScalars + ... + std::tuple_size_v<Arrays>)>
blockKey(const std::array<double, NScalars>& scalars, const Arrays&... arrays) {
    std::array<double, (NScalars + ... + std::tuple_size_v<Arrays>)> key{};
    std::size_t i = 0;
    const auto append = [&](const auto& a) {
        for (double v : a)
            key[i++] = v;
    };
    append(scalars);
    (append(arrays), ...);
    return key;
}

} // namespace co2
