#include "runtime/frontend_window.h"

#include "runtime/cp437.h"
#include "runtime/font_cp437.h"
#include "runtime/icon.h"
#include "runtime/screen.h"
#include "runtime/tones.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace rt {

namespace {

constexpr int kRepeatDelay_ms = 500;
constexpr int kRepeatInterval_ms = 30;
constexpr int kIconSize = rt::kIconDesignSize;
constexpr Uint32 kVideoFlags = SDL_SWSURFACE | SDL_RESIZABLE;

// Box colours: black on light grey, the highlighted button bright white on blue.
constexpr std::uint8_t kBoxAttribute = 0x70;
constexpr std::uint8_t kFocusAttribute = 0x1F;

// ---- the window icon ------------------------------------------------------------------------

// The program's icon (runtime/icon.h), drawn at start-up so that no image file is needed.
SDL_Surface* makeIcon() {
    SDL_Surface* icon = SDL_CreateRGBSurface(SDL_SWSURFACE, kIconSize, kIconSize, 32, 0x00FF0000, 0x0000FF00,
                                             0x000000FF, 0xFF000000);
    if (icon == nullptr) return nullptr;
    if (SDL_LockSurface(icon) != 0) {
        SDL_FreeSurface(icon);
        return nullptr;
    }
    for (int y = 0; y < kIconSize; ++y) {
        auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(icon->pixels) + y * icon->pitch);
        for (int x = 0; x < kIconSize; ++x)
            row[x] = rt::iconColour(x + 0.5, y + 0.5); // the design's colour at the pixel's centre
    }
    SDL_UnlockSurface(icon);
    return icon;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n') {
            lines.emplace_back();
        } else if (c != '\r') {
            lines.back().push_back(c);
        }
    }
    return lines;
}

std::uint8_t scanForKeypad(SDLKey sym) {
    switch (sym) {
    case SDLK_KP7:
        return scan::home;
    case SDLK_KP8:
        return scan::up;
    case SDLK_KP9:
        return scan::pageUp;
    case SDLK_KP4:
        return scan::left;
    case SDLK_KP6:
        return scan::right;
    case SDLK_KP1:
        return scan::end;
    case SDLK_KP2:
        return scan::down;
    case SDLK_KP3:
        return scan::pageDown;
    case SDLK_KP0:
        return scan::insert;
    case SDLK_KP_PERIOD:
        return scan::del;
    default:
        return 0;
    }
}

// Cursor and editing keys: plain, with Ctrl, with Alt (PC scan codes; 0 where the PC has none).
struct NavigationKey {
    SDLKey sym;
    std::uint8_t plain, ctrl, alt;
};
constexpr NavigationKey kNavigationKeys[] = {
    {SDLK_HOME, scan::home, scan::ctrlHome, scan::altHome},
    {SDLK_UP, scan::up, scan::ctrlUp, scan::altUp},
    {SDLK_PAGEUP, scan::pageUp, scan::ctrlPageUp, scan::altPageUp},
    {SDLK_LEFT, scan::left, scan::ctrlLeft, scan::altLeft},
    {SDLK_RIGHT, scan::right, scan::ctrlRight, scan::altRight},
    {SDLK_END, scan::end, scan::ctrlEnd, scan::altEnd},
    {SDLK_DOWN, scan::down, scan::ctrlDown, scan::altDown},
    {SDLK_PAGEDOWN, scan::pageDown, scan::ctrlPageDown, scan::altPageDown},
    {SDLK_INSERT, scan::insert, scan::ctrlInsert, scan::altInsert},
    {SDLK_DELETE, scan::del, scan::ctrlDelete, scan::altDelete},
};

std::uint8_t navigationScan(SDLKey sym, bool ctrl, bool alt) {
    for (const NavigationKey& k : kNavigationKeys) {
        if (k.sym != sym) continue;
        if (alt) return k.alt;
        if (ctrl) return k.ctrl;
        return k.plain;
    }
    return 0;
}

