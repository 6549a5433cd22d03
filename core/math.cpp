#include "core/math.h"

#include <atomic>
#include <cmath>
#include <csignal>
#include <ctime>
#include <limits>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <fpu_control.h>
#endif

#include "core/errors.h"

namespace core {

namespace {

ext rounded(ext x) {
    return static_cast<double>(x);
}

// The library functions below get arguments that passed their tests, so a non-finite result can
// only come from a result beyond the double range (or a pole such as 0 to a negative power).
// The model must never see an infinity or a NaN: report it and substitute 0 like any failure.
ext finiteOrError(ext value, ErrorCode code) {
    if (std::isfinite(static_cast<double>(value))) return value;
    raiseError(code);
    return 0;
}

} // namespace

ext lnValue(ext x) {
    const ext a = rounded(x);
    if (!(a > 0)) {
        raiseError(ErrorCode::illegalFunctionCall);
        return 0;
    }
    return finiteOrError(std::log(a), ErrorCode::overflow); // ln of an argument that rounded to +inf
}

ext expValue(ext x) {
    if (!(x <= kExpLimit)) {
        raiseError(ErrorCode::overflow);
        return 0;
    }
    return std::exp(rounded(x));
}

ext sqrtValue(ext x) {
    const ext a = rounded(x);
    if (!(a >= 0)) {
        raiseError(ErrorCode::illegalFunctionCall);
        return 0;
    }
    return finiteOrError(std::sqrt(a), ErrorCode::overflow); // likewise for the root
}

ext powValue(ext a, ext b) {
    const ext base = rounded(a);
    const ext exponent = rounded(b);
    if (base < 0 && exponent != std::floor(exponent)) {
        raiseError(ErrorCode::illegalFunctionCall);
        return 0;
    }
    if (std::isnan(static_cast<double>(base)) || std::isnan(static_cast<double>(exponent))) {
        raiseError(ErrorCode::illegalFunctionCall);
        return 0;
    }
    if (base == 0 && exponent < 0) { // a pole, not a large number
        raiseError(ErrorCode::illegalFunctionCall);
        return 0;
    }
    return finiteOrError(std::pow(base, exponent), ErrorCode::overflow);
}

ext absValue(ext x) {
    return std::fabs(rounded(x));
}

std::int64_t roundToInteger(ext x) {
    // llrint is undefined beyond the 64-bit range; such a value is an overflow, not a number.
    constexpr ext kLimit = 9223372036854775808.0L; // 2^63
    if (!(x > -kLimit - 1 && x < kLimit)) {
        raiseError(ErrorCode::overflow);
        return 0;
    }
    return std::llrint(x); // default rounding: nearest, ties to even
}

std::uint32_t checkIndex(std::int64_t offset, std::uint32_t count) {
    if (offset < 0 || static_cast<std::uint64_t>(offset) >= count) {
        raiseError(ErrorCode::subscriptOutOfRange);
        return 0;
    }
    return static_cast<std::uint32_t>(offset);
}

namespace {

// The fatal code a floating-point signal leaves for the frame's main loop. A handler may only do
// what is async-signal-safe: a lock-free store, a sleep, a write, _exit.
std::atomic<std::uint32_t> gFatalSignal{0};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);
// Set on the thread that ran setupFloatingPoint (the program thread), whose fault the frame answers.
thread_local bool tParksOnSignal = false;

void onFloatingPointSignal(int) {
    // Integer division by zero and unmasked floating-point traps land here. The statement cannot go
    // on and a handler can show no box (that takes locks and memory): the code is noted, and the
    // thread sleeps here until the frame's main loop has shown "Division by zero" and ended the
    // process in order.
    gFatalSignal.store(codeNumber(ErrorCode::divisionByZero));
    if (tParksOnSignal) {
        for (;;) {
            timespec second{1, 0};
            nanosleep(&second, nullptr);
        }
    }
    // Any other thread has no one to wait for: the box's words on standard error, and the end.
    static constexpr char kText[] = "Critical Error: Division by zero\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kText, sizeof kText - 1);
    _exit(0);
}

} // namespace

void setupFloatingPoint() {
#if defined(__x86_64__) || defined(__i386__)
    // Extended precision for the x87 unit that computes every `ext` intermediate.
    fpu_control_t cw;
    _FPU_GETCW(cw);
    cw = static_cast<fpu_control_t>((cw & ~_FPU_EXTENDED) | _FPU_EXTENDED);
    _FPU_SETCW(cw);
#endif
    struct sigaction action {};
    action.sa_handler = onFloatingPointSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, nullptr);
    tParksOnSignal = true;
}

std::uint32_t takeFatalSignal() {
    return gFatalSignal.exchange(0);
}

} // namespace core
