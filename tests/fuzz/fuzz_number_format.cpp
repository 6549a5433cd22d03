// Random templates and values through both entry points: no crash, no overrun, no hang, and
// output bounded by the template and the digit record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "core/number_format.h"

namespace {

// Literal text is copied at most twice per template character (the scan may wrap once), a
// field gives at most its own places, every digit of the record, the separators between them,
// and a few signs, marks and exponent characters.
std::size_t outputBound(std::size_t templateLength) {
    return 3 * templateLength + core::kMaxFormatDigits + core::kMaxFormatDigits / 3 + 64;
}

void check(bool condition) {
    if (!condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Layout: 1 selector byte, 8 bytes of double, 16 bytes of extended, 1 byte of start
    // position, then the template.
    constexpr std::size_t kHead = 1 + 8 + 16 + 1;
    if (size < kHead) return 0;
    const std::uint8_t selector = data[0];
    double d;
    std::memcpy(&d, data + 1, sizeof d);
    core::ext x = 0;
    std::memcpy(&x, data + 9, 10); // the 80-bit value; the padding stays zero
    const std::size_t pos = data[25];
    const std::string_view picture(reinterpret_cast<const char*>(data + kHead), size - kHead);

    // Values that exercise rounding near the field edges, besides the raw bit patterns.
    if (selector & 0x80) {
        d = static_cast<double>(static_cast<std::int8_t>(data[1])) * 1.0e-3 + 0.0005 * (data[2] & 3);
        x = static_cast<core::ext>(d);
    }

    core::resetErrorStateForTesting();
    const core::FormattedNumber a = core::formatDouble(picture, d, pos);
    check(a.text.size() <= outputBound(picture.size()));
    check(a.next < picture.size() || a.next == 0);

    core::resetErrorStateForTesting();
    const core::FormattedNumber b = core::formatExtended(picture, x, pos);
    check(b.text.size() <= outputBound(picture.size()));
    check(b.next < picture.size() || b.next == 0);

    // A pending error makes both entries do nothing.
    if (core::errorState().pendingError.load() != 0) {
        check(core::formatDouble(picture, d, pos).text.empty());
        check(core::formatExtended(picture, x, pos).text.empty());
    }
    core::resetErrorStateForTesting();
    return 0;
}
