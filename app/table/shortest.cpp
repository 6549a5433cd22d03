// Shortest round-trip decimal of a double by the Schubfach method: the rounding interval of the
// double is scaled by a power of ten chosen so that it holds at most one multiple of ten, and the
// candidates next to the scaled value are tested against its ends. A 128-bit approximation of the
// power of ten, with the product rounded to odd, is exact enough for these comparisons.
#include "app/table/shortest.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "app/table/shortest_pow10.h"

namespace co2::table {
namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr int kSignificandBits = 52;
constexpr int kExponentBias = 1075; // q = biased exponent - 1075 for c in [2^52, 2^53)
constexpr int kMinExponent = -1074; // q of the subnormals
constexpr std::uint64_t kHiddenBit = std::uint64_t{1} << kSignificandBits;

// floor(log10(2^q)), floor(log10(3/4 * 2^q)) and floor(log2(10^e)) over the exponents of doubles:
// tools/make_pow10_table.py checks these against exact values.
constexpr int floorLog10Pow2(int q) {
    return (q * 315653) >> 20;
}
constexpr int floorLog10ThreeQuartersPow2(int q) {
    return (q * 315653 - 131237) >> 20;
}
constexpr int floorLog2Pow10(int e) {
    return (e * 1741647) >> 19;
}

// floor(g * cp / 2^128) with its lowest bit set when the product has a fraction, for g the
// approximation of a power of ten: an odd result stands for "strictly between two integers".
inline std::uint64_t roundToOdd(const detail::Pow10Significand& g, std::uint64_t cp) {
    const Uint128 low = static_cast<Uint128>(g.low) * cp;
    const Uint128 high = static_cast<Uint128>(g.high) * cp + static_cast<std::uint64_t>(low >> 64);
    return static_cast<std::uint64_t>(high >> 64) | (static_cast<std::uint64_t>(high) > 1 ? 1u : 0u);
}

struct Decimal {
    std::uint64_t digits; // may end in zeros
    int exponent;
};

// The shortest decimal in the rounding interval of c * 2^q, the one closest to it if there are
// several, the one with an even last digit if two are equally close.
Decimal toDecimal(int q, std::uint64_t c) {
    const std::uint64_t out = c & 1; // an odd significand does not round-trip from its interval's ends
    const std::uint64_t cb = c << 2;
    const std::uint64_t cbr = cb + 2;
    std::uint64_t cbl;
    int k;
    if (c != kHiddenBit || q == kMinExponent) {
        cbl = cb - 2;
        k = floorLog10Pow2(q);
    } else {
        // The power-of-two boundary: the next double down is half as far as the next one up.
        cbl = cb - 1;
        k = floorLog10ThreeQuartersPow2(q);
    }
    const int h = q + floorLog2Pow10(-k) + 1;
    const detail::Pow10Significand& g = detail::kPow10[-k - detail::kPow10Min];
    const std::uint64_t vb = roundToOdd(g, cb << h);
    const std::uint64_t vbl = roundToOdd(g, cbl << h);
    const std::uint64_t vbr = roundToOdd(g, cbr << h);

    // One digit shorter: at most one multiple of ten times 10^k fits in the interval.
    const std::uint64_t s = vb >> 2;
    const std::uint64_t sp10 = s / 10 * 10;
    const std::uint64_t tp10 = sp10 + 10;
    const bool upin = vbl + out <= sp10 << 2;
    const bool wpin = (tp10 << 2) + out <= vbr;
    if (upin != wpin) return {upin ? sp10 : tp10, k};

    const std::uint64_t t = s + 1;
    const bool uin = vbl + out <= s << 2;
    const bool win = (t << 2) + out <= vbr;
    if (uin != win) return {uin ? s : t, k};
    const std::uint64_t mid = (s + t) << 1;
    return {vb < mid || (vb == mid && (s & 1) == 0) ? s : t, k};
}

int removeTrailingZeros(std::uint64_t& digits) {
    int removed = 0;
    if (digits % 100000000 == 0) {
        digits /= 100000000;
        removed += 8;
        if (digits % 100000000 == 0) {
            digits /= 100000000;
            removed += 8;
        }
    }
    if (digits % 10000 == 0) {
        digits /= 10000;
        removed += 4;
    }
    if (digits % 100 == 0) {
        digits /= 100;
        removed += 2;
    }
    if (digits % 10 == 0) {
        digits /= 10;
        removed += 1;
    }
    return removed;
}

constexpr std::uint64_t kPow10U64[20] = {1ull,
                                         10ull,
                                         100ull,
                                         1000ull,
                                         10000ull,
                                         100000ull,
                                         1000000ull,
                                         10000000ull,
                                         100000000ull,
                                         1000000000ull,
                                         10000000000ull,
                                         100000000000ull,
                                         1000000000000ull,
                                         10000000000000ull,
                                         100000000000000ull,
                                         1000000000000000ull,
                                         10000000000000000ull,
                                         100000000000000000ull,
                                         1000000000000000000ull,
                                         10000000000000000000ull};

int decimalLength(std::uint64_t n) {
    // 1233/4096 ~ log10(2): the estimate is the length or one more.
    const int estimate = ((64 - std::countl_zero(n | 1)) * 1233) >> 12;
    return estimate + 1 - (n < kPow10U64[estimate] ? 1 : 0);
}

constexpr char kDigitPairs[] = "00010203040506070809"
                               "10111213141516171819"
                               "20212223242526272829"
                               "30313233343536373839"
                               "40414243444546474849"
                               "50515253545556575859"
                               "60616263646566676869"
                               "70717273747576777879"
                               "80818283848586878889"
                               "90919293949596979899";

inline void writePair(char* at, std::uint32_t n) {
    std::memcpy(at, kDigitPairs + 2 * n, 2);
}

// Writes the decimal digits of n so that they end just before `end`.
void writeDigitsBackward(char* end, std::uint64_t n) {
    while (n >= 100000000) {
        const auto low = static_cast<std::uint32_t>(n % 100000000);
        n /= 100000000;
        const std::uint32_t a = low / 10000;
        const std::uint32_t b = low % 10000;
        writePair(end - 8, a / 100);
        writePair(end - 6, a % 100);
        writePair(end - 4, b / 100);
        writePair(end - 2, b % 100);
        end -= 8;
    }
    auto m = static_cast<std::uint32_t>(n);
    while (m >= 100) {
        writePair(end - 2, m % 100);
        m /= 100;
        end -= 2;
    }
    if (m >= 10)
        writePair(end - 2, m);
    else
        end[-1] = static_cast<char>('0' + m);
}

// The exact value of an integral double below 2^128, for fixed notation of large numbers: the
// shortest digits followed by zeros would read back the same but are not what to_chars prints.
char* writeExactInteger(char* out, std::uint64_t c, int q, int length) {
    if (q <= 11) { // below 2^64
        writeDigitsBackward(out + length, q >= 0 ? c << q : c >> -q);
        return out + length;
    }
    const Uint128 n = static_cast<Uint128>(c) << q;
    constexpr std::uint64_t kTen19 = 10000000000000000000ull;
    const auto high = static_cast<std::uint64_t>(n / kTen19);
    const auto low = static_cast<std::uint64_t>(n % kTen19);
    if (high == 0) {
        writeDigitsBackward(out + length, low);
    } else {
        // The low part keeps its leading zeros.
        char* end = out + length;
        std::uint64_t rest = low;
        for (int i = 0; i < 19; ++i) {
            *--end = static_cast<char>('0' + rest % 10);
            rest /= 10;
        }
        writeDigitsBackward(end, high);
    }
    return out + length;
}

char* writeExponent(char* out, int exponent) {
    *out++ = 'e';
    if (exponent < 0) {
        *out++ = '-';
        exponent = -exponent;
    } else {
        *out++ = '+';
    }
    const auto e = static_cast<std::uint32_t>(exponent);
    if (e >= 100) {
        *out++ = static_cast<char>('0' + e / 100);
        writePair(out, e % 100);
    } else {
        writePair(out, e);
    }
    return out + 2;
}

} // namespace

