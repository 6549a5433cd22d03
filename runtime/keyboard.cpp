#include "runtime/keyboard.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <thread>
#include <type_traits>
#include <vector>

#include "runtime/process.h"

namespace rt {

namespace {

bool errorPending() {
    return core::errorState().pendingError.load(std::memory_order_relaxed) != 0;
}
bool stopRequested() {
    return processFlags().stopRequested.load(std::memory_order_acquire) != 0;
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

// ---- key queue ----------------------------------------------------------------------------------

bool KeyQueue::push(std::uint8_t character, std::uint8_t extended) {
    const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
    const std::uint32_t next = (tail + 1) % kSlots;
    if (next == head_.load(std::memory_order_acquire)) return false;
    slots_[tail] = KeyEntry{character, extended};
    tail_.store(next, std::memory_order_release);
    return true;
}

bool KeyQueue::empty() const {
    return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
}

std::uint32_t KeyQueue::size() const {
    const std::uint32_t head = head_.load(std::memory_order_acquire);
    const std::uint32_t tail = tail_.load(std::memory_order_acquire);
    return (tail + kSlots - head) % kSlots;
}

std::optional<KeyEntry> KeyQueue::take() {
    const std::uint32_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return std::nullopt;
    const KeyEntry entry = slots_[head];
    head_.store((head + 1) % kSlots, std::memory_order_release);
    return entry;
}

void KeyQueue::clear() {
    while (take()) {
    }
}

std::string KeyQueue::pollKey() {
    std::this_thread::yield();
    if (errorPending()) return {};
    std::optional<KeyEntry> entry = take();
    if (!entry) {
        emptyPolls_.fetch_add(1, std::memory_order_relaxed);
        waiting_.store(true, std::memory_order_release);
        if (starved_) starved_();
        entry = take();
        if (!entry) return {};
    }
    waiting_.store(false, std::memory_order_release);
    if (entry->character != 0 || entry->extended == 0)
        return std::string(1, static_cast<char>(entry->character));
    return std::string{'\0', static_cast<char>(entry->extended)};
}

KeyQueue& keyQueue() {
    static KeyQueue instance;
    return instance;
}

std::string waitForKey(KeyQueue& queue) {
    for (;;) {
        if (stopRequested()) stopProgramThread();
        std::string key = queue.pollKey();
        if (!key.empty()) return key;
        if (stopRequested()) stopProgramThread();
        std::this_thread::sleep_for(queue.waitInterval());
    }
}

// ---- validation of a typed field ----------------------------------------------------------------

namespace {

// Limits of a floating-point entry. D is the decimal exponent of the value written out: the
// number of digits before the point for a value of at least 1, minus the count of zeros after
// the point before the first significant digit otherwise (see floatField).
struct FloatLimits {
    int maxD;
    const char* maxLead; // leading significant digits allowed at D == maxD, at most
    int minD;
    const char* minLead; // leading significant digits allowed at D == minD, at least
    int maxZeros;        // zeros between the point and the first significant digit
    int maxSignificant;  // significant digits of a number with fraction digits
};

// Double: 1.7976931348623157E308 is the largest value, 4.9406564584124654E-324 the smallest.
constexpr FloatLimits kDoubleLimits{309, "17976931", -323, "4940656", 322, 16};
// Single: 3.40282347E38 and 1.40129846E-45.
constexpr FloatLimits kSingleLimits{39, "34028235", -44, "1401298", 44, 8};
// x87 extended: 1.18973149535723176502E4932 and 3.64519953188247460253E-4951.
constexpr FloatLimits kExtendedLimits{4933, "11897314", -4950, "3645199", 4949, 19};

// Compares the first strlen(limit) significant digits, padded with zeros, against `limit`.
int compareLead(const std::string& significant, const char* limit) {
    const std::string_view l(limit);
    std::string lead = significant.substr(0, l.size());
    lead.resize(l.size(), '0');
    return lead.compare(l);
}

// Whether `field` begins a number of the accepted form within `limits`. On success `scan`
// holds the field with a "D" exponent letter changed to "E", ready for the C library's scan.
bool floatField(std::string_view field, const FloatLimits& limits, std::string& scan) {
    scan.assign(field);
    int intDigits = 0;
    bool intIsZero = false; // the integer part is the single digit 0
    bool point = false;
    int fracDigits = 0;
    bool fracIsSingleZero = false;
    int leadZeros = 0;       // zeros after the point before the first significant digit
    std::string significant; // from the first nonzero digit on
    bool exponent = false;
    bool exponentNegative = false;
    std::string exponentDigits;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (i == 0 && c == '-') continue;
        if (isDigit(c)) {
            if (exponent) {
                if (exponentDigits == "0") return false; // a leading 0 only as the whole exponent
                exponentDigits += c;
            } else if (point) {
                ++fracDigits;
                fracIsSingleZero = fracDigits == 1 && c == '0';
                if (significant.empty() && c == '0')
                    ++leadZeros;
                else
                    significant += c;
            } else {
                if (intIsZero) return false; // "00", "05"
                if (intDigits == 0 && c == '0')
                    intIsZero = true;
                else
                    significant += c;
                ++intDigits;
            }
        } else if (c == '.') {
            if (point || exponent) return false;
            point = true;
        } else if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
            if (exponent || significant.empty() || field[i - 1] == '.') return false;
            if (c == 'D' || c == 'd') scan[i] = 'E';
            exponent = true;
        } else if ((c == '-' || c == '+') && exponent &&
                   std::string_view("EeDd").find(field[i - 1]) != std::string_view::npos) {
            exponentNegative = c == '-';
        } else {
            return false;
        }
    }
    if (leadZeros > limits.maxZeros) return false;
    const bool hasFraction = fracDigits > 0 && !(fracDigits == 1 && fracIsSingleZero);
    if (hasFraction && static_cast<int>(significant.size()) > limits.maxSignificant) return false;
    if (significant.empty()) return true;
    // Exponent digits beyond the range of any limit only push D further out; cap them.
    long exponentValue = 0;
    for (char c : exponentDigits)
        exponentValue = std::min(exponentValue * 10 + (c - '0'), 1000000L);
    if (exponentNegative) exponentValue = -exponentValue;
    const long d = (intDigits > 0 && !intIsZero) ? exponentValue + intDigits : exponentValue - leadZeros;
    if (d > limits.maxD || (d == limits.maxD && compareLead(significant, limits.maxLead) > 0)) return false;
    if (d < limits.minD || (d == limits.minD && compareLead(significant, limits.minLead) < 0)) return false;
    return true;
}

// Reads the accepted field into a floating-point variable. The digit rules above leave a few
// entries whose value still lies beyond the type (1.79769319E308 passes the leading-digit test
// but is no double); those are refused too, so a variable never receives an infinity or a
// value that silently became 0.
template <typename F> bool acceptFloat(F* target, std::string_view field, const FloatLimits& limits) {
    std::string scan;
    if (!floatField(field, limits, scan)) return false;
    F value = 0;
    if (!scan.empty()) {
        char* end = nullptr;
        if constexpr (std::is_same_v<F, float>)
            value = std::strtof(scan.c_str(), &end);
        else if constexpr (std::is_same_v<F, double>)
            value = std::strtod(scan.c_str(), &end);
        else
            value = std::strtold(scan.c_str(), &end);
        if (end == scan.c_str()) value = 0; // "-" alone
        if (!std::isfinite(value)) return false;
        if (value == 0) {
            for (char c : scan) {
                if (c == 'E') break;
                if (c >= '1' && c <= '9') return false;
            }
        }
    }
    if (target) *target = value;
    return true;
}

// Integers: an optional "-" for signed types, then digits without a leading zero, within range.
template <typename I> bool acceptInteger(I* target, std::string_view field) {
    bool negative = false;
    std::size_t i = 0;
    if (!field.empty() && field[0] == '-') {
        if constexpr (std::is_unsigned_v<I>) return false;
        negative = true;
        i = 1;
    }
    using U = std::make_unsigned_t<I>;
    const U limit = negative ? static_cast<U>(static_cast<U>(std::numeric_limits<I>::max()) + 1)
                             : static_cast<U>(std::numeric_limits<I>::max());
    U magnitude = 0;
    const std::size_t first = i;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (!isDigit(c)) return false;
        if (i > first && field[first] == '0') return false;
        const U digit = static_cast<U>(c - '0');
        if (magnitude > static_cast<U>((limit - digit) / 10)) return false;
        magnitude = static_cast<U>(magnitude * 10 + digit);
    }
    if (target) {
        if (negative)
            *target = static_cast<I>(static_cast<I>(0) - static_cast<I>(magnitude - 1) - 1);
        else
            *target = static_cast<I>(magnitude);
    }
    return true;
}

void clearVariable(const InputVariable& variable) {
    std::visit(
        [](auto target) {
            using T = decltype(target);
            if constexpr (std::is_same_v<T, FixedText>) {
                if (target.text) target.text->assign(target.length, ' ');
            } else if constexpr (std::is_same_v<T, std::string*>) {
                if (target) target->clear();
            } else {
                if (target) *target = 0;
            }
        },
        variable);
}

// Splits `line` into fields and validates the last one against its variable. A comma ends a
// field unless it stands inside quotes; a field that starts with a double quote is quoted up to
// the next one, after which only a comma may follow.
bool validateLine(const std::string& line, std::span<const InputVariable> variables) {
    if (variables.empty()) return line.empty();
    std::size_t fieldNumber = 0;
    std::string field;
    bool atStart = true;
    bool quoted = false;
    bool closed = false;
    for (char c : line) {
        if (quoted) {
            if (c == '"') {
                quoted = false;
                closed = true;
            } else {
                field += c;
            }
            continue;
        }
        if (c == ',') {
            if (++fieldNumber >= variables.size()) return false;
            field.clear();
            atStart = true;
            closed = false;
            continue;
        }
        if (closed) return false;
        if (atStart && c == '"') {
            quoted = true;
            atStart = false;
            continue;
        }
        atStart = false;
        field += c;
    }
    return acceptField(variables[fieldNumber], field);
}

// The next one-character key, or nothing when the process is stopping.
std::optional<std::uint8_t> nextKey(KeyQueue& queue) {
    for (;;) {
        if (stopRequested()) return std::nullopt;
        const std::string key = queue.pollKey();
        if (key.size() == 1) return static_cast<std::uint8_t>(key[0]);
        if (!key.empty()) continue; // keys without a character play no part in a line
        if (stopRequested()) return std::nullopt;
        std::this_thread::sleep_for(queue.waitInterval());
    }
}

} // namespace

