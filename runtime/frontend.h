// The narrow interface between the runtime and the outside world.
//
// The runtime keeps a text screen and a key queue; a front end shows the one and fills the other.
// Three front ends exist (SDL window, ANSI terminal, headless stdin); the process frame (frame.h)
// picks one, runs its main loop and shuts it down. Front ends never decide what a key means: they
// turn their own events into a KeyEvent and hand it to dispatchKey, so the rules for Break, Pause,
// Ctrl+C and the queue live in one place.
//
// Threads: every Frontend member runs on the main thread except messageBox, which the program
// thread calls and which blocks until the user answers while the main loop keeps running.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/process.h"

namespace rt {

// ---- what a front end paints ------------------------------------------------------------------

struct ScreenCell {
    std::uint8_t character = 32; // code page 437
    std::uint8_t attribute = 7;  // bits 0-3 foreground, 4-6 background, 7 blinking
    friend bool operator==(const ScreenCell&, const ScreenCell&) = default;
};

// A consistent copy of the visible text screen, taken by the frame on the main thread before
// each refresh. Front ends keep the image they painted last and redraw only the cells that differ.
struct ScreenImage {
    int columns = 80;
    int rows = 25;
    std::vector<ScreenCell> cells = std::vector<ScreenCell>(80 * 25); // row by row, columns wide
    int cursorRow = 1;                                                // counted from 1
    int cursorColumn = 1;                                             // counted from 1
    bool cursorVisible = false;
    std::uint8_t pendingWrap = 0; // 2: the cursor shows in column 1 of the next row
    std::uint8_t cursorStart = 4; // cursor shape in scan lines
    std::uint8_t cursorStop = 4;
    std::array<std::uint32_t, 16> palette{}; // ARGB of the colour numbers text uses

    const ScreenCell& at(int row, int column) const { return cells[(row - 1) * columns + (column - 1)]; }
    ScreenCell& at(int row, int column) { return cells[(row - 1) * columns + (column - 1)]; }
};

// The default palette of the text colours 0..15, opaque ARGB.
std::array<std::uint32_t, 16> defaultTextPalette();

// ---- keys -------------------------------------------------------------------------------------

// The keys the dispatcher's rules name; everything else is `ordinary`.
enum class KeyName : std::uint8_t {
    ordinary,
    breakKey, // Break (Ctrl+Pause on PC keyboards)
    pause,
    scrollLock,
    numLock,
    f15,
    enter,    // Enter or keypad Enter
    modifier, // Shift, Ctrl, Alt, Caps Lock ... pressed on their own: never a key of their own
    wheelUp,  // the mouse wheel: the front ends' scrollback takes it, the key rules never see it
    wheelDown,
};

struct KeyEvent {
    KeyName name = KeyName::ordinary;
    bool ctrl = false;
    bool alt = false;
    std::uint8_t character = 0; // code page 437 code of the key's character, 0 when it has none
    std::uint8_t extended = 0;  // PC scan code (see scan::) when character is 0
    bool shift = false;         // only the scrollback asks (Shift+PgUp); the key rules ignore it
};

enum class KeyOutcome : std::uint8_t {
    queued,           // entry added to the key queue
    dropped,          // 15 keys were already waiting
    closeRequested,   // Break, Ctrl+Scroll Lock, Ctrl+F15, Ctrl+C: the program ends in order
    suspended,        // Pause, Ctrl+Num Lock: the program thread holds at its next statement check
    resumed,          // the key after a Pause: consumed
    toggleFullScreen, // Alt+Enter: consumed; the window may switch, other front ends ignore it
    ignored,          // a modifier alone, or a key without character or extended code
};

// The key rules, in this order:
//  1. Break, Ctrl+Scroll Lock, Ctrl+F15 or Ctrl+C (character 3): set closeRequested.
//  2. Pause or Ctrl+Num Lock: set bit 1 of suspendRequested and eventFlag.
//  3. Any other key while bit 1 of suspendRequested is set: clear the bit; the key is consumed.
//  4. Alt+Enter: consumed.
//  5. Otherwise a key-queue entry: (character, 0), or (0, extended) when the key has no character.
// Called by the one thread that feeds the key queue (its single writer): the main thread, or for
// the headless front end the program thread when it finds the queue empty.
KeyOutcome dispatchKey(const KeyEvent& key);

// PC keyboard scan codes: the extended code of keys without a character.
namespace scan {
inline constexpr std::uint8_t shiftTab = 15;
inline constexpr std::uint8_t home = 71, up = 72, pageUp = 73, left = 75, right = 77, end = 79, down = 80,
                              pageDown = 81, insert = 82, del = 83;
inline constexpr std::uint8_t ctrlLeft = 115, ctrlRight = 116, ctrlEnd = 117, ctrlPageDown = 118,
                              ctrlHome = 119, ctrlPageUp = 132, ctrlUp = 141, ctrlDown = 145,
                              ctrlInsert = 146, ctrlDelete = 147;
inline constexpr std::uint8_t altHome = 151, altUp = 152, altPageUp = 153, altLeft = 155, altRight = 157,
                              altEnd = 159, altDown = 160, altPageDown = 161, altInsert = 162,
                              altDelete = 163;

struct Modifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// F1..F12 with their modifier (Alt before Ctrl before Shift); 0 for n outside 1..12.
std::uint8_t functionKey(int n, Modifiers mods);
// Alt with a letter or digit key: the scan code of that key; 0 for other characters.
std::uint8_t altCharacter(char c);
} // namespace scan

// ---- front ends -------------------------------------------------------------------------------

enum class EventsResult : std::uint8_t {
    running,
    closeWindow, // the user closed the window / input ended: shut down at once
};

class Frontend {
  public:
    virtual ~Frontend() = default;

