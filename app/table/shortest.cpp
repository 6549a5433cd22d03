// Shortest round-trip decimal of a double by the Schubfach method: the rounding interval of the
// double is scaled by a power of ten chosen so that it holds at most one multiple of ten, and the
// candidates next to the scaled value are tested against its ends. A 128-bit approximation of the
// power of ten, with the product rounded to odd, is exact enough for these comparisons.
#include "app/table/shortest.h"

#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__x86_64__) && defined(__SSE2__)
#include <emmintrin.h>
#endif

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
inline Decimal toDecimal(int q, std::uint64_t c) {
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
    // Otherwise s or t = s + 1, whichever lies in the interval, the closer (the even one on a tie)
    // if both do; one of them always does.
    const std::uint64_t t = s + 1;
    const bool uin = vbl + out <= s << 2;
    const bool win = (t << 2) + out <= vbr;
    const std::uint64_t mid = (s + t) << 1;
    // Selected without branches (bitwise on the conditions): which case applies varies from
    // number to number.
    const bool sCloser = (vb < mid) | ((vb == mid) & ((s & 1) == 0));
    const std::uint64_t shorter = upin ? sp10 : tp10;
    const std::uint64_t nearer = t - static_cast<std::uint64_t>(uin & (!win | sCloser));
    const std::uint64_t useShorter = 0 - static_cast<std::uint64_t>(upin != wpin);
    return {(shorter & useShorter) | (nearer & ~useShorter), k};
}

constexpr std::uint64_t kPow10U64[18] = {1ull,
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
                                         100000000000000000ull};

int decimalLength(std::uint64_t n) {
    // 1233/4096 ~ log10(2): the estimate is the length or one more.
    const int estimate = ((64 - std::countl_zero(n | 1)) * 1233) >> 12;
    return estimate + 1 - (n < kPow10U64[estimate] ? 1 : 0);
}

inline void store8(char* at, std::uint64_t bytes) {
    static_assert(std::endian::native == std::endian::little);
    std::memcpy(at, &bytes, 8);
}

// The text of two blocks of eight digits, and how many zeros end it.
struct SixteenDigits {
    std::uint64_t middle;
    std::uint64_t last;
    int trailingZeros;
};

#if defined(__x86_64__) && defined(__SSE2__) && !defined(CO2_SHORTEST_PORTABLE)
// All sixteen digits at once in the lanes of a vector register, each lane split in two by
// multiplying with a scaled reciprocal: the blocks by 10^4 (32-bit), then floor(x * 5243 / 2^19) =
// x / 100 for x < 10^4 and floor(x * 6554 / 2^16) = x / 10 for x < 100 (16-bit lanes). The first
// digit of the text lands in the lowest byte. (CO2_SHORTEST_PORTABLE selects the version below,
// to check it where this one would be taken.)
inline SixteenDigits sixteenDigits(std::uint32_t middle, std::uint32_t last) {
    const __m128i v = _mm_set_epi64x(last, middle);
    const __m128i high4 = _mm_srli_epi64(_mm_mul_epu32(v, _mm_set1_epi64x(0xD1B71759)), 45);
    const __m128i low4 = _mm_sub_epi64(v, _mm_mul_epu32(high4, _mm_set1_epi64x(10000)));
    const __m128i x = _mm_or_si128(high4, _mm_slli_epi64(low4, 32));
    const __m128i high2 = _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(5243)), 3);
    const __m128i low2 = _mm_sub_epi16(x, _mm_mullo_epi16(high2, _mm_set1_epi16(100)));
    const __m128i y = _mm_or_si128(high2, _mm_slli_epi32(low2, 16));
    const __m128i tens = _mm_mulhi_epu16(y, _mm_set1_epi16(6554));
    const __m128i ones = _mm_sub_epi16(y, _mm_mullo_epi16(tens, _mm_set1_epi16(10)));
    const __m128i z = _mm_or_si128(tens, _mm_slli_epi16(ones, 8));
    const auto zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(z, _mm_setzero_si128())));
    const __m128i text = _mm_add_epi8(z, _mm_set1_epi8('0'));
    return {static_cast<std::uint64_t>(_mm_cvtsi128_si64(text)),
            static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(text, text))),
            std::countl_zero(static_cast<std::uint16_t>(~zeros))};
}
#else
constexpr std::uint64_t kAsciiZeros = 0x3030303030303030;

