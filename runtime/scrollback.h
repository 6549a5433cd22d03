// The rows that scrolled off the top of the text screen, for the window and the terminal to show
// again on request.
//
// A report is taller than the screen, so its head scrolls away while it is printed. The front
// ends keep those rows here and let the user look back with Shift+PgUp, Shift+PgDn and the mouse
// wheel. The calculator's screen itself never changes: looking back is a picture the front end
// paints instead of the live screen, with row 25 telling where the view stands.
//
// Threads: the ring is filled by the screen's scroll-off hook on the program thread and read by
// the main thread, so it has a lock of its own. The view is main thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "runtime/frontend.h"

namespace rt {

class Screen;

// A ring of the last `capacity` rows; the oldest row is dropped when a new one does not fit.
class Scrollback {
  public:
    static constexpr int kColumns = 80;
    static constexpr std::size_t kDefaultCapacity = 1000;
    using Row = std::array<ScreenCell, kColumns>;

    explicit Scrollback(std::size_t capacity = kDefaultCapacity);

    // Any thread: keeps a copy of `kColumns` cells.
    void push(const ScreenCell* cells);
    std::size_t size() const;
    std::size_t capacity() const { return capacity_; }
    // Rows ever pushed, including those the ring has dropped since.
    std::uint64_t pushed() const;
    // `count` rows starting `back` rows above the screen (1: the row that left last), oldest
    // first; rows the ring does not hold are blank.
    std::vector<Row> rowsAbove(std::size_t back, std::size_t count) const;

  private:
    mutable std::mutex mutex_;
    std::size_t capacity_;
    std::vector<Row> rows_; // grows up to capacity_, then wraps at next_
    std::size_t next_ = 0;  // where the next row goes once the ring is full
    std::uint64_t pushed_ = 0;
};

// What the front end shows: the live screen, or a page of older rows.
class ScrollbackView {
  public:
    // Rows per Shift+PgUp / Shift+PgDn (half the scrolling area, as terminals do) and per step
    // of the mouse wheel.
    static constexpr int kPageRows = 12;
    static constexpr int kWheelRows = 3;
    static constexpr std::uint8_t kStatusAttribute = 0x70; // black on light grey

    explicit ScrollbackView(std::size_t capacity = Scrollback::kDefaultCapacity);
    ~ScrollbackView();
    ScrollbackView(const ScrollbackView&) = delete;
    ScrollbackView& operator=(const ScrollbackView&) = delete;

    // Main thread, while no program thread runs: collects the rows that scroll off `screen`
    // from now on, or stops collecting.
    void attach(Screen& screen);
    void detach();

    // Main thread. Shift+PgUp, Shift+PgDn and the wheel move the view and are taken (true).
    // Any other key, except a modifier pressed on its own, brings the live screen back and is
    // not taken (false): the caller handles it as usual, so typing goes on where it left off.
    bool takeKey(const KeyEvent& key);
    // Positive: further back; negative: towards the live screen. Clamped to what is kept.
    void scroll(int rows);
    void returnToLive() { back_ = 0; }
    // Whether older rows are shown instead of the live screen.
    bool active() const { return back_ > 0; }
    // Rows above the live screen that the view's bottom row is away from it (0: live).
    std::size_t rowsBack() const { return back_; }

    // What to paint: `live` itself while the view is live, else the page of rows `rowsBack()`
    // above the live screen's scrolling area, with a status line in the last row and no cursor.
    ScreenImage compose(const ScreenImage& live);

    const Scrollback& ring() const { return ring_; }
    Scrollback& ring() { return ring_; }

  private:
    // Keeps the view on the same rows while new rows scroll off below it.
    void follow();

    Scrollback ring_;
    Screen* screen_ = nullptr;
    std::size_t back_ = 0;
    std::uint64_t seen_ = 0; // ring_.pushed() when back_ was last brought up to date
};

} // namespace rt
