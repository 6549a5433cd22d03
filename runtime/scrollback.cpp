#include "runtime/scrollback.h"

#include <algorithm>
#include <string>

#include "runtime/screen.h"

namespace rt {

// ---- the ring -------------------------------------------------------------------------------------

Scrollback::Scrollback(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void Scrollback::push(const ScreenCell* cells) {
    Row row;
    std::copy_n(cells, kColumns, row.begin());
    std::lock_guard lock(mutex_);
    // Memory grows with the rows actually kept, so a session that never scrolls costs nothing.
    if (rows_.size() < capacity_) {
        rows_.push_back(row);
    } else {
        rows_[next_] = row;
        next_ = (next_ + 1) % capacity_;
    }
    ++pushed_;
}

std::size_t Scrollback::size() const {
    std::lock_guard lock(mutex_);
    return rows_.size();
}

std::uint64_t Scrollback::pushed() const {
    std::lock_guard lock(mutex_);
    return pushed_;
}

std::vector<Scrollback::Row> Scrollback::rowsAbove(std::size_t back, std::size_t count) const {
    Row blank;
    blank.fill(ScreenCell{});
    std::vector<Row> out(count, blank);
    std::lock_guard lock(mutex_);
    const std::size_t size = rows_.size();
    // Until the ring is full, next_ stays 0 and the oldest row is rows_[0].
    for (std::size_t i = 0; i < count; ++i) {
        if (back < i + 1) break;
        const std::size_t distance = back - i; // rows above the screen
        if (distance > size) continue;
        out[i] = rows_[(next_ + size - distance) % size];
    }
    return out;
}

// ---- the view ---------------------------------------------------------------------------------------

ScrollbackView::ScrollbackView(std::size_t capacity) : ring_(capacity) {}

ScrollbackView::~ScrollbackView() {
    detach();
}

void ScrollbackView::attach(Screen& screen) {
    detach();
    screen_ = &screen;
    screen.setScrollOffHandler([this](const ScreenCell* row) { ring_.push(row); });
}

void ScrollbackView::detach() {
    if (screen_ == nullptr) return;
    screen_->setScrollOffHandler(nullptr);
    screen_ = nullptr;
}

void ScrollbackView::follow() {
    const std::uint64_t pushed = ring_.pushed();
    if (back_ > 0) back_ += static_cast<std::size_t>(pushed - seen_);
    seen_ = pushed;
    back_ = std::min(back_, ring_.size());
}

void ScrollbackView::scroll(int rows) {
    follow();
    if (rows < 0) {
        back_ -= std::min(back_, static_cast<std::size_t>(-static_cast<long long>(rows)));
    } else {
        back_ = std::min(back_ + static_cast<std::size_t>(rows), ring_.size());
    }
}

bool ScrollbackView::takeKey(const KeyEvent& key) {
    if (key.name == KeyName::wheelUp) {
        scroll(kWheelRows);
        return true;
    }
    if (key.name == KeyName::wheelDown) {
        scroll(-kWheelRows);
        return true;
    }
    if (key.shift && !key.ctrl && !key.alt && key.character == 0) {
        if (key.extended == scan::pageUp) {
            scroll(kPageRows);
            return true;
        }
        if (key.extended == scan::pageDown) {
            scroll(-kPageRows);
            return true;
        }
    }
    // Shift on its way to Shift+PgDn must not end the view.
    if (key.name != KeyName::modifier) returnToLive();
    return false;
}

ScreenImage ScrollbackView::compose(const ScreenImage& live) {
    follow();
    if (back_ == 0 || live.columns != Scrollback::kColumns || live.rows != Screen::kRows) return live;
    ScreenImage page = live;
    constexpr int kPageHeight = Screen::kViewBottom - Screen::kViewTop + 1;
    const std::size_t fromRing = std::min<std::size_t>(back_, kPageHeight);
    const std::vector<Scrollback::Row> older = ring_.rowsAbove(back_, fromRing);
    for (int row = 1; row <= kPageHeight; ++row) {
        const int target = Screen::kViewTop + row - 1;
        if (static_cast<std::size_t>(row) <= fromRing) {
            const Scrollback::Row& cells = older[static_cast<std::size_t>(row - 1)];
            for (int column = 1; column <= page.columns; ++column)
                page.at(target, column) = cells[static_cast<std::size_t>(column - 1)];
        } else {
            const int liveRow = Screen::kViewTop + row - 1 - static_cast<int>(back_);
            for (int column = 1; column <= page.columns; ++column)
                page.at(target, column) = live.at(liveRow, column);
        }
    }
    std::string status = " Scrollback " + std::to_string(back_) + "/" + std::to_string(ring_.size()) +
                         "   Shift+PgUp/PgDn or wheel: scroll   any other key: back";
    status.resize(static_cast<std::size_t>(page.columns), ' ');
    for (int column = 1; column <= page.columns; ++column)
        page.at(page.rows, column) = ScreenCell{
            static_cast<std::uint8_t>(status[static_cast<std::size_t>(column - 1)]), kStatusAttribute};
    page.cursorVisible = false;
    return page;
}

} // namespace rt
