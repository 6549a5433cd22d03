// The keyboard side of the console: the key queue that the main thread fills, the key poll, the
// line editor that reads one typed line into variables, and the conversion of a typed text to a
// number.
//
// The line editor never asks for an entry to be typed again: a key that would make the line
// invalid for its variable is shown for a moment and taken back by redrawing the screen.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "core/math.h"
#include "runtime/screen.h"

namespace rt {

// ---- key queue --------------------------------------------------------------------------------

struct KeyEntry {
    std::uint8_t character = 0; // code page 437 code; 0 for keys without a character
    std::uint8_t extended = 0;  // scan code of a key without a character
};

// A single-producer single-consumer ring of 16 slots: the main thread (or a front end's feeder)
// pushes, the program thread takes. One slot stays free, so at most 15 keys wait.
class KeyQueue {
  public:
    static constexpr std::uint32_t kSlots = 16;

    KeyQueue() = default;
    KeyQueue(const KeyQueue&) = delete;
    KeyQueue& operator=(const KeyQueue&) = delete;

    // Producer. False when 15 keys are waiting: the key is dropped.
    bool push(std::uint8_t character, std::uint8_t extended = 0);
    // Producer or consumer.
    bool empty() const;
    std::uint32_t size() const;

    // Consumer (program thread). Yields the processor, then takes the next entry: "" when none
    // is waiting (or while a runtime error is pending), one character when the character code is
    // not 0 or the extended code is 0, else the two characters 0 and the extended code.
    std::string pollKey();

    // Set while the consumer found the queue empty and waits for a key; cleared when it takes
    // one. A front end that feeds keys from a script gives the next key only while this is set,
    // so keys go to the prompt that asks for them and end of input is seen when the program
    // waits again.
    bool waiting() const { return waiting_.load(std::memory_order_acquire); }
    // Number of times the consumer found the queue empty since the start.
    std::uint64_t emptyPolls() const { return emptyPolls_.load(std::memory_order_relaxed); }

    // Called on the consumer thread whenever a poll finds the queue empty, before the poll gives
    // up. Tests and fuzzers push their scripted keys from here (or set stopRequested when the
    // script has run out), so a whole dialogue runs on one thread.
    void setStarvedHandler(std::function<void()> handler) { starved_ = std::move(handler); }
    // The sleep between two polls of a waiting consumer (10 ms by default).
    void setWaitInterval(std::chrono::microseconds interval) { interval_ = interval; }
    std::chrono::microseconds waitInterval() const { return interval_; }

    // Consumer. Drops every waiting key.
    void clear();

  private:
    std::optional<KeyEntry> take();

    std::array<KeyEntry, kSlots> slots_{};
    std::atomic<std::uint32_t> head_{0}; // next entry to take; written by the consumer only
    std::atomic<std::uint32_t> tail_{0}; // next free slot; written by the producer only
    std::atomic<bool> waiting_{false};
    std::atomic<std::uint64_t> emptyPolls_{0};
    std::function<void()> starved_;
    std::chrono::microseconds interval_{10000};
};

// The key queue of the process.
KeyQueue& keyQueue();

inline std::string pollKey() {
    return keyQueue().pollKey();
}

// Waits until a key arrives and returns it (as pollKey does). Watches stopRequested: when the
// process is shutting down, the program thread stops there (stopProgramThread, does not return).
std::string waitForKey(KeyQueue& queue);
inline std::string waitForKey() {
    return waitForKey(keyQueue());
}

// ---- line input ---------------------------------------------------------------------------------

// A text variable of fixed length: it receives the field padded with spaces and refuses a longer
// one.
struct FixedText {
    std::string* text = nullptr;
    std::size_t length = 0;
};

// One variable of a line-input call. The calculator uses a variable-length text and a double.
using InputVariable =
    std::variant<std::string*, FixedText, float*, double*, long double*, std::int16_t*, std::int32_t*,
                 std::int64_t*, std::uint8_t*, std::uint16_t*, std::uint32_t*, std::uint64_t*>;

// The longest line the editor accepts.
inline constexpr std::size_t kMaxLineLength = 255;

// Reads one line into `variables` (comma-separated fields, one per variable) and returns when
// Enter is pressed or stopRequested is set; the caller looks at stopRequested right after the
// call. With `endLine` the screen line is ended after Enter, otherwise the cursor stays just
// after the typed text. Returns at once, reading nothing, while a runtime error is pending.
void lineInput(Screen& screen, KeyQueue& queue, std::span<const InputVariable> variables, bool endLine);
void lineInput(std::span<const InputVariable> variables, bool endLine);
void lineInput(std::string& text, bool endLine);
void lineInput(double& value, bool endLine);

// Whether `field` is the beginning of an entry that `variable` accepts; when it is, the variable
// receives its value. The line editor validates the field being typed this way after every key.
bool acceptField(const InputVariable& variable, std::string_view field);

// ---- text to number -----------------------------------------------------------------------------

// The value of a typed text: spaces and tabs anywhere are skipped; "&H"/"&O" give hexadecimal or
// octal 64-bit integers (error 6 beyond 64 bits); otherwise a decimal number with optional sign,
// fraction and D/E exponent, read up to the first character that does not fit. An integer of up
// to 18 digits is exact; anything else is converted to extended precision. A value beyond the
// extended range raises error 6 and gives 0.
core::ext textToNumber(std::string_view text);

} // namespace rt