bool isModifierKey(SDLKey sym) {
    switch (sym) {
    case SDLK_CAPSLOCK:
    case SDLK_RSHIFT:
    case SDLK_LSHIFT:
    case SDLK_RCTRL:
    case SDLK_LCTRL:
    case SDLK_RALT:
    case SDLK_LALT:
    case SDLK_RMETA:
    case SDLK_LMETA:
    case SDLK_LSUPER:
    case SDLK_RSUPER:
    case SDLK_MODE:
    case SDLK_COMPOSE:
        return true;
    default:
        return false;
    }
}

} // namespace

// ---- keys -------------------------------------------------------------------------------------

KeyEvent translateKey(const SDL_keysym& key) {
    KeyEvent event;
    event.ctrl = (key.mod & KMOD_CTRL) != 0;
    event.alt = (key.mod & KMOD_ALT) != 0;
    const bool shift = (key.mod & KMOD_SHIFT) != 0;
    event.shift = shift;

    switch (key.sym) {
    case SDLK_BREAK:
        event.name = KeyName::breakKey;
        return event;
    case SDLK_PAUSE:
        // X11 reports Ctrl+Pause, the PC keyboard's Break, under the Pause key symbol.
        event.name = event.ctrl ? KeyName::breakKey : KeyName::pause;
        return event;
    case SDLK_SCROLLOCK:
        event.name = KeyName::scrollLock;
        return event;
    case SDLK_NUMLOCK:
        event.name = KeyName::numLock;
        return event;
    case SDLK_F15:
        event.name = KeyName::f15;
        return event;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        event.name = KeyName::enter;
        event.character = 13;
        return event;
    default:
        break;
    }
    if (isModifierKey(key.sym)) {
        event.name = KeyName::modifier;
        return event;
    }
    if (key.sym >= SDLK_F1 && key.sym <= SDLK_F12) {
        event.extended =
            scan::functionKey(key.sym - SDLK_F1 + 1, scan::Modifiers{shift, event.ctrl, event.alt});
        return event;
    }
    // Delete gives character 127 on X11 but is a key without a character on the PC.
    if (const std::uint8_t nav = navigationScan(key.sym, event.ctrl, event.alt); nav != 0) {
        event.extended = nav;
        return event;
    }
    if (key.sym == SDLK_TAB && shift) {
        event.extended = scan::shiftTab;
        return event;
    }
    const int code = key.unicode != 0 ? unicodeToCp437(key.unicode) : -1;
    if (code < 0) {
        // The keypad without Num Lock moves the cursor.
        event.extended = scanForKeypad(key.sym);
        return event;
    }
    if (event.alt && !event.ctrl) {
        // Alt with a letter or digit is a key without a character on the PC.
        if (const std::uint8_t alt = scan::altCharacter(static_cast<char>(code)); alt != 0) {
            event.extended = alt;
            return event;
        }
    }
    event.character = static_cast<std::uint8_t>(code);
    return event;
}

// ---- message boxes ----------------------------------------------------------------------------

