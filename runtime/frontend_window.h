// The text screen in a desktop window (SDL 1.2): 8 x 16 code page 437 glyphs in the palette
// colours, blinking cells, the cursor line, keys turned into key events, and message boxes drawn
// inside the window.
//
// Painting is incremental: every cell remembers what was painted into it (character, attribute,
// blink and cursor state) and is redrawn only when that changes; everything is redrawn when the
// palette changes or the window lost its picture. Only the rows that changed are sent to the
// display.
#pragma once

#include <SDL/SDL.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/frontend.h"
#include "runtime/scrollback.h"

namespace rt {

// ---- pure pieces (tested on their own) --------------------------------------------------------

// Where a message box sits on the text screen and where its buttons are, in cells counted from 1.
struct BoxLayout {
    struct Button {
        int row = 0;
        int firstColumn = 0;
        int lastColumn = 0;
        BoxAnswer answer = BoxAnswer::ok;
        std::string label;
    };
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;
    std::vector<std::string> lines; // the text, split at line feeds and wrapped to the box
    std::vector<Button> buttons;
};

BoxLayout layoutBox(const std::string& caption, const std::string& text, BoxButtons buttons, int columns,
                    int rows);
// Draws the box over `image`; `focus` is the index of the highlighted button.
void drawBox(ScreenImage& image, const BoxLayout& layout, const std::string& caption, int focus);

// The key event of an SDL key press, as the dispatcher expects it (character code, or 0 and the
// PC scan code for keys without a character).
KeyEvent translateKey(const SDL_keysym& key);

// The largest whole-pixel scale at which the 640 x 400 picture covers at most about half of a
// display of the given size (and fits on it); 1 when the size is unknown or small.
int defaultWindowScale(int displayWidth, int displayHeight);
// The scale asked for, lowered until the picture fits on the display (at least 1); the scale
// asked for when the display's size is unknown (0).
int fittingWindowScale(int requested, int displayWidth, int displayHeight);

// Pixel row(s) of the cursor within a cell: the default shape (start and stop 4) is one line at
// row 14; other shapes cover their scan lines, clipped to the cell.
std::pair<int, int> cursorPixelRows(std::uint8_t start, std::uint8_t stop);

// ---- the front end ------------------------------------------------------------------------------

// The window is resizable: the picture is drawn at the largest whole-pixel scale that fits,
// centred on black (clipped at the right and bottom when the window is smaller than 640 x 400).
class WindowFrontend final : public Frontend {
  public:
    // `scale`: the window's first size in multiples of 640 x 400; 0 takes defaultWindowScale of
    // the display.
    explicit WindowFrontend(int scale = 0);
    ~WindowFrontend() override;

    const char* name() const override { return "window"; }
    int start() override;
    void refresh(const ScreenImage& screen) override;
    EventsResult handleEvents() override;
    bool hidden() const override;
    BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons) override;
    void shutdown() override;

    // For tests and diagnostics: the painted picture and what the last refresh did.
    SDL_Surface* surface() const { return surface_; }
    std::uint32_t pixelArgb(int x, int y) const; // the colour at (x, y) of the window's surface
    int scale() const { return scale_; }
    int originX() const { return originX_; } // where the picture's top-left pixel lies
    int originY() const { return originY_; }
    const ScrollbackView& scrollback() const { return scrollback_; }
    int cellsRedrawnLastTime() const { return cellsRedrawn_; }
    std::uint64_t paintings() const { return paintCounter_; }
    bool boxShown() const { return boxOpen_; }
    // Number of key repeat changes (on/off) made, and whether repeat is on now.
    bool keyRepeatOn() const { return repeatOn_; }

  private:
    // What a cell shows, as far as painting is concerned.
    struct Painted {
        std::uint8_t character = 0;
        std::uint8_t attribute = 0;
        std::uint8_t flags = 0xFF; // bit 0: blink-hidden, bit 1: cursor drawn; 0xFF: never painted
        friend bool operator==(const Painted&, const Painted&) = default;
    };

    bool createSurface(int columns, int rows);
    bool setVideoMode(int width, int height);
    void placePicture();
    void paint(const ScreenImage& screen);
    void paintCell(int row, int column, const ScreenCell& cell, bool hidden, bool cursor,
                   std::pair<int, int> cursorRows);
    void answerBox(BoxAnswer answer);
    void handleBoxKey(const SDL_keysym& key);
    void handleBoxClick(int x, int y);
    void updateKeyRepeat();

    bool started_ = false;
    bool ownsSdl_ = false;
    SDL_Surface* surface_ = nullptr;
    SDL_Surface* icon_ = nullptr;
    int columns_ = 0;
    int rows_ = 0;
    int requestedScale_ = 0;
    int scale_ = 1;
    int originX_ = 0;
    int originY_ = 0;
    std::vector<Painted> painted_;
    std::array<std::uint32_t, 16> paletteArgb_{};
    std::array<Uint32, 16> paletteMapped_{};
    bool paletteKnown_ = false;
    bool repaintAll_ = true;
    std::uint64_t paintCounter_ = 0;
    int cellsRedrawn_ = 0;
    bool repeatOn_ = false;
    bool repeatKnown_ = false;

    ScrollbackView scrollback_;
    BoxChannel box_;
    bool boxOpen_ = false;
    BoxChannel::Request boxRequest_;
    BoxLayout boxLayout_;
    int boxFocus_ = 0;
};

// The window front end, or null when SDL is not available in this build.
std::unique_ptr<Frontend> makeWindowFrontend();

} // namespace rt