bool acceptField(const InputVariable& variable, std::string_view field) {
    return std::visit(
        [field](auto target) -> bool {
            using T = decltype(target);
            if constexpr (std::is_same_v<T, std::string*>) {
                if (target) target->assign(field);
                return true;
            } else if constexpr (std::is_same_v<T, FixedText>) {
                if (field.size() > target.length) return false;
                if (target.text) {
                    target.text->assign(field);
                    target.text->resize(target.length, ' ');
                }
                return true;
            } else if constexpr (std::is_same_v<T, float*>) {
                return acceptFloat(target, field, kSingleLimits);
            } else if constexpr (std::is_same_v<T, double*>) {
                return acceptFloat(target, field, kDoubleLimits);
            } else if constexpr (std::is_same_v<T, long double*>) {
                return acceptFloat(target, field, kExtendedLimits);
            } else {
                return acceptInteger(target, field);
            }
        },
        variable);
}

// ---- line input ---------------------------------------------------------------------------------

void lineInput(Screen& screen, KeyQueue& queue, std::span<const InputVariable> variables, bool endLine) {
    if (errorPending()) return;
    const std::unique_ptr<ScreenCopy> saved = screen.copy();
    if (!saved) {
        fatalError(core::ErrorCode::screenCopyOutOfMemory);
        return;
    }
    const bool wasVisible = screen.cursorVisible();
    screen.setCursorVisible(true);
    for (const InputVariable& variable : variables)
        clearVariable(variable);

    std::string line;
    int tabSpaces = 0;
    // Everything typed since the call began is erased and printed again from the copy.
    auto redraw = [&] {
        screen.restore(*saved);
        screen.setCursorVisible(true);
        screen.printText(line, false);
    };

    for (;;) {
        while (!validateLine(line, variables) && !line.empty()) {
            line.pop_back();
            redraw();
        }
        std::uint8_t key = ' ';
        if (tabSpaces > 0) {
            --tabSpaces;
        } else {
            const std::optional<std::uint8_t> next = nextKey(queue);
            if (!next) {
                screen.setCursorVisible(wasVisible);
                return;
            }
            key = *next;
        }
        switch (key) {
        case 7:
            screen.printText("\a", false);
            break;
        case 10:
        case 11:
        case 12:
        case 28:
        case 29:
        case 30:
        case 31:
            break;
        case 9:
            tabSpaces = static_cast<int>(8 - line.size() % 8);
            break;
        case 13:
            if (endLine) screen.printText("", true);
            screen.setCursorVisible(wasVisible);
            return;
        case 8:
            if (!line.empty()) {
                line.pop_back();
                redraw();
            }
            break;
        default:
            if (line.size() >= kMaxLineLength) break;
            line += static_cast<char>(key);
            screen.printText(std::string_view(&line.back(), 1), false);
            break;
        }
    }
}