BoxLayout layoutBox(const std::string& caption, const std::string& text, BoxButtons buttons, int columns,
                    int rows) {
    BoxLayout layout;
    const std::vector<std::string> labels =
        buttons == BoxButtons::yesNo ? std::vector<std::string>{"Yes", "No"} : std::vector<std::string>{"OK"};
    // Each button is "[ label ]", with two blanks between buttons.
    int buttonsWidth = 0;
    for (const std::string& label : labels)
        buttonsWidth += static_cast<int>(label.size()) + 4;
    buttonsWidth += 2 * (static_cast<int>(labels.size()) - 1);

    const int maxInner = std::max(columns - 6, 10); // border and one blank on each side
    int inner = std::max({static_cast<int>(caption.size()) + 2, buttonsWidth, 20});
    const std::vector<std::string> given = splitLines(text);
    for (const std::string& line : given)
        inner = std::max(inner, static_cast<int>(line.size()));
    inner = std::min(inner, maxInner);
    for (const std::string& line : given) {
        if (line.empty()) layout.lines.emplace_back();
        for (std::size_t at = 0; at < line.size(); at += static_cast<std::size_t>(inner))
            layout.lines.push_back(line.substr(at, static_cast<std::size_t>(inner)));
    }
    // Border, blank, text, blank, buttons, border; never taller than the screen.
    const int maxLines = std::max(rows - 5, 1);
    if (static_cast<int>(layout.lines.size()) > maxLines)
        layout.lines.resize(static_cast<std::size_t>(maxLines));

    layout.width = inner + 4;
    layout.height = static_cast<int>(layout.lines.size()) + 5;
    layout.left = (columns - layout.width) / 2 + 1;
    layout.top = std::max((rows - layout.height) / 2 + 1, 1);

    const int buttonRow = layout.top + layout.height - 2;
    int column = layout.left + (layout.width - buttonsWidth) / 2;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        BoxLayout::Button b;
        b.row = buttonRow;
        b.firstColumn = column;
        b.lastColumn = column + static_cast<int>(labels[i].size()) + 3;
        b.label = labels[i];
        b.answer = buttons == BoxButtons::ok ? BoxAnswer::ok : (i == 0 ? BoxAnswer::yes : BoxAnswer::no);
        layout.buttons.push_back(b);
        column = b.lastColumn + 3;
    }
    return layout;
}

void drawBox(ScreenImage& image, const BoxLayout& layout, const std::string& caption, int focus) {
    auto put = [&](int row, int column, std::uint8_t character, std::uint8_t attribute) {
        if (row < 1 || row > image.rows || column < 1 || column > image.columns) return;
        image.at(row, column) = ScreenCell{character, attribute};
    };
    auto text = [&](int row, int column, const std::string& s, std::uint8_t attribute) {
        for (std::size_t i = 0; i < s.size(); ++i)
            put(row, column + static_cast<int>(i), static_cast<std::uint8_t>(s[i]), attribute);
    };
    const int bottom = layout.top + layout.height - 1;
    const int right = layout.left + layout.width - 1;
    for (int row = layout.top; row <= bottom; ++row) {
        for (int column = layout.left; column <= right; ++column) {
            std::uint8_t c = ' ';
            const bool top = row == layout.top;
            const bool low = row == bottom;
            const bool side = column == layout.left || column == right;
            if (top || low) c = 0xCD; // U+2550 BOX DRAWINGS DOUBLE HORIZONTAL
            if (side) c = 0xBA;       // U+2551 BOX DRAWINGS DOUBLE VERTICAL
            if (top && column == layout.left) c = 0xC9;
            if (top && column == right) c = 0xBB;
            if (low && column == layout.left) c = 0xC8;
            if (low && column == right) c = 0xBC;
            put(row, column, c, kBoxAttribute);
        }
    }
    std::string title = " " + caption + " ";
    if (static_cast<int>(title.size()) > layout.width - 2)
        title.resize(static_cast<std::size_t>(layout.width - 2));
    text(layout.top, layout.left + (layout.width - static_cast<int>(title.size())) / 2, title, kBoxAttribute);
    for (std::size_t i = 0; i < layout.lines.size(); ++i)
        text(layout.top + 2 + static_cast<int>(i), layout.left + 2, layout.lines[i], kBoxAttribute);
    for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
        const BoxLayout::Button& b = layout.buttons[i];
        text(b.row, b.firstColumn, "[ " + b.label + " ]",
             static_cast<int>(i) == focus ? kFocusAttribute : kBoxAttribute);
    }
}

int defaultWindowScale(int displayWidth, int displayHeight) {
    const long long pictureWidth = 80LL * kGlyphWidth;
    const long long pictureHeight = 25LL * kGlyphHeight;
    const long long halfDisplay = static_cast<long long>(displayWidth) * displayHeight / 2;
    int scale = 1;
    for (int next = 2; next <= 16; ++next) {
        const long long w = pictureWidth * next;
        const long long h = pictureHeight * next;
        if (w > displayWidth || h > displayHeight || w * h > halfDisplay) break;
        scale = next;
    }
    return scale;
}