// Without vector registers, the same in the lanes of a 64-bit word: the eight decimal digits of
// n < 10^8 (with leading zeros) as byte values, the first digit in the lowest byte, which is where
// it lies in memory on a little-endian machine. Each step splits every lane in two at once by
// multiplying with a scaled reciprocal: floor(x * 10486 / 2^20) = x / 100 for x < 10^4,
// floor(x * 103 / 2^10) = x / 10 for x < 100, and no lane's product reaches the next.
inline std::uint64_t eightDigits(std::uint32_t n) {
    const std::uint64_t x = (n / 10000) | (static_cast<std::uint64_t>(n % 10000) << 32);
    const std::uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007F;
    const std::uint64_t y = hundreds | ((x - hundreds * 100) << 16);
    const std::uint64_t tens = ((y * 103) >> 10) & 0x000F000F000F000F;
    return tens | ((y - tens * 10) << 8);
}

inline SixteenDigits sixteenDigits(std::uint32_t middle, std::uint32_t last) {
    const std::uint64_t middleDigits = eightDigits(middle);
    const std::uint64_t lastDigits = eightDigits(last);
    const int trailingZeros = lastDigits != 0     ? std::countl_zero(lastDigits) / 8
                              : middleDigits != 0 ? 8 + std::countl_zero(middleDigits) / 8
                                                  : 16;
    return {middleDigits + kAsciiZeros, lastDigits + kAsciiZeros, trailingZeros};
}
#endif

// The exact value of an integral double c * 2^q, 0 < q, below 10^23: to_chars prints the exact
// digits of a large number in fixed notation, not its shortest digits followed by zeros. Rare:
// kept out of line.
[[gnu::noinline]] char* writeExactInteger(char* out, std::uint64_t c, int q, int length) {
    char* end = out + length;
    if (q <= 11) { // below 2^64
        for (std::uint64_t n = c << q; end != out; n /= 10)
            *--end = static_cast<char>('0' + n % 10);
        return out + length;
    }
    constexpr std::uint64_t kTen19 = 10000000000000000000ull;
    const Uint128 n = static_cast<Uint128>(c) << q;
    auto low = static_cast<std::uint64_t>(n % kTen19);
    auto high = static_cast<std::uint64_t>(n / kTen19);
    for (int i = 0; i < 19; ++i, low /= 10)
        *--end = static_cast<char>('0' + low % 10);
    for (; end != out; high /= 10)
        *--end = static_cast<char>('0' + high % 10);
    return out + length;
}

char* writeExponent(char* out, int exponent) {
    out[0] = 'e';
    out[1] = exponent < 0 ? '-' : '+';
    const auto e = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
    if (e >= 100) {
        out[2] = static_cast<char>('0' + e / 100);
        out[3] = static_cast<char>('0' + e / 10 % 10);
        out[4] = static_cast<char>('0' + e % 10);
        return out + 5;
    }
    out[2] = static_cast<char>('0' + e / 10);
    out[3] = static_cast<char>('0' + e % 10);
    return out + 4;
}