void lineInput(std::span<const InputVariable> variables, bool endLine) {
    lineInput(screen(), keyQueue(), variables, endLine);
}

void lineInput(std::string& text, bool endLine) {
    const InputVariable variable{&text};
    lineInput(std::span<const InputVariable>(&variable, 1), endLine);
}

void lineInput(double& value, bool endLine) {
    const InputVariable variable{&value};
    lineInput(std::span<const InputVariable>(&variable, 1), endLine);
}

// ---- text to number -----------------------------------------------------------------------------

namespace {

// "&H..." and "&O...": the 64-bit integer of the digits, read up to the first other character.
core::ext radixNumber(std::string_view digits, unsigned bitsPerDigit) {
    const unsigned base = 1u << bitsPerDigit;
    std::uint64_t value = 0;
    std::size_t significant = 0;
    char first = 0;
    for (char c : digits) {
        unsigned d = 0;
        if (isDigit(c))
            d = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else
            break;
        if (d >= base) break;
        if (significant == 0 && d == 0) continue;
        if (significant == 0) first = c;
        ++significant;
        value = (value << bitsPerDigit) | d;
    }
    // 64 bits are 16 hexadecimal digits, or 22 octal digits of which the first is 1.
    const bool overflow =
        base == 16 ? significant > 16 : (significant > 22 || (significant == 22 && first != '1'));
    if (overflow) {
        core::raiseError(core::ErrorCode::overflow);
        return 0;
    }
    // Like every integer of the runtime the value is signed: &HFFFFFFFFFFFFFFFF is -1.
    return static_cast<core::ext>(static_cast<std::int64_t>(value));
}

} // namespace

