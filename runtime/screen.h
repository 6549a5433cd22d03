// The 80 x 25 text screen: a grid of character and attribute bytes, the cursor, the scrolling
// area of rows 1..24 with row 25 fixed, and the teletype rules by which printed text wraps,
// scrolls and obeys control codes.
//
// Threads: the program thread is the only writer. The main thread reads cells, cursor state and
// palette while it paints, without a lock; every such field is a relaxed atomic, so a painting
// may show a screen in the middle of a change but never reads a torn value. changeCount() grows
// after every change, so a painter can skip a refresh when nothing happened since its last one.
//
// While a runtime error is pending (core::errorState().pendingError), printing, clearing, cursor
// moves and colour changes do nothing.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/frontend.h"

namespace rt {

// Everything a redraw needs to put the screen back as it was: all cells and the cursor state.
struct ScreenCopy {
    std::array<ScreenCell, 80 * 25> cells{};
    int cursorRow = 1;
    int cursorColumn = 1;
    std::uint8_t pendingWrap = 0;
    bool cursorVisible = false;
    std::uint8_t cursorStart = 4;
    std::uint8_t cursorStop = 4;
    std::uint64_t scrollSerial = 0; // scrolls done before the copy (see Screen::restore)
};

// The standard VGA default palette as opaque ARGB; text uses entries 0..15.
std::array<std::uint32_t, 256> defaultPalette();

class Screen {
  public:
    static constexpr int kColumns = 80;
    static constexpr int kRows = 25;
    static constexpr int kViewTop = 1;     // first row of the scrolling area
    static constexpr int kViewBottom = 24; // last row of the scrolling area; row 25 never scrolls

    Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // ---- the operations the calculator uses (program thread) -------------------------------

    // Prints `text` at the cursor, obeying control codes 7, 9, 10, 11, 12, 13, 28..31; with
    // `endLine` the line is ended afterwards unless the text already wrapped past the last column.
    void printText(std::string_view text, bool endLine = false);
    // Breaks the line first when `text` would not fit into the rest of the row.
    void fitToLine(std::string_view text);
    void newLine();
    void clearScreen();
    // Error 5 and no change for a row outside the scrolling area (other than row 25) or a column
    // outside 1..80. A call with neither turns an owed line break into the moved form (2).
    void locate(std::optional<std::int64_t> row, std::optional<std::int64_t> column);
    // Foreground 0..31 (16..31 blink), background 0..15 (stored mod 8); error 5 and no change
    // for anything else.
    void setColor(std::optional<std::int64_t> foreground,
                  std::optional<std::int64_t> background = std::nullopt);
    // The row on which the next character would appear.
    int cursorRowNow() const;
    // The spaces (or carriage return and spaces) that bring the output to column n.
    std::string columnMove(std::int64_t n) const;

    // ---- state, readable from any thread ------------------------------------------------------

    ScreenCell cell(int row, int column) const; // row 1..25, column 1..80
    // Row `row` as text, one byte per cell (trailing blanks kept).
    std::string rowText(int row) const;
    int cursorRow() const { return cursorRow_.load(std::memory_order_relaxed); }
    int cursorColumn() const { return cursorColumn_.load(std::memory_order_relaxed); }
    std::uint8_t pendingWrap() const { return pendingWrap_.load(std::memory_order_relaxed); }
    bool cursorVisible() const { return cursorVisible_.load(std::memory_order_relaxed); }
    std::uint8_t cursorStart() const { return cursorStart_.load(std::memory_order_relaxed); }
    std::uint8_t cursorStop() const { return cursorStop_.load(std::memory_order_relaxed); }
    int foreground() const { return foreground_.load(std::memory_order_relaxed); }
    int background() const { return background_.load(std::memory_order_relaxed); }
    // The attribute byte that a cell written now would get.
    std::uint8_t attribute() const;
    std::uint32_t paletteEntry(int number) const; // ARGB; 0 outside 0..255
    // Grows after every change of cells, cursor, colours or palette (release order).
    std::uint64_t changeCount() const { return changeCount_.load(std::memory_order_acquire); }
    // Grows only when the palette changes: a painter then redraws everything.
    std::uint64_t paletteVersion() const { return paletteVersion_.load(std::memory_order_acquire); }