int fittingWindowScale(int requested, int displayWidth, int displayHeight) {
    if (displayWidth <= 0 || displayHeight <= 0) return requested;
    int scale = requested;
    while (scale > 1 &&
           (80LL * kGlyphWidth * scale > displayWidth || 25LL * kGlyphHeight * scale > displayHeight))
        --scale;
    return scale;
}

std::pair<int, int> cursorPixelRows(std::uint8_t start, std::uint8_t stop) {
    if (start == 4 && stop == 4) return {14, 14};
    const int first = std::min<int>(start, kGlyphHeight - 1);
    const int last = std::min<int>(stop, kGlyphHeight - 1);
    if (first > last) return {kGlyphHeight - 2, kGlyphHeight - 2};
    return {first, last};
}

// ---- the front end ------------------------------------------------------------------------------

WindowFrontend::WindowFrontend(int scale) : requestedScale_(scale) {}

WindowFrontend::~WindowFrontend() {
    shutdown();
}

int WindowFrontend::start() {
    // Audio is opened on its own at the first tone, so that a machine without sound still gets
    // its window; the parachute stays off because the frame handles the fatal signals itself.
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_CDROM | SDL_INIT_NOPARACHUTE) != 0) {
        std::fprintf(stderr, "Unable to init SDL: %s\n", SDL_GetError());
        return 100;
    }
    ownsSdl_ = true;
    started_ = true;
    scale_ = requestedScale_;
    // Before the first video mode is set, the video information describes the desktop.
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (scale_ < 1) {
        scale_ = info != nullptr ? defaultWindowScale(info->current_w, info->current_h) : 1;
    } else if (info != nullptr) {
        // A window taller or wider than the display would hide its status row or its right half.
        scale_ = fittingWindowScale(requestedScale_, info->current_w, info->current_h);
        if (scale_ != requestedScale_)
            std::fprintf(
                stderr,
                "co2calc: --scale %d makes a %d x %d window, larger than the %d x %d display; using %d\n",
                requestedScale_, 80 * kGlyphWidth * requestedScale_, 25 * kGlyphHeight * requestedScale_,
                info->current_w, info->current_h, scale_);
    }
    icon_ = makeIcon();
    if (icon_ != nullptr) SDL_WM_SetIcon(icon_, nullptr);
    SDL_WM_SetCaption("Untitled", "Untitled");
    if (!createSurface(80, 25)) {
        std::fprintf(stderr, "Unable to init SDL: %s\n", SDL_GetError());
        shutdown();
        return 100;
    }
    SDL_EnableUNICODE(1);
    toneGenerator().setOutput(makeSdlAudio());
    scrollback_.attach(rt::screen());
    return 0;
}

bool WindowFrontend::createSurface(int columns, int rows) {
    columns_ = columns;
    rows_ = rows;
    painted_.assign(static_cast<std::size_t>(columns * rows), Painted{});
    paletteKnown_ = false;
    return setVideoMode(columns * kGlyphWidth * scale_, rows * kGlyphHeight * scale_);
}

bool WindowFrontend::setVideoMode(int width, int height) {
    // On failure SDL keeps no surface at all; refresh() then tries again at the picture's size.
    surface_ = SDL_SetVideoMode(width, height, 32, kVideoFlags);
    if (surface_ == nullptr) return false;
    paletteKnown_ = false; // colours are mapped to the new surface's format
    placePicture();
    return true;
}

void WindowFrontend::placePicture() {
    const int pictureWidth = columns_ * kGlyphWidth;
    const int pictureHeight = rows_ * kGlyphHeight;
    scale_ = std::max(1, std::min(surface_->w / pictureWidth, surface_->h / pictureHeight));
    originX_ = std::max(0, (surface_->w - pictureWidth * scale_) / 2);
    originY_ = std::max(0, (surface_->h - pictureHeight * scale_) / 2);
    repaintAll_ = true;
}

bool WindowFrontend::hidden() const {
    if (!started_) return false;
    return (SDL_GetAppState() & SDL_APPACTIVE) == 0;
}