core::ext textToNumber(std::string_view text) {
    std::string t;
    t.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t') t += c;
    if (t.empty()) return 0;

    if (t[0] == '&') {
        if (t.size() < 3) return 0;
        const std::string_view digits = std::string_view(t).substr(2);
        if (t[1] == 'H' || t[1] == 'h') return radixNumber(digits, 4);
        if (t[1] == 'O' || t[1] == 'o') return radixNumber(digits, 3);
        return 0;
    }

    std::size_t i = 0;
    bool negative = false;
    if (t[i] == '-' || t[i] == '+') negative = t[i++] == '-';
    std::string significant;     // digits from the first nonzero one on
    std::int64_t pointPlace = 0; // value = 0.<significant> x 10^pointPlace x 10^exponent
    bool point = false;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (isDigit(c)) {
            if (significant.empty() && c == '0') {
                if (point) --pointPlace;
                continue;
            }
            significant += c;
            if (!point) ++pointPlace;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    std::int64_t exponent = 0;
    if (i < t.size() && (t[i] == 'D' || t[i] == 'E' || t[i] == 'd' || t[i] == 'e')) {
        ++i;
        bool exponentNegative = false;
        if (i < t.size() && (t[i] == '-' || t[i] == '+')) exponentNegative = t[i++] == '-';
        while (i < t.size() && t[i] == '0')
            ++i;
        for (int n = 0; n < 18 && i < t.size() && isDigit(t[i]); ++n, ++i)
            exponent = exponent * 10 + (t[i] - '0');
        if (exponentNegative) exponent = -exponent;
    }

    while (!significant.empty() && significant.back() == '0')
        significant.pop_back();
    if (significant.empty()) return 0;

    const auto digitCount = static_cast<std::int64_t>(significant.size());
    // An integer of up to 18 digits is formed exactly. Longer ones would wrap a 64-bit integer,
    // so they take the extended path like every other number.
    if (exponent == 0 && digitCount <= pointPlace && pointPlace <= 18) {
        std::int64_t value = 0;
        for (char c : significant)
            value = value * 10 + (c - '0');
        for (std::int64_t k = digitCount; k < pointPlace; ++k)
            value *= 10;
        return static_cast<core::ext>(negative ? -value : value);
    }
    std::string scan;
    scan.reserve(significant.size() + 32);
    if (negative) scan += '-';
    scan += significant[0];
    scan += '.';
    scan.append(significant, 1);
    scan += 'E';
    scan += std::to_string(pointPlace - 1 + exponent);
    const core::ext value = std::strtold(scan.c_str(), nullptr);
    if (!std::isfinite(value)) {
        core::raiseError(core::ErrorCode::overflow);
        return 0;
    }
    return value;
}

} // namespace rt