char* writeShortest(char* out, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const std::uint64_t fraction = bits & (kHiddenBit - 1);
    const auto biased = static_cast<int>((bits >> kSignificandBits) & 0x7FF);
    if (bits >> 63) *out++ = '-';
    if (biased == 0x7FF) {
        std::memcpy(out, fraction == 0 ? "inf" : "nan", 3);
        return out + 3;
    }

    std::uint64_t c;
    int q;
    Decimal d;
    if (biased != 0) {
        c = kHiddenBit | fraction;
        q = biased - kExponentBias;
        if (q <= 0 && q > -kSignificandBits - 1 && (c & ((std::uint64_t{1} << -q) - 1)) == 0)
            d = {c >> -q, 0}; // an integer below 2^53 is its own shortest form
        else
            d = toDecimal(q, c);
    } else {
        if (fraction == 0) {
            *out = '0';
            return out + 1;
        }
        c = fraction;
        q = kMinExponent;
        d = toDecimal(q, c);
    }

    d.exponent += removeTrailingZeros(d.digits);
    const int length = decimalLength(d.digits);
    const int pointExponent = d.exponent + length - 1; // of the first digit
    const int absExponent = pointExponent < 0 ? -pointExponent : pointExponent;
    const int scientificLength = length + (length > 1 ? 1 : 0) + (absExponent >= 100 ? 5 : 4);
    int fixedLength;
    if (d.exponent >= 0)
        fixedLength = length + d.exponent;
    else if (pointExponent >= 0)
        fixedLength = length + 1;
    else
        fixedLength = length + 1 - pointExponent;

    if (fixedLength <= scientificLength) {
        if (d.exponent > 0) return writeExactInteger(out, c, q, fixedLength);
        if (d.exponent == 0) {
            writeDigitsBackward(out + length, d.digits);
            return out + length;
        }
        if (pointExponent >= 0) {
            // Digits with the point after the first pointExponent + 1 of them.
            writeDigitsBackward(out + length + 1, d.digits);
            std::memmove(out, out + 1, static_cast<std::size_t>(pointExponent + 1));
            out[pointExponent + 1] = '.';
            return out + length + 1;
        }
        out[0] = '0';
        out[1] = '.';
        std::memset(out + 2, '0', static_cast<std::size_t>(-pointExponent - 1));
        writeDigitsBackward(out + fixedLength, d.digits);
        return out + fixedLength;
    }

    if (length == 1) {
        out[0] = static_cast<char>('0' + d.digits);
        return writeExponent(out + 1, pointExponent);
    }
    writeDigitsBackward(out + length + 1, d.digits);
    out[0] = out[1];
    out[1] = '.';
    return writeExponent(out + length + 1, pointExponent);
}

} // namespace co2::table
