#include "core/number_format.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/errors.h"

namespace core {
namespace {

// The decimal form of one value: magnitude = (integer written by `digits`) * 10^(count - k).
struct DecimalRecord {
    bool negative = false;
    std::string digits; // most significant first, at most kMaxFormatDigits
    std::int64_t k = 0; // count of integer digits (count + exponent); <= 0 below 1
};

// Reads what the C library wrote: a sign place (' ' or '-'), digits, '.', digits and, in the
// scientific form, an exponent. Anything else (inf, nan) is not a number we can lay out.
bool readDecimal(const char* text, std::size_t length, bool scientific, DecimalRecord& record) {
    if (length < 2 || (text[0] != ' ' && text[0] != '-')) return false;
    record.negative = text[0] == '-';
    record.digits.clear();
    std::int64_t exp10 = 0;
    std::size_t i = 1;
    auto isDigit = [&](std::size_t at) { return at < length && text[at] >= '0' && text[at] <= '9'; };
    auto takeDigit = [&]() {
        if (record.digits.size() >= kMaxFormatDigits) return false;
        record.digits.push_back(text[i++]);
        return true;
    };
    if (!isDigit(i)) return false;
    while (isDigit(i))
        if (!takeDigit()) return false;
    if (i < length && text[i] == '.') {
        ++i;
        while (isDigit(i)) {
            if (!takeDigit()) return false;
            --exp10;
        }
    }
    if (scientific) {
        if (i >= length || (text[i] != 'E' && text[i] != 'e')) return false;
        ++i;
        bool negativeExponent = false;
        if (i < length && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
        if (!isDigit(i)) return false;
        std::int64_t exponent = 0;
        while (isDigit(i)) {
            exponent = exponent * 10 + (text[i++] - '0');
            if (exponent > 100000) return false;
        }
        exp10 += negativeExponent ? -exponent : exponent;
    }
    if (i != length) return false;
    record.k = static_cast<std::int64_t>(record.digits.size()) + exp10;
    // Zero in scientific form, and every value below 1 in fixed form, starts with an integer
    // digit "0". Counted as an integer place it would mark a value that fits a field without
    // integer places with "%"; dropping it lets the layout write "0." only where there is room,
    // and makes both forms lay out alike.
    std::size_t zeros = 0;
    while (record.k > 0 && zeros < record.digits.size() && record.digits[zeros] == '0') {
        ++zeros;
        --record.k;
    }
    record.digits.erase(0, zeros);
    return true;
}

bool decimalOfDouble(double value, DecimalRecord& record) {
    // 1 sign + 1 digit + '.' + 255 digits + 'E' + sign + at most 3 exponent digits, with room.
    char buffer[300];
    const int written = std::snprintf(buffer, sizeof buffer, "% .255E", value);
    if (written < 0 || static_cast<std::size_t>(written) >= sizeof buffer) return false;
    return readDecimal(buffer, static_cast<std::size_t>(written), true, record);
}

bool decimalOfExtended(ext value, DecimalRecord& record) {
    // The fixed form keeps every integer digit: 10^4932 would take about 5200 characters. The
    // buffer holds the bounded record and a little more; snprintf truncates the rest and tells
    // the full length, which then fails the bound instead of overrunning anything.
    char buffer[kMaxFormatDigits + 16];
    const int written = std::snprintf(buffer, sizeof buffer, "% .255Lf", value);
    if (written < 0 || static_cast<std::size_t>(written) >= sizeof buffer) return false;
    return readDecimal(buffer, static_cast<std::size_t>(written), false, record);
}

// ---- the template ------------------------------------------------------------------------------

enum class Start { literal, number, text };

struct Field {
    std::int64_t intPlaces = 0;
    std::int64_t fracPlaces = 0;
    bool point = false;
    bool comma = false;
    bool starFill = false;
    bool dollar = false;
    bool leadSign = false;
    char trailSign = 0;         // '+' or '-' after the field, 0 when none
    std::int64_t expDigits = 0; // 2 for "^^^^", 3 for "^^^^^", 0 for the fixed form
};

bool at(std::string_view s, std::size_t i, char c) {
    return i < s.size() && s[i] == c;
}

Start classify(std::string_view pic, std::size_t p) {
    switch (pic[p]) {
    case '#':
        return Start::number;
    case '.':
        return at(pic, p + 1, '#') ? Start::number : Start::literal;
    case '+':
        if (at(pic, p + 1, '#') || (at(pic, p + 1, '.') && at(pic, p + 2, '#')) ||
            (at(pic, p + 1, '*') && at(pic, p + 2, '*')) || (at(pic, p + 1, '$') && at(pic, p + 2, '$')))
            return Start::number;
        return Start::literal;
    case '*':
        return at(pic, p + 1, '*') ? Start::number : Start::literal;
    case '$':
        return at(pic, p + 1, '$') ? Start::number : Start::literal;
    case '&':
    case '!':
        return Start::text;
    case '\\': {
        std::size_t q = p + 1;
        while (at(pic, q, ' '))
            ++q;
        return at(pic, q, '\\') ? Start::text : Start::literal;
    }
    default:
        return Start::literal;
    }
}

// Reads the numeric field that classify() found at p; returns the position after it.
std::size_t parseField(std::string_view pic, std::size_t p, Field& f) {
    std::size_t q = p;
    if (at(pic, q, '+')) {
        f.leadSign = true;
        ++q;
    }
    if (at(pic, q, '*') && at(pic, q + 1, '*')) {
        f.starFill = true;
        f.intPlaces += 2;
        q += 2;
        if (at(pic, q, '$')) {
            f.dollar = true;
            ++q;
        }
    } else if (at(pic, q, '$') && at(pic, q + 1, '$')) {
        f.dollar = true;
        f.intPlaces += 1;
        q += 2;
    }
    while (q < pic.size()) {
        if (pic[q] == '#') {
            ++f.intPlaces;
        } else if (pic[q] == ',' && f.intPlaces > 0 &&
                   (at(pic, q + 1, '#') || at(pic, q + 1, ',') || at(pic, q + 1, '.'))) {
            // A separator needs a digit position before it and more of the field after it, so
            // that "##, next" keeps its comma as text.
            f.comma = true;
            ++f.intPlaces;
        } else {
            break;
        }
        ++q;
    }
    if (at(pic, q, '.')) {
        f.point = true;
        ++q;
        while (at(pic, q, '#')) {
            ++f.fracPlaces;
            ++q;
        }
    }
    if (pic.substr(q, 5) == "^^^^^") {
        f.expDigits = 3;
        q += 5;
    } else if (pic.substr(q, 4) == "^^^^") {
        f.expDigits = 2;
        q += 4;
    }
    if (!f.leadSign && (at(pic, q, '+') || at(pic, q, '-'))) f.trailSign = pic[q++];
    return q;
}

// Appends the literal at p ("_" quotes the next character) and returns the position after it.
std::size_t appendLiteral(std::string_view pic, std::size_t p, std::string& out) {
    if (pic[p] == '_' && p + 1 < pic.size()) {
        out.push_back(pic[p + 1]);
        return p + 2;
    }
    out.push_back(pic[p]);
    return p + 1;
}

// ---- rounding and layout -----------------------------------------------------------------------

char digitAt(const DecimalRecord& r, std::int64_t index) {
    if (index < 0 || index >= static_cast<std::int64_t>(r.digits.size())) return '0';
    return r.digits[static_cast<std::size_t>(index)];
}

// Rounds half away from zero so that `used` digits remain. The digits after the kept ones are
// dropped: once rounded, the layout places exactly the kept digits (or one more after a carry
// into a new leading digit, which then moves k up by one).
void roundAt(DecimalRecord& r, std::int64_t used) {
    const auto count = static_cast<std::int64_t>(r.digits.size());
    if (used < 0 || used >= count || r.digits[static_cast<std::size_t>(used)] <= '4') return;
    std::string s = "0" + r.digits.substr(0, static_cast<std::size_t>(used));
    std::size_t i = s.size() - 1;
    while (true) {
        if (s[i] == '9') {
            s[i] = '0';
            --i; // the front "0" stops the carry at the latest
        } else {
            ++s[i];
            break;
        }
    }
    if (s[0] == '0') {
        s.erase(0, 1);
    } else {
        ++r.k;
    }
    r.digits = std::move(s);
}

void appendSign(char trailSign, bool negative, std::string& out) {
    if (trailSign == '+') out.push_back(negative ? '-' : '+');
    if (trailSign == '-') out.push_back(negative ? '-' : ' ');
}

void layoutFixed(const Field& f, DecimalRecord r, std::string& out) {
    roundAt(r, r.k + f.fracPlaces);

    std::int64_t intPlaces = f.intPlaces;
    const bool signPlace = r.negative && !f.leadSign && f.trailSign == 0;
    if (signPlace) --intPlaces;

    const std::int64_t kUsed = std::max<std::int64_t>(r.k, 0);
    const std::int64_t separators = (f.comma && kUsed > 0) ? (kUsed - 1) / 3 : 0;
    const std::int64_t intLength = kUsed + separators;
    // Nothing is cut: a field too narrow for its integer digits (or, below 1, for the sign that
    // took its only place) grows to fit and says so with "%".
    const bool widened = intLength > intPlaces;
    if (widened) intPlaces = intLength;
    std::int64_t fill = intPlaces - intLength;
    const bool leadingZero = kUsed == 0 && fill >= 1;
    if (leadingZero) --fill;

    if (widened) out.push_back('%');
    if (f.leadSign) out.push_back(r.negative ? '-' : '+');
    out.append(static_cast<std::size_t>(fill), f.starFill ? '*' : ' ');
    if (signPlace) out.push_back('-');
    if (f.dollar) out.push_back('$');
    if (leadingZero) out.push_back('0');
    for (std::int64_t i = 0; i < kUsed; ++i) {
        out.push_back(digitAt(r, i));
        const std::int64_t left = kUsed - 1 - i;
        if (f.comma && left > 0 && left % 3 == 0) out.push_back(',');
    }
    if (f.point) out.push_back('.');
    for (std::int64_t i = 0; i < f.fracPlaces; ++i)
        out.push_back(digitAt(r, r.k + i));
    appendSign(f.trailSign, r.negative, out);
}

void layoutExponent(const Field& f, DecimalRecord r, char letter, std::string& out) {
    const std::size_t first = r.digits.find_first_not_of('0');
    const bool zero = first == std::string::npos;
    if (!zero && first > 0) {
        r.digits.erase(0, first);
        r.k -= static_cast<std::int64_t>(first);
    }

    // Without a sign character one integer place always holds the sign (a space when the value
    // is not negative), so that the numbers of a column line up whatever their signs.
    std::int64_t mantissaInt = f.intPlaces;
    bool signPlace = false;
    if (!f.leadSign && f.trailSign == 0 && mantissaInt > 0) {
        signPlace = true;
        --mantissaInt;
    }
    bool widened = false;
    if (mantissaInt + f.fracPlaces == 0) {
        mantissaInt = 1; // a field of sign place only: show one digit rather than none
        widened = true;
    }
    const std::int64_t shown = mantissaInt + f.fracPlaces;
    roundAt(r, shown);
    const std::int64_t exponent = zero ? 0 : r.k - mantissaInt;

    const std::int64_t magnitude = exponent < 0 ? -exponent : exponent;
    std::string expText = std::to_string(magnitude);
    if (static_cast<std::int64_t>(expText.size()) < f.expDigits)
        expText.insert(0, static_cast<std::size_t>(f.expDigits) - expText.size(), '0');
    if (static_cast<std::int64_t>(expText.size()) > f.expDigits) widened = true;

    if (widened) out.push_back('%');
    if (f.leadSign) out.push_back(r.negative ? '-' : '+');
    if (signPlace) out.push_back(r.negative ? '-' : ' ');
    if (!f.leadSign && f.trailSign == 0 && !signPlace && r.negative) out.push_back('-');
    if (f.dollar) out.push_back('$');
    std::int64_t index = 0;
    for (std::int64_t i = 0; i < mantissaInt; ++i)
        out.push_back(zero ? '0' : digitAt(r, index++));
    if (f.point) out.push_back('.');
    for (std::int64_t i = 0; i < f.fracPlaces; ++i)
        out.push_back(zero ? '0' : digitAt(r, index++));
    out.push_back(letter);
    out.push_back(exponent < 0 ? '-' : '+');
    out += expText;
    appendSign(f.trailSign, r.negative, out);
}

bool errorPending() {
    return errorState().pendingError.load(std::memory_order_relaxed) != 0;
}

std::size_t formatRecord(std::string_view pic, std::size_t pos, const DecimalRecord& record, char letter,
                         std::string& out) {
    const std::size_t length = pic.size();
    const bool fromStart = pos == 0 || pos >= length;
    std::size_t p = pos >= length ? 0 : pos;
    bool wrapped = false;

    // Literal text up to the field; a template without a field wraps once, unless the scan
    // began at its start, where nothing more is to be found.
    while (true) {
        if (p >= length) {
            if (fromStart || wrapped) {
                raiseError(ErrorCode::illegalFunctionCall);
                return 0;
            }
            wrapped = true;
            p = 0;
            continue;
        }
        const Start start = classify(pic, p);
        if (start == Start::number) break;
        if (start == Start::text) {
            raiseError(ErrorCode::typeMismatch);
            return 0;
        }
        p = appendLiteral(pic, p, out);
    }

    Field field;
    p = parseField(pic, p, field);
    if (field.expDigits > 0) {
        layoutExponent(field, record, letter, out);
    } else {
        layoutFixed(field, record, out);
    }

    // Literal text after the field, up to the next field or the end of the template.
    while (p < length && classify(pic, p) == Start::literal)
        p = appendLiteral(pic, p, out);
    return p < length ? p : 0;
}

} // namespace

std::size_t formatDouble(std::string_view picture, std::size_t pos, double value, std::string& out) {
    if (errorPending()) return 0;
    DecimalRecord record;
    if (!decimalOfDouble(value, record)) {
        raiseError(ErrorCode::illegalFunctionCall);
        return 0;
    }
    return formatRecord(picture, pos, record, 'D', out);
}

std::size_t formatExtended(std::string_view picture, std::size_t pos, ext value, std::string& out) {
    if (errorPending()) return 0;
    DecimalRecord record;
    if (!decimalOfExtended(value, record)) {
        raiseError(ErrorCode::illegalFunctionCall);
        return 0;
    }
    return formatRecord(picture, pos, record, 'F', out);
}

FormattedNumber formatDouble(std::string_view picture, double value, std::size_t pos) {
    FormattedNumber result;
    result.next = formatDouble(picture, pos, value, result.text);
    return result;
}

FormattedNumber formatExtended(std::string_view picture, ext value, std::size_t pos) {
    FormattedNumber result;
    result.next = formatExtended(picture, pos, value, result.text);
    return result;
}

} // namespace core