    // ---- settings (program thread) --------------------------------------------------------------

    void setCursorVisible(bool visible);
    void setCursorShape(std::uint8_t start, std::uint8_t stop);
    void setPaletteEntry(int number, std::uint32_t argb); // ignored outside 0..255

    // ---- copy and restore, for the line editor's redraw --------------------------------------

    // Null when the memory cannot be obtained.
    std::unique_ptr<ScreenCopy> copy() const;
    // Puts back every cell and the cursor state. Rows that scrolled off after the copy and scroll
    // off again while the restored screen is printed on are reported to the scroll-off handler
    // only once.
    void restore(const ScreenCopy& saved);

    // Called with the 80 cells of the top row of the scrolling area just before a scroll loses
    // it (program thread). A transcript or a scrollback uses it to keep every row that leaves the
    // screen.
    void setScrollOffHandler(std::function<void(const ScreenCell* row)> handler);

  private:
    static constexpr std::size_t index(int row, int column) {
        return static_cast<std::size_t>((row - 1) * kColumns + (column - 1));
    }
    static constexpr std::uint16_t pack(ScreenCell c) {
        return static_cast<std::uint16_t>(c.character | (c.attribute << 8));
    }
    static constexpr ScreenCell unpack(std::uint16_t v) {
        return ScreenCell{static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)};
    }
    void put(int row, int column, ScreenCell c) {
        cells_[index(row, column)].store(pack(c), std::memory_order_relaxed);
    }
    void setCursor(int row, int column);
    void changed() { changeCount_.fetch_add(1, std::memory_order_release); }
    // The teletype rules without the pending-error test (printText and control codes share them).
    void lineBreak();
    void clearCells();
    // Writes one character at the cursor; returns true when it wrapped to a new line at once.
    bool putCharacter(std::uint8_t code, bool lastOfText, bool endLine);
    bool inScrollArea(int row) const { return row >= kViewTop && row <= kViewBottom; }

    std::array<std::atomic<std::uint16_t>, kColumns * kRows> cells_;
    std::atomic<int> cursorRow_{1};
    std::atomic<int> cursorColumn_{1};
    std::atomic<std::uint8_t> pendingWrap_{0};
    std::atomic<int> foreground_{7};
    std::atomic<int> background_{0};
    std::atomic<bool> cursorVisible_{false};
    std::atomic<std::uint8_t> cursorStart_{4};
    std::atomic<std::uint8_t> cursorStop_{4};
    std::array<std::atomic<std::uint32_t>, 256> palette_;
    std::atomic<std::uint64_t> changeCount_{0};
    std::atomic<std::uint64_t> paletteVersion_{0};
    // Program thread only.
    std::uint64_t scrollSerial_ = 0;   // scrolls in the current history of the screen
    std::uint64_t scrollReported_ = 0; // highest serial handed to the scroll-off handler
    std::function<void(const ScreenCell*)> scrollOff_;
};

// The one screen of the process.
Screen& screen();

// The console bell (character 7). The tone generator installs the real one; the default is silent.
void setBellHandler(std::function<void()> bell);
void ringBell();

// ---- the calculator's calls, on the process-wide screen ------------------------------------

inline void printText(std::string_view text, bool endLine = false) {
    screen().printText(text, endLine);
}
inline void fitToLine(std::string_view text) {
    screen().fitToLine(text);
}
inline void newLine() {
    screen().newLine();
}
inline void clearScreen() {
    screen().clearScreen();
}
inline void locate(std::optional<std::int64_t> row, std::optional<std::int64_t> column) {
    screen().locate(row, column);
}
inline void setColor(std::optional<std::int64_t> foreground,
                     std::optional<std::int64_t> background = std::nullopt) {
    screen().setColor(foreground, background);
}
inline int cursorRowNow() {
    return screen().cursorRowNow();
}
inline std::string columnMove(std::int64_t n) {
    return screen().columnMove(n);
}

} // namespace rt