// Writes f, seventeen digits (zeros appended), as the text of f * 10^(pointExponent - 16): fixed
// or scientific, whichever is shorter, fixed on a tie. c * 2^q is the double, for the exact digits
// of a large integer.
inline char* writeSeventeen(char* out, std::uint64_t f, int pointExponent, std::uint64_t c, int q) {
    // The first digit, then two blocks of eight.
    const std::uint64_t high = f / 100000000; // below 10^9
    const auto last = static_cast<std::uint32_t>(f - high * 100000000);
    const auto first = static_cast<std::uint32_t>(high / 100000000);
    const auto middle = static_cast<std::uint32_t>(high - std::uint64_t{first} * 100000000);
    const SixteenDigits digits = sixteenDigits(middle, last);
    const int length = 17 - digits.trailingZeros;
    const char firstDigit = static_cast<char>('0' + first);
    const std::uint64_t middleText = digits.middle;
    const std::uint64_t lastText = digits.last;
    // The seventeen digits written from `at`. The text is built in registers and only stored:
    // copying it through a scratch buffer costs more than the conversion (the loads that span
    // several recent stores wait for them).
    const auto writeDigits = [&](char* at) {
        at[0] = firstDigit;
        store8(at + 1, middleText);
        store8(at + 9, lastText);
    };

    // Fixed is the shorter or as short down to 0.000d (0.0001234 against 1.234e-04) and up to
    // four zeros after the digits (12340000 against 1.234e+07, 10000 against 1e+04).
    const int wider = length > 1 ? 1 : 0;
    if (pointExponent >= -3 - wider && pointExponent <= length + 3 + wider) {
        if (pointExponent >= length - 1) {
            if (q > 0 && pointExponent >= length) return writeExactInteger(out, c, q, pointExponent + 1);
            writeDigits(out); // at most 17 digits: an integer below 2^53
            return out + pointExponent + 1;
        }
        if (pointExponent >= 0) {
            // The digits, then the point over the first fractional digit and those digits again,
            // one place further on.
            writeDigits(out);
            out[pointExponent + 1] = '.';
            const Uint128 tail = (middleText | static_cast<Uint128>(lastText) << 64) >> (8 * pointExponent);
            store8(out + pointExponent + 2, static_cast<std::uint64_t>(tail));
            store8(out + pointExponent + 10, static_cast<std::uint64_t>(tail >> 64));
            return out + length + 1;
        }
        std::memcpy(out, "0.000", 5);
        writeDigits(out + 1 - pointExponent);
        return out + length + 1 - pointExponent;
    }
    out[0] = firstDigit;
    if (length == 1) return writeExponent(out + 1, pointExponent);
    out[1] = '.';
    store8(out + 2, middleText);
    store8(out + 10, lastText);
    return writeExponent(out + length + 1, pointExponent);
}

// Infinities, NaNs, zeros, subnormals and integers below 2^53: out of the way of the common case.
[[gnu::noinline]] char* writeUncommon(char* out, std::uint64_t bits) {
    const std::uint64_t fraction = bits & (kHiddenBit - 1);
    const auto biased = static_cast<int>((bits >> kSignificandBits) & 0x7FF);
    if (biased == 0x7FF) {
        std::memcpy(out, fraction == 0 ? "inf" : "nan", 3);
        return out + 3;
    }
    if (biased == 0 && fraction == 0) {
        *out = '0';
        return out + 1;
    }
    std::uint64_t f;
    int pointExponent;
    if (biased == 0) {
        const Decimal d = toDecimal(kMinExponent, fraction);
        f = d.digits;
        pointExponent = d.exponent;
    } else {
        // An integer below 2^53 is its own shortest form.
        f = (kHiddenBit | fraction) >> (kExponentBias - biased);
        pointExponent = 0;
    }
    const int padding = 17 - decimalLength(f);
    return writeSeventeen(out, f * kPow10U64[padding], pointExponent + 16 - padding, 0, 0);
}

} // namespace

char* writeShortest(char* out, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    if (bits >> 63) *out++ = '-';
    const auto biased = static_cast<int>((bits >> kSignificandBits) & 0x7FF);
    const std::uint64_t c = kHiddenBit | (bits & (kHiddenBit - 1));
    const int q = biased - kExponentBias;
    // An integer: q <= 0 and no bit of c below 2^-q (then also c * 2^q >= 1).
    const bool integer = static_cast<unsigned>(-q) <= static_cast<unsigned>(std::countr_zero(c));
    if ((static_cast<unsigned>(biased - 1) >= 0x7FE) | integer) return writeUncommon(out, bits);
    const Decimal d = toDecimal(q, c);
    // A normal number's scaled value lies in [2^52, 10 * 2^53): 16 or 17 digits.
    const unsigned sixteen = d.digits < 10000000000000000 ? 1 : 0;
    return writeSeventeen(out, d.digits * (1 + 9 * sixteen), d.exponent + 16 - static_cast<int>(sixteen), c,
                          q);
}

} // namespace co2::table