std::uint32_t WindowFrontend::pixelArgb(int x, int y) const {
    if (surface_ == nullptr || x < 0 || y < 0 || x >= surface_->w || y >= surface_->h) return 0;
    const auto* row = static_cast<const Uint8*>(surface_->pixels) + y * surface_->pitch;
    const Uint32 value = reinterpret_cast<const Uint32*>(row)[x];
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(value, surface_->format, &r, &g, &b);
    return 0xFF000000u | (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | b;
}

void WindowFrontend::refresh(const ScreenImage& screen) {
    if (!started_) return;
    if (screen.columns < 1 || screen.rows < 1 || screen.columns > 256 || screen.rows > 256 ||
        screen.cells.size() < static_cast<std::size_t>(screen.columns * screen.rows))
        return; // not a picture of a text screen
    if (screen.columns != columns_ || screen.rows != rows_ || surface_ == nullptr) {
        // The picture always shows the whole text screen.
        if (!createSurface(screen.columns, screen.rows)) return;
    }
    BoxChannel::Request request;
    if (!boxOpen_ && box_.pending(&request)) {
        boxOpen_ = true;
        boxRequest_ = std::move(request);
        boxLayout_ = layoutBox(boxRequest_.caption, boxRequest_.text, boxRequest_.buttons, columns_, rows_);
        boxFocus_ = 0;
    } else if (boxOpen_ && !box_.pending()) {
        boxOpen_ = false; // given up by the program thread (stop requested)
    }
    if (!boxOpen_) {
        if (scrollback_.active()) {
            paint(scrollback_.compose(screen));
        } else {
            paint(screen);
        }
        return;
    }
    scrollback_.returnToLive();
    ScreenImage shown = screen;
    shown.cursorVisible = false;
    drawBox(shown, boxLayout_, boxRequest_.caption, boxFocus_);
    paint(shown);
}

void WindowFrontend::paint(const ScreenImage& screen) {
    ++paintCounter_;
    const bool cursorPhase = (paintCounter_ & 4) != 0;
    const bool blinkPhase = (paintCounter_ & 8) != 0;

    if (!paletteKnown_ || screen.palette != paletteArgb_) {
        paletteArgb_ = screen.palette;
        for (std::size_t i = 0; i < paletteArgb_.size(); ++i) {
            const std::uint32_t c = paletteArgb_[i];
            paletteMapped_[i] = SDL_MapRGB(surface_->format, static_cast<Uint8>(c >> 16),
                                           static_cast<Uint8>(c >> 8), static_cast<Uint8>(c));
        }
        paletteKnown_ = true;
        repaintAll_ = true;
    }

    // The cursor shows in column 1 of the next row while a moved line break is owed.
    int cursorRow = screen.cursorRow;
    int cursorColumn = screen.cursorColumn;
    if (screen.pendingWrap == 2) {
        cursorRow = std::min(cursorRow + 1, screen.rows);
        cursorColumn = 1;
    }
    const bool cursorShown = screen.cursorVisible && cursorPhase;
    const auto cursorRows = cursorPixelRows(screen.cursorStart, screen.cursorStop);

    const bool everything = repaintAll_;
    // The border around a scaled or centred picture.
    if (everything) SDL_FillRect(surface_, nullptr, SDL_MapRGB(surface_->format, 0, 0, 0));
    if (SDL_MUSTLOCK(surface_) && SDL_LockSurface(surface_) != 0) return;
    std::vector<SDL_Rect> dirty;
    int redrawn = 0;
    for (int row = 1; row <= rows_; ++row) {
        int firstDirty = 0;
        int lastDirty = 0;
        for (int column = 1; column <= columns_; ++column) {
            const ScreenCell& cell = screen.at(row, column);
            const bool hidden = (cell.attribute & 0x80) != 0 && blinkPhase;
            const bool cursor = cursorShown && row == cursorRow && column == cursorColumn;
            const Painted now{cell.character, cell.attribute,
                              static_cast<std::uint8_t>((hidden ? 1 : 0) | (cursor ? 2 : 0))};
            Painted& before = painted_[static_cast<std::size_t>((row - 1) * columns_ + (column - 1))];
            if (!repaintAll_ && before == now) continue;
            before = now;
            paintCell(row, column, cell, hidden, cursor, cursorRows);
            ++redrawn;
            if (firstDirty == 0) firstDirty = column;
            lastDirty = column;
        }
        if (firstDirty != 0 && !everything) {
            const int x = originX_ + (firstDirty - 1) * kGlyphWidth * scale_;
            const int y = originY_ + (row - 1) * kGlyphHeight * scale_;
            const int w = std::min((lastDirty - firstDirty + 1) * kGlyphWidth * scale_, surface_->w - x);
            const int h = std::min(kGlyphHeight * scale_, surface_->h - y);
            if (w > 0 && h > 0)
                dirty.push_back(SDL_Rect{static_cast<Sint16>(x), static_cast<Sint16>(y),
                                         static_cast<Uint16>(w), static_cast<Uint16>(h)});
        }
    }
    if (SDL_MUSTLOCK(surface_)) SDL_UnlockSurface(surface_);
    repaintAll_ = false;
    cellsRedrawn_ = redrawn;
    if (everything) {
        SDL_UpdateRect(surface_, 0, 0, 0, 0);
    } else if (!dirty.empty()) {
        SDL_UpdateRects(surface_, static_cast<int>(dirty.size()), dirty.data());
    }
}

void WindowFrontend::paintCell(int row, int column, const ScreenCell& cell, bool hidden, bool cursor,
                               std::pair<int, int> cursorRows) {
    const Uint32 foreground = paletteMapped_[cell.attribute & 0x0F];
    const Uint32 background = paletteMapped_[(cell.attribute >> 4) & 0x07];
    const Uint32 ink = hidden ? background : foreground;
    // Every glyph pixel becomes a square of scale_ x scale_ pixels; what lies outside a window
    // smaller than the picture is left out.
    const int x0 = originX_ + (column - 1) * kGlyphWidth * scale_;
    const int y0 = originY_ + (row - 1) * kGlyphHeight * scale_;
    const int x1 = std::min(x0 + kGlyphWidth * scale_, surface_->w);
    for (int y = 0; y < kGlyphHeight; ++y) {
        const bool cursorLine = cursor && y >= cursorRows.first && y <= cursorRows.second;
        const std::uint8_t bits = kCp437Glyphs[cell.character][y];
        for (int dy = 0; dy < scale_; ++dy) {
            const int py = y0 + y * scale_ + dy;
            if (py >= surface_->h) return;
            auto* line =
                reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface_->pixels) + py * surface_->pitch);
            for (int px = x0; px < x1; ++px) {
                const int x = (px - x0) / scale_;
                if (cursorLine) {
                    line[px] = foreground;
                } else {
                    line[px] = ((bits >> (7 - x)) & 1) != 0 ? ink : background;
                }
            }
        }
    }
}

