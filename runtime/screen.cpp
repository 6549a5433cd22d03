#include "runtime/screen.h"

#include <mutex>
#include <new>
#include <utility>

#include "core/errors.h"

namespace rt {

namespace {

bool errorPending() {
    return core::errorState().pendingError.load(std::memory_order_relaxed) != 0;
}

// The VGA DAC holds 6 bits per channel; the card shows v as (v << 2) | (v >> 4) in 8 bits,
// which turns 2A into AA and 15 into 55 as in the text colours.
constexpr std::uint32_t dac(int r, int g, int b) {
    auto widen = [](int v) { return static_cast<std::uint32_t>((v << 2) | (v >> 4)); };
    return 0xFF000000u | (widen(r) << 16) | (widen(g) << 8) | widen(b);
}

// The VGA BIOS default palette, built as the hardware documentation describes it:
//   0..15    the sixteen text colours;
//   16..31   a grey ramp;
//   32..247  three intensities (high, medium, low) x three saturations x 24 hues, each hue
//            stepping round the colour wheel blue -> magenta -> red -> yellow -> green -> cyan;
//   248..255 black.
constexpr std::array<std::uint32_t, 256> buildPalette() {
    std::array<std::uint32_t, 256> p{};
    constexpr int text[16][3] = {
        {0x00, 0x00, 0x00}, {0x00, 0x00, 0x2A}, {0x00, 0x2A, 0x00}, {0x00, 0x2A, 0x2A},
        {0x2A, 0x00, 0x00}, {0x2A, 0x00, 0x2A}, {0x2A, 0x15, 0x00}, {0x2A, 0x2A, 0x2A},
        {0x15, 0x15, 0x15}, {0x15, 0x15, 0x3F}, {0x15, 0x3F, 0x15}, {0x15, 0x3F, 0x3F},
        {0x3F, 0x15, 0x15}, {0x3F, 0x15, 0x3F}, {0x3F, 0x3F, 0x15}, {0x3F, 0x3F, 0x3F}};
    for (int i = 0; i < 16; ++i)
        p[i] = dac(text[i][0], text[i][1], text[i][2]);
    constexpr int grey[16] = {0x00, 0x05, 0x08, 0x0B, 0x0E, 0x11, 0x14, 0x18,
                              0x1C, 0x20, 0x24, 0x28, 0x2D, 0x32, 0x38, 0x3F};
    for (int i = 0; i < 16; ++i)
        p[16 + i] = dac(grey[i], grey[i], grey[i]);
    // Channel levels from lowest to highest, per intensity and saturation.
    constexpr int levels[3][3][5] = {
        {{0x00, 0x10, 0x1F, 0x2F, 0x3F}, {0x1F, 0x27, 0x2F, 0x37, 0x3F}, {0x2D, 0x31, 0x36, 0x3A, 0x3F}},
        {{0x00, 0x07, 0x0E, 0x15, 0x1C}, {0x0E, 0x11, 0x15, 0x18, 0x1C}, {0x14, 0x16, 0x18, 0x1A, 0x1C}},
        {{0x00, 0x04, 0x08, 0x0C, 0x10}, {0x08, 0x0A, 0x0C, 0x0E, 0x10}, {0x0B, 0x0C, 0x0D, 0x0F, 0x10}}};
    // Level index (0 lowest .. 4 highest) of red, green and blue for each of the 24 hues.
    constexpr int hues[24][3] = {{0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {4, 0, 3},
                                 {4, 0, 2}, {4, 0, 1}, {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0},
                                 {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0}, {0, 4, 0}, {0, 4, 1},
                                 {0, 4, 2}, {0, 4, 3}, {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4}};
    int n = 32;
    for (const auto& intensity : levels)
        for (const auto& level : intensity)
            for (const auto& hue : hues)
                p[n++] = dac(level[hue[0]], level[hue[1]], level[hue[2]]);
    for (; n < 256; ++n)
        p[n] = dac(0, 0, 0);
    return p;
}

constexpr std::array<std::uint32_t, 256> kDefaultPalette = buildPalette();
static_assert(kDefaultPalette[7] == 0xFFAAAAAAu && kDefaultPalette[6] == 0xFFAA5500u);

std::mutex gBellMutex;
std::function<void()> gBell;

} // namespace

std::array<std::uint32_t, 256> defaultPalette() {
    return kDefaultPalette;
}

void setBellHandler(std::function<void()> bell) {
    std::lock_guard lock(gBellMutex);
    gBell = std::move(bell);
}

void ringBell() {
    std::function<void()> bell;
    {
        std::lock_guard lock(gBellMutex);
        bell = gBell;
    }
    if (bell) bell();
}

Screen::Screen() {
    for (auto& c : cells_)
        c.store(pack(ScreenCell{32, 7}), std::memory_order_relaxed);
    for (std::size_t i = 0; i < palette_.size(); ++i)
        palette_[i].store(kDefaultPalette[i], std::memory_order_relaxed);
}

Screen& screen() {
    static Screen instance;
    return instance;
}

// ---- state --------------------------------------------------------------------------------------

ScreenCell Screen::cell(int row, int column) const {
    if (row < 1 || row > kRows || column < 1 || column > kColumns) return ScreenCell{};
    return unpack(cells_[index(row, column)].load(std::memory_order_relaxed));
}

std::string Screen::rowText(int row) const {
    std::string text;
    if (row < 1 || row > kRows) return text;
    for (int c = 1; c <= kColumns; ++c)
        text += static_cast<char>(cell(row, c).character);
    return text;
}

std::uint8_t Screen::attribute() const {
    const int fg = foreground();
    return static_cast<std::uint8_t>((fg & 0x0F) | ((background() & 0x07) << 4) | (fg >= 16 ? 0x80 : 0));
}

std::uint32_t Screen::paletteEntry(int number) const {
    if (number < 0 || number > 255) return 0;
    return palette_[static_cast<std::size_t>(number)].load(std::memory_order_relaxed);
}

void Screen::setCursor(int row, int column) {
    cursorRow_.store(row, std::memory_order_relaxed);
    cursorColumn_.store(column, std::memory_order_relaxed);
}

void Screen::setCursorVisible(bool visible) {
    cursorVisible_.store(visible, std::memory_order_relaxed);
    changed();
}

void Screen::setCursorShape(std::uint8_t start, std::uint8_t stop) {
    cursorStart_.store(start, std::memory_order_relaxed);
    cursorStop_.store(stop, std::memory_order_relaxed);
    changed();
}

void Screen::setPaletteEntry(int number, std::uint32_t argb) {
    if (number < 0 || number > 255) return;
    palette_[static_cast<std::size_t>(number)].store(argb, std::memory_order_relaxed);
    paletteVersion_.fetch_add(1, std::memory_order_release);
    changed();
}

void Screen::setScrollOffHandler(std::function<void(const ScreenCell* row)> handler) {
    scrollOff_ = std::move(handler);
}

// ---- teletype -----------------------------------------------------------------------------------

void Screen::lineBreak() {
    int row = cursorRow() + 1;
    if (row > kViewBottom) {
        ++scrollSerial_;
        if (scrollOff_ && scrollSerial_ > scrollReported_) {
            std::array<ScreenCell, kColumns> lost;
            for (int c = 1; c <= kColumns; ++c)
                lost[static_cast<std::size_t>(c - 1)] = cell(kViewTop, c);
            scrollOff_(lost.data());
        }
        if (scrollSerial_ > scrollReported_) scrollReported_ = scrollSerial_;
        for (int r = kViewTop; r < kViewBottom; ++r)
            for (int c = 1; c <= kColumns; ++c)
                cells_[index(r, c)].store(cells_[index(r + 1, c)].load(std::memory_order_relaxed),
                                          std::memory_order_relaxed);
        const ScreenCell blank{32, attribute()};
        for (int c = 1; c <= kColumns; ++c)
            put(kViewBottom, c, blank);
        row = kViewBottom;
    }
    setCursor(row, 1);
}

void Screen::clearCells() {
    const ScreenCell blank{32, attribute()};
    for (int r = kViewTop; r <= kViewBottom; ++r)
        for (int c = 1; c <= kColumns; ++c)
            put(r, c, blank);
    for (int c = 1; c <= kColumns; ++c)
        put(kRows, c, blank);
    // The cursor gets a definite place, so no line break is owed any more; otherwise the next
    // print would start on row 2 of a freshly cleared screen.
    pendingWrap_.store(0, std::memory_order_relaxed);
    setCursor(kViewTop, 1);
}

bool Screen::putCharacter(std::uint8_t code, bool lastOfText, bool endLine) {
    const int row = cursorRow();
    const int column = cursorColumn();
    put(row, column, ScreenCell{code, attribute()});
    if (column + 1 <= kColumns) {
        setCursor(row, column + 1);
        return false;
    }
    if (lastOfText && !endLine) {
        setCursor(row, kColumns);
        pendingWrap_.store(1, std::memory_order_relaxed);
        return false;
    }
    lineBreak();
    return true;
}

void Screen::printText(std::string_view text, bool endLine) {
    if (errorPending()) return;
    if (pendingWrap() != 0) {
        if (!text.empty()) {
            pendingWrap_.store(0, std::memory_order_relaxed);
            lineBreak();
        } else if (endLine) {
            pendingWrap_.store(0, std::memory_order_relaxed);
        }
    }
    bool wrapped = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto code = static_cast<std::uint8_t>(text[i]);
        const bool last = i + 1 == text.size();
        const int row = cursorRow();
        const int column = cursorColumn();
        wrapped = false;
        switch (code) {
        case 7:
            ringBell();
            break;
        case 9:
            // Spaces up to and including the next column that is a multiple of 8.
            for (;;) {
                const int at = cursorColumn();
                const bool stop = at % 8 == 0;
                wrapped = putCharacter(32, last && stop, endLine);
                if (stop) break;
            }
            break;
        case 10:
        case 13:
            lineBreak();
            break;
        case 11:
            setCursor(kViewTop, 1);
            break;
        case 12:
            clearCells();
            break;
        case 28:
            if (column < kColumns)
                setCursor(row, column + 1);
            else if (inScrollArea(row) && row < kViewBottom)
                setCursor(row + 1, 1);
            break;
        case 29:
            if (column > 1)
                setCursor(row, column - 1);
            else if (inScrollArea(row) && row > kViewTop)
                setCursor(row - 1, kColumns);
            break;
        case 30:
            if (inScrollArea(row) && row > kViewTop) setCursor(row - 1, column);
            break;
        case 31:
            if (inScrollArea(row) && row < kViewBottom) setCursor(row + 1, column);
            break;
        default:
            wrapped = putCharacter(code, last, endLine);
            break;
        }
    }
    if (endLine && !wrapped) lineBreak();
    changed();
}

void Screen::fitToLine(std::string_view text) {
    if (errorPending()) return;
    if (pendingWrap() != 0 || cursorColumn() == 1) return;
    if (cursorColumn() + static_cast<std::int64_t>(text.size()) - 1 > kColumns) {
        lineBreak();
        changed();
    }
}

void Screen::newLine() {
    if (errorPending()) return;
    lineBreak();
    changed();
}

void Screen::clearScreen() {
    if (errorPending()) return;
    clearCells();
    changed();
}

void Screen::locate(std::optional<std::int64_t> row, std::optional<std::int64_t> column) {
    if (errorPending()) return;
    if (row && (*row < kViewTop || (*row > kViewBottom && *row != kRows))) {
        core::raiseError(core::ErrorCode::illegalFunctionCall);
        return;
    }
    if (column && (*column < 1 || *column > kColumns)) {
        core::raiseError(core::ErrorCode::illegalFunctionCall);
        return;
    }
    if (!row && !column) {
        if (pendingWrap() == 1) pendingWrap_.store(2, std::memory_order_relaxed);
    } else {
        setCursor(row ? static_cast<int>(*row) : cursorRow(),
                  column ? static_cast<int>(*column) : cursorColumn());
        pendingWrap_.store(0, std::memory_order_relaxed);
    }
    changed();
}

void Screen::setColor(std::optional<std::int64_t> foreground, std::optional<std::int64_t> background) {
    if (errorPending()) return;
    if ((foreground && (*foreground < 0 || *foreground > 31)) ||
        (background && (*background < 0 || *background > 15))) {
        core::raiseError(core::ErrorCode::illegalFunctionCall);
        return;
    }
    if (foreground) foreground_.store(static_cast<int>(*foreground), std::memory_order_relaxed);
    if (background) background_.store(static_cast<int>(*background % 8), std::memory_order_relaxed);
    changed();
}

int Screen::cursorRowNow() const {
    const int row = cursorRow();
    if (pendingWrap() == 0) return row;
    return row >= kViewBottom ? kViewBottom : row + 1;
}

std::string Screen::columnMove(std::int64_t n) const {
    if (n > kColumns) n %= kColumns;
    if (n < 1) n = 1;
    const int c = cursorColumn();
    if (n >= c) return std::string(static_cast<std::size_t>(n - c), ' ');
    return "\r" + std::string(static_cast<std::size_t>(n - 1), ' ');
}

// ---- copy and restore ---------------------------------------------------------------------------

std::unique_ptr<ScreenCopy> Screen::copy() const {
    std::unique_ptr<ScreenCopy> saved(new (std::nothrow) ScreenCopy);
    if (!saved) return saved;
    for (std::size_t i = 0; i < saved->cells.size(); ++i)
        saved->cells[i] = unpack(cells_[i].load(std::memory_order_relaxed));
    saved->cursorRow = cursorRow();
    saved->cursorColumn = cursorColumn();
    saved->pendingWrap = pendingWrap();
    saved->cursorVisible = cursorVisible();
    saved->cursorStart = cursorStart();
    saved->cursorStop = cursorStop();
    saved->scrollSerial = scrollSerial_;
    return saved;
}

void Screen::restore(const ScreenCopy& saved) {
    for (std::size_t i = 0; i < saved.cells.size(); ++i)
        cells_[i].store(pack(saved.cells[i]), std::memory_order_relaxed);
    setCursor(saved.cursorRow, saved.cursorColumn);
    pendingWrap_.store(saved.pendingWrap, std::memory_order_relaxed);
    cursorVisible_.store(saved.cursorVisible, std::memory_order_relaxed);
    cursorStart_.store(saved.cursorStart, std::memory_order_relaxed);
    cursorStop_.store(saved.cursorStop, std::memory_order_relaxed);
    // The rows that scrolled off since the copy were handed on already; printing on from the
    // restored screen scrolls the same rows off again, and those must not be reported twice.
    scrollSerial_ = saved.scrollSerial;
    changed();
}

} // namespace rt