    virtual const char* name() const = 0;

    // Main thread, before any other thread exists. Returns 0, or the exit code of a start-up
    // failure after writing its message to standard error (the window: "Unable to init SDL: %s\n",
    // 100).
    virtual int start() = 0;

    // Paints what differs from the last image painted (everything on the first call, after the
    // palette changed, or after the front end lost its picture).
    virtual void refresh(const ScreenImage& screen) = 0;

    // Takes every waiting event; key presses go through dispatchKey.
    virtual EventsResult handleEvents() = 0;

    // A hidden window is neither painted nor polled for tones (the main loop sleeps 64 ms).
    virtual bool hidden() const { return false; }

    // Whether tones should reach an audio device (the headless front end keeps only their timing).
    virtual bool audible() const { return true; }

    // Program thread. Shows the box and blocks until it is answered; returns No (OK for an OK box)
    // without waiting further once stopRequested is set, so that shutdown never hangs on a box.
    virtual BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons) = 0;

    // Main thread, once, after the program and timer threads ended and the files were closed, and
    // on every abnormal exit path. Gives back the display or terminal. Must be idempotent.
    virtual void shutdown() = 0;

    // From a signal handler or std::atexit: leave the terminal usable. Async-signal-safe only.
    virtual void emergencyRestore() noexcept {}
};

// A hand-over of one message box from the program thread to the main thread, for front ends whose
// box is drawn by the main loop (window, terminal). The program thread calls ask(); the main loop
// sees pending(), shows the box, and calls answer().
class BoxChannel {
  public:
    struct Request {
        std::string caption;
        std::string text;
        BoxButtons buttons = BoxButtons::ok;
    };

    // Program thread: blocks until answer(), or until stopRequested is set (then No, or OK).
    BoxAnswer ask(const std::string& caption, const std::string& text, BoxButtons buttons);
    // Main thread: the open box, if any.
    bool pending(Request* out = nullptr) const;
    // Main thread: closes the open box with `answer`.
    void answer(BoxAnswer answer);

  private:
    mutable std::mutex mutex_;
    std::condition_variable answered_;
    bool open_ = false;
    bool done_ = false;
    Request request_;
    BoxAnswer answer_ = BoxAnswer::no;
};

} // namespace rt