void WindowFrontend::updateKeyRepeat() {
    const Uint8 state = SDL_GetAppState();
    const bool want = (state & SDL_APPACTIVE) != 0 && (state & SDL_APPINPUTFOCUS) != 0;
    if (repeatKnown_ && want == repeatOn_) return;
    if (want) {
        SDL_EnableKeyRepeat(kRepeatDelay_ms, kRepeatInterval_ms);
    } else {
        SDL_EnableKeyRepeat(0, 0);
    }
    repeatOn_ = want;
    repeatKnown_ = true;
}

EventsResult WindowFrontend::handleEvents() {
    if (!started_) return EventsResult::closeWindow;
    updateKeyRepeat();
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        switch (event.type) {
        case SDL_QUIT:
            return EventsResult::closeWindow;
        case SDL_VIDEOEXPOSE:
            repaintAll_ = true;
            break;
        case SDL_VIDEORESIZE:
            if (surface_ != nullptr && (event.resize.w != surface_->w || event.resize.h != surface_->h) &&
                event.resize.w > 0 && event.resize.h > 0) {
                setVideoMode(event.resize.w, event.resize.h);
            }
            break;
        case SDL_ACTIVEEVENT:
            if (event.active.gain != 0 && (event.active.state & SDL_APPACTIVE) != 0) repaintAll_ = true;
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (boxOpen_ && event.button.button == SDL_BUTTON_LEFT)
                handleBoxClick(event.button.x, event.button.y);
            if (!boxOpen_ && event.button.button == SDL_BUTTON_WHEELUP)
                scrollback_.scroll(ScrollbackView::kWheelRows);
            if (!boxOpen_ && event.button.button == SDL_BUTTON_WHEELDOWN)
                scrollback_.scroll(-ScrollbackView::kWheelRows);
            break;
        case SDL_KEYDOWN: {
            const KeyEvent key = translateKey(event.key.keysym);
            // The keys that end the program keep working while a box waits for its answer.
            const bool ends = key.name == KeyName::breakKey || key.character == 3 ||
                              (key.ctrl && (key.name == KeyName::scrollLock || key.name == KeyName::f15));
            if (boxOpen_ && !ends) {
                handleBoxKey(event.key.keysym);
                break;
            }
            if (scrollback_.takeKey(key)) break;
            if (dispatchKey(key) == KeyOutcome::toggleFullScreen && surface_ != nullptr) {
                if (SDL_WM_ToggleFullScreen(surface_) != 0) repaintAll_ = true;
            }
            break;
        }
        default:
            break;
        }
    }
    return EventsResult::running;
}

void WindowFrontend::answerBox(BoxAnswer answer) {
    box_.answer(answer);
    boxOpen_ = false;
}

void WindowFrontend::handleBoxKey(const SDL_keysym& key) {
    const bool yesNo = boxRequest_.buttons == BoxButtons::yesNo;
    const int count = static_cast<int>(boxLayout_.buttons.size());
    const char c = key.unicode < 128 ? static_cast<char>(key.unicode) : 0;
    switch (key.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
    case SDLK_SPACE:
        answerBox(boxLayout_.buttons[static_cast<std::size_t>(boxFocus_)].answer);
        return;
    case SDLK_ESCAPE:
        answerBox(yesNo ? BoxAnswer::no : BoxAnswer::ok);
        return;
    case SDLK_TAB:
    case SDLK_RIGHT:
    case SDLK_DOWN:
        boxFocus_ = (boxFocus_ + 1) % count;
        return;
    case SDLK_LEFT:
    case SDLK_UP:
        boxFocus_ = (boxFocus_ + count - 1) % count;
        return;
    default:
        break;
    }
    if (yesNo && (c == 'y' || c == 'Y')) answerBox(BoxAnswer::yes);
    if (yesNo && (c == 'n' || c == 'N')) answerBox(BoxAnswer::no);
    if (!yesNo && (c == 'o' || c == 'O')) answerBox(BoxAnswer::ok);
}

void WindowFrontend::handleBoxClick(int x, int y) {
    if (x < originX_ || y < originY_) return;
    const int column = (x - originX_) / (kGlyphWidth * scale_) + 1;
    const int row = (y - originY_) / (kGlyphHeight * scale_) + 1;
    for (const BoxLayout::Button& b : boxLayout_.buttons) {
        if (row == b.row && column >= b.firstColumn && column <= b.lastColumn) {
            answerBox(b.answer);
            return;
        }
    }
}

BoxAnswer WindowFrontend::messageBox(const std::string& caption, const std::string& text,
                                     BoxButtons buttons) {
    return box_.ask(caption, text, buttons);
}

void WindowFrontend::shutdown() {
    if (!started_) return;
    started_ = false;
    scrollback_.detach();
    toneGenerator().shutdown();
    SDL_ShowCursor(SDL_DISABLE);
    if (icon_ != nullptr) SDL_FreeSurface(icon_);
    icon_ = nullptr;
    surface_ = nullptr; // owned by SDL
    if (ownsSdl_) SDL_Quit();
    ownsSdl_ = false;
}

std::unique_ptr<Frontend> makeWindowFrontend() {
    return std::make_unique<WindowFrontend>();
}

} // namespace rt
