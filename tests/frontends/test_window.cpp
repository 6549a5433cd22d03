// The SDL window front end under SDL's dummy video driver: painting cells into pixels, blink and
// cursor phases, incremental redraw, key translation, message boxes and the close request.
//
// Reference pixels: the VGA text palette (0 = 000000, 1 = 0000AA, 7 = AAAAAA, 14 = FFFF55,
// 15 = FFFFFF) and glyph shapes known from the IBM VGA character set: 0xDB is a full block,
// 0x20 is blank, 0xC4 is a single horizontal line, 'A' (0x41) has its apex pixel alone in row 2.
#include "runtime/font_cp437.h"
#include "runtime/frontend_window.h"
#include "runtime/keyboard.h"
#include "runtime/process.h"
#include "runtime/screen.h"
#include "runtime/tones.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kBlack = 0xFF000000, kBlue = 0xFF0000AA, kGrey = 0xFFAAAAAA, kYellow = 0xFFFFFF55,
                        kWhite = 0xFFFFFFFF;

rt::ScreenImage blankImage() {
    rt::ScreenImage image;
    image.palette = rt::defaultTextPalette();
    return image;
}

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        rt::resetProcessForTesting();
        rt::keyQueue().clear();
        ASSERT_EQ(window.start(), 0);
    }
    void TearDown() override {
        window.shutdown();
        rt::keyQueue().clear();
        rt::resetProcessForTesting();
    }

    // Colours found in the 8 x 16 block of cell (row, column).
    std::set<std::uint32_t> cellColours(int row, int column) const {
        std::set<std::uint32_t> colours;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x)
                colours.insert(window.pixelArgb((column - 1) * 8 + x, (row - 1) * 16 + y));
        return colours;
    }
    std::uint32_t pixel(int row, int column, int x, int y) const {
        return window.pixelArgb((column - 1) * 8 + x, (row - 1) * 16 + y);
    }
    void pushKey(SDLKey sym, Uint16 unicode, SDLMod mod = KMOD_NONE) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = sym;
        event.key.keysym.unicode = unicode;
        event.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&event), 0);
    }

    rt::WindowFrontend window;
};

TEST_F(Window, OpensA640By400SurfaceOf32Bits) {
    ASSERT_NE(window.surface(), nullptr);
    EXPECT_EQ(window.surface()->w, 640);
    EXPECT_EQ(window.surface()->h, 400);
    EXPECT_EQ(window.surface()->format->BitsPerPixel, 32);
    char* title = nullptr;
    SDL_WM_GetCaption(&title, nullptr);
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title, "Untitled");
}

TEST_F(Window, CellsBecomeGlyphPixelsInTheirPaletteColours) {
    rt::ScreenImage image = blankImage();
    image.at(1, 1) = {0xDB, 0x1E};   // full block, yellow on blue
    image.at(1, 2) = {0x20, 0x1E};   // blank, yellow on blue
    image.at(25, 80) = {0x41, 0x0F}; // 'A', white on black, bottom-right corner
    image.at(12, 40) = {0xC4, 0x07}; // horizontal line, grey on black
    window.refresh(image);

    EXPECT_EQ(cellColours(1, 1), std::set<std::uint32_t>{kYellow});
    EXPECT_EQ(cellColours(1, 2), std::set<std::uint32_t>{kBlue});
    EXPECT_EQ(cellColours(5, 5), std::set<std::uint32_t>{kBlack});
    // The apex of 'A' is one pixel in row 2, column 3 of the cell.
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(pixel(25, 80, x, 2), x == 3 ? kWhite : kBlack) << x;
    EXPECT_EQ(cellColours(25, 80), (std::set<std::uint32_t>{kBlack, kWhite}));
    // The line of 0xC4 runs across the full cell width on one row.
    int lineRows = 0;
    for (int y = 0; y < 16; ++y) {
        bool full = true;
        for (int x = 0; x < 8; ++x)
            full = full && pixel(12, 40, x, y) == kGrey;
        lineRows += full ? 1 : 0;
    }
    EXPECT_EQ(lineRows, 1);
}

TEST_F(Window, OnlyChangedCellsAreRedrawnAndEverythingAfterAPaletteChange) {
    rt::ScreenImage image = blankImage();
    window.refresh(image);
    EXPECT_EQ(window.cellsRedrawnLastTime(), 80 * 25);
    window.refresh(image);
    EXPECT_EQ(window.cellsRedrawnLastTime(), 0);
    image.at(7, 9) = {'x', 0x07};
    image.at(7, 10) = {'y', 0x07};
    window.refresh(image);
    EXPECT_EQ(window.cellsRedrawnLastTime(), 2);
    image.palette[1] = 0xFF102030;
    window.refresh(image);
    EXPECT_EQ(window.cellsRedrawnLastTime(), 80 * 25);
}

TEST_F(Window, BlinkingCellHidesItsCharacterWhileTheBlinkPhaseIsOn) {
    rt::ScreenImage image = blankImage();
    image.at(3, 3) = {0xDB, 0x8E | 0x10}; // blinking yellow block on blue
    for (int painting = 1; painting <= 32; ++painting) {
        window.refresh(image);
        ASSERT_EQ(window.paintings(), static_cast<std::uint64_t>(painting));
        const bool blinkOn = (painting & 8) != 0;
        EXPECT_EQ(cellColours(3, 3), std::set<std::uint32_t>{blinkOn ? kBlue : kYellow}) << painting;
        // Only the blinking cell changes, and only when its phase flips.
        if (painting > 1) {
            EXPECT_EQ(window.cellsRedrawnLastTime(), painting % 8 == 0 ? 1 : 0) << painting;
        }
    }
}

TEST_F(Window, CursorIsALineAtPixelRow14InTheCellsForegroundWhileItsPhaseIsOn) {
    rt::ScreenImage image = blankImage();
    image.cursorVisible = true;
    image.cursorRow = 4;
    image.cursorColumn = 6;
    image.at(4, 6) = {' ', 0x1E};
    for (int painting = 1; painting <= 8; ++painting) {
        window.refresh(image);
        const bool phaseOn = (painting & 4) != 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(pixel(4, 6, x, y), (phaseOn && y == 14) ? kYellow : kBlue)
                    << painting << " " << x << "," << y;
    }
}

TEST_F(Window, CursorOwingAMovedLineBreakShowsInColumnOneOfTheNextRow) {
    rt::ScreenImage image = blankImage();
    image.cursorVisible = true;
    image.cursorRow = 10;
    image.cursorColumn = 80;
    image.pendingWrap = 2;
    for (int painting = 1; painting <= 4; ++painting)
        window.refresh(image); // phase on at 4
    EXPECT_EQ(pixel(11, 1, 0, 14), kGrey);
    EXPECT_EQ(pixel(10, 80, 0, 14), kBlack);
}

TEST_F(Window, KeyPressesReachTheKeyQueue) {
    pushKey(SDLK_a, 'a');
    pushKey(SDLK_DELETE, 127);
    pushKey(SDLK_F1, 0);
    EXPECT_EQ(window.handleEvents(), rt::EventsResult::running);
    EXPECT_EQ(rt::keyQueue().pollKey(), "a");
    EXPECT_EQ(rt::keyQueue().pollKey(), std::string("\0\x53", 2));
    EXPECT_EQ(rt::keyQueue().pollKey(), std::string("\0\x3B", 2));
}

TEST_F(Window, BreakAndCtrlCRequestTheOrderlyEnd) {
    pushKey(SDLK_BREAK, 0);
    window.handleEvents();
    EXPECT_EQ(rt::processFlags().closeRequested.load(), 1u);
    rt::processFlags().closeRequested.store(0);
    pushKey(SDLK_c, 3, KMOD_LCTRL);
    window.handleEvents();
    EXPECT_EQ(rt::processFlags().closeRequested.load(), 1u);
    EXPECT_TRUE(rt::keyQueue().empty());
}

TEST_F(Window, PauseHoldsTheProgramUntilTheNextKeyWhichIsConsumed) {
    pushKey(SDLK_PAUSE, 0);
    window.handleEvents();
    EXPECT_EQ(rt::processFlags().suspendRequested.load() & 1, 1u);
    pushKey(SDLK_x, 'x');
    window.handleEvents();
    EXPECT_EQ(rt::processFlags().suspendRequested.load() & 1, 0u);
    EXPECT_TRUE(rt::keyQueue().empty());
}

TEST_F(Window, AltEnterIsConsumedAsTheFullScreenSwitch) {
    const rt::ScreenImage image = blankImage();
    window.refresh(image);
    pushKey(SDLK_RETURN, 13, KMOD_LALT);
    EXPECT_EQ(window.handleEvents(), rt::EventsResult::running);
    EXPECT_TRUE(rt::keyQueue().empty());
    EXPECT_EQ(rt::processFlags().closeRequested.load(), 0u);
    pushKey(SDLK_RETURN, 13);
    window.handleEvents();
    EXPECT_EQ(rt::keyQueue().pollKey(), "\r");
}

TEST_F(Window, ClosingTheWindowEndsTheEventPass) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 0);
    EXPECT_EQ(window.handleEvents(), rt::EventsResult::closeWindow);
}

TEST_F(Window, KeyRepeatFollowsTheInputFocus) {
    window.handleEvents();
    int delay = -1, interval = -1;
    SDL_GetKeyRepeat(&delay, &interval);
    const Uint8 state = SDL_GetAppState();
    if ((state & SDL_APPACTIVE) && (state & SDL_APPINPUTFOCUS)) {
        EXPECT_TRUE(window.keyRepeatOn());
        EXPECT_EQ(delay, 500);
        EXPECT_EQ(interval, 30);
    } else {
        EXPECT_FALSE(window.keyRepeatOn());
        EXPECT_EQ(delay, 0);
    }
}

// ---- message boxes ------------------------------------------------------------------------------

class WindowBox : public Window {
  protected:
    // Runs the main-loop side until the program thread's box is answered.
    rt::BoxAnswer runBox(rt::BoxButtons buttons, const std::function<void()>& answer) {
        auto asked = std::async(std::launch::async, [&] {
            return window.messageBox("Unhandled Error #53", "Line:262\nFile not found\nContinue?", buttons);
        });
        const rt::ScreenImage image = blankImage();
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!window.boxShown() && std::chrono::steady_clock::now() < deadline) {
            window.refresh(image);
            std::this_thread::sleep_for(1ms);
        }
        EXPECT_TRUE(window.boxShown());
        answer();
        while (asked.wait_for(1ms) != std::future_status::ready &&
               std::chrono::steady_clock::now() < deadline) {
            window.handleEvents();
            window.refresh(image);
        }
        if (asked.wait_for(0ms) != std::future_status::ready) {
            rt::processFlags().stopRequested.store(1); // let the program side go
        }
        return asked.get();
    }
};

TEST_F(WindowBox, LayoutCentresTheTextAndPlacesYesBeforeNo) {
    const rt::BoxLayout layout = rt::layoutBox("Unhandled Error #53", "Line:262\nFile not found\nContinue?",
                                               rt::BoxButtons::yesNo, 80, 25);
    ASSERT_EQ(layout.lines.size(), 3u);
    EXPECT_EQ(layout.lines[1], "File not found");
    ASSERT_EQ(layout.buttons.size(), 2u);
    EXPECT_EQ(layout.buttons[0].answer, rt::BoxAnswer::yes);
    EXPECT_EQ(layout.buttons[1].answer, rt::BoxAnswer::no);
    EXPECT_LT(layout.buttons[0].lastColumn, layout.buttons[1].firstColumn);
    EXPECT_LE(std::abs((layout.left - 1) - (80 - (layout.left + layout.width - 1))), 1); // centred
    EXPECT_GE(layout.top, 1);
    EXPECT_LE(layout.top + layout.height - 1, 25);

    rt::ScreenImage image = blankImage();
    rt::drawBox(image, layout, "Unhandled Error #53", 0);
    std::string captionRow;
    for (int c = 1; c <= 80; ++c)
        captionRow.push_back(static_cast<char>(image.at(layout.top, c).character));
    EXPECT_NE(captionRow.find(" Unhandled Error #53 "), std::string::npos);
    const auto& yes = layout.buttons[0];
    EXPECT_EQ(image.at(yes.row, yes.firstColumn + 2).character, 'Y');
}

TEST_F(WindowBox, LongTextIsWrappedInsideTheScreen) {
    const std::string text(300, 'x');
    const rt::BoxLayout layout = rt::layoutBox("Critical Error #305", text, rt::BoxButtons::ok, 80, 25);
    EXPECT_GE(layout.left, 1);
    EXPECT_LE(layout.left + layout.width - 1, 80);
    std::size_t shown = 0;
    for (const auto& line : layout.lines)
        shown += line.size();
    EXPECT_EQ(shown, text.size());
}

TEST_F(WindowBox, AnsweredYesWithTheYKey) {
    EXPECT_EQ(runBox(rt::BoxButtons::yesNo, [&] { pushKey(SDLK_y, 'y'); }), rt::BoxAnswer::yes);
    EXPECT_FALSE(window.boxShown());
}

TEST_F(WindowBox, AnsweredNoWithEscapeAndEnterTakesTheHighlightedButton) {
    EXPECT_EQ(runBox(rt::BoxButtons::yesNo, [&] { pushKey(SDLK_ESCAPE, 27); }), rt::BoxAnswer::no);
    EXPECT_EQ(runBox(rt::BoxButtons::yesNo,
                     [&] {
                         pushKey(SDLK_RIGHT, 0);
                         pushKey(SDLK_RETURN, 13);
                     }),
              rt::BoxAnswer::no);
    EXPECT_EQ(runBox(rt::BoxButtons::ok, [&] { pushKey(SDLK_RETURN, 13); }), rt::BoxAnswer::ok);
}

TEST_F(WindowBox, AnsweredWithTheMouseOnTheNoButton) {
    const rt::BoxLayout layout = rt::layoutBox("Unhandled Error #53", "Line:262\nFile not found\nContinue?",
                                               rt::BoxButtons::yesNo, 80, 25);
    const auto& no = layout.buttons[1];
    const rt::BoxAnswer answer = runBox(rt::BoxButtons::yesNo, [&] {
        SDL_Event click{};
        click.type = SDL_MOUSEBUTTONDOWN;
        click.button.type = SDL_MOUSEBUTTONDOWN;
        click.button.button = SDL_BUTTON_LEFT;
        click.button.state = SDL_PRESSED;
        click.button.x = static_cast<Uint16>((no.firstColumn - 1) * 8 + 12);
        click.button.y = static_cast<Uint16>((no.row - 1) * 16 + 8);
        ASSERT_EQ(SDL_PushEvent(&click), 0);
    });
    EXPECT_EQ(answer, rt::BoxAnswer::no);
}

TEST_F(WindowBox, BoxIsPaintedOverTheScreenAndRemovedAfterTheAnswer) {
    auto asked = std::async(std::launch::async,
                            [&] { return window.messageBox("Caption", "Text", rt::BoxButtons::ok); });
    rt::ScreenImage image = blankImage();
    while (!window.boxShown()) {
        window.refresh(image);
        std::this_thread::sleep_for(1ms);
    }
    window.refresh(image);
    const rt::BoxLayout layout = rt::layoutBox("Caption", "Text", rt::BoxButtons::ok, 80, 25);
    // The box body is black on light grey: a blank inside it shows grey only.
    EXPECT_EQ(cellColours(layout.top + 1, layout.left + 1), std::set<std::uint32_t>{kGrey});
    pushKey(SDLK_o, 'o');
    window.handleEvents();
    EXPECT_EQ(asked.get(), rt::BoxAnswer::ok);
    window.refresh(image);
    EXPECT_EQ(cellColours(layout.top + 1, layout.left + 1), std::set<std::uint32_t>{kBlack});
}

TEST_F(WindowBox, BreakStillEndsTheProgramWhileABoxWaits) {
    const rt::BoxAnswer answer = runBox(rt::BoxButtons::yesNo, [&] {
        pushKey(SDLK_BREAK, 0);
        window.handleEvents();
        EXPECT_EQ(rt::processFlags().closeRequested.load(), 1u);
        rt::processFlags().stopRequested.store(1); // what the frame does next
    });
    EXPECT_EQ(answer, rt::BoxAnswer::no);
}

// ---- key translation ---------------------------------------------------------------------------

SDL_keysym keysym(SDLKey sym, Uint16 unicode, SDLMod mod = KMOD_NONE) {
    SDL_keysym k{};
    k.sym = sym;
    k.unicode = unicode;
    k.mod = mod;
    return k;
}

TEST(WindowKeys, CharactersBecomeCodePage437Codes) {
    EXPECT_EQ(rt::translateKey(keysym(SDLK_a, 'a')).character, 'a');
    EXPECT_EQ(rt::translateKey(keysym(SDLK_UNKNOWN, 0x00E9)).character, 0x82); // é
    EXPECT_EQ(rt::translateKey(keysym(SDLK_BACKSPACE, 8)).character, 8);
    EXPECT_EQ(rt::translateKey(keysym(SDLK_ESCAPE, 27)).character, 27);
    const rt::KeyEvent enter = rt::translateKey(keysym(SDLK_KP_ENTER, 13));
    EXPECT_EQ(enter.name, rt::KeyName::enter);
    EXPECT_EQ(enter.character, 13);
    const rt::KeyEvent ctrlC = rt::translateKey(keysym(SDLK_c, 3, KMOD_LCTRL));
    EXPECT_EQ(ctrlC.character, 3);
    EXPECT_TRUE(ctrlC.ctrl);
}

TEST(WindowKeys, KeysWithoutACharacterGiveTheirPcScanCodes) {
    struct Case {
        SDL_keysym key;
        std::uint8_t extended;
    };
    const Case cases[] = {
        {keysym(SDLK_UP, 0), 72},
        {keysym(SDLK_DELETE, 127), 83},
        {keysym(SDLK_HOME, 0), 71},
        {keysym(SDLK_LEFT, 0, KMOD_LCTRL), 115},
        {keysym(SDLK_KP7, 0), 71},
        {keysym(SDLK_KP_PERIOD, 0), 83},
        {keysym(SDLK_F1, 0), 59},
        {keysym(SDLK_F10, 0, KMOD_LSHIFT), 93},
        {keysym(SDLK_F12, 0), 134},
        {keysym(SDLK_TAB, 9, KMOD_LSHIFT), 15},
        {keysym(SDLK_x, 'x', KMOD_LALT), 45},
    };
    for (const Case& c : cases) {
        const rt::KeyEvent event = rt::translateKey(c.key);
        EXPECT_EQ(event.character, 0) << c.key.sym;
        EXPECT_EQ(event.extended, c.extended) << c.key.sym;
    }
    // With Num Lock the keypad types its digit.
    EXPECT_EQ(rt::translateKey(keysym(SDLK_KP7, '7')).character, '7');
}

TEST(WindowKeys, ControlKeysAreNamedForTheDispatcher) {
    EXPECT_EQ(rt::translateKey(keysym(SDLK_BREAK, 0)).name, rt::KeyName::breakKey);
    EXPECT_EQ(rt::translateKey(keysym(SDLK_PAUSE, 0)).name, rt::KeyName::pause);
    EXPECT_EQ(rt::translateKey(keysym(SDLK_PAUSE, 0, KMOD_LCTRL)).name, rt::KeyName::breakKey);
    const rt::KeyEvent scroll = rt::translateKey(keysym(SDLK_SCROLLOCK, 0, KMOD_RCTRL));
    EXPECT_EQ(scroll.name, rt::KeyName::scrollLock);
    EXPECT_TRUE(scroll.ctrl);
    EXPECT_EQ(rt::translateKey(keysym(SDLK_NUMLOCK, 0)).name, rt::KeyName::numLock);
    EXPECT_EQ(rt::translateKey(keysym(SDLK_F15, 0)).name, rt::KeyName::f15);
    EXPECT_EQ(rt::translateKey(keysym(SDLK_LSHIFT, 0)).name, rt::KeyName::modifier);
    const rt::KeyEvent altEnter = rt::translateKey(keysym(SDLK_RETURN, 13, KMOD_LALT));
    EXPECT_EQ(altEnter.name, rt::KeyName::enter);
    EXPECT_TRUE(altEnter.alt);
}

TEST_F(Window, ShiftPageUpAndTheWheelShowOlderRowsAndAnotherKeyIsTypedAfterReturning) {
    for (int i = 0; i < 40; ++i) // rows leave the process-wide screen into the window's scrollback
        rt::printText("row", true);
    rt::ScreenImage image = blankImage();
    window.refresh(image);
    EXPECT_EQ(cellColours(25, 1), std::set<std::uint32_t>{kBlack});

    pushKey(SDLK_PAGEUP, 0, KMOD_LSHIFT);
    pushKey(SDLK_LSHIFT, 0, KMOD_LSHIFT);
    EXPECT_EQ(window.handleEvents(), rt::EventsResult::running);
    window.refresh(image);
    EXPECT_EQ(window.scrollback().rowsBack(), 12u);
    EXPECT_EQ(cellColours(25, 1), std::set<std::uint32_t>{kGrey}) << "the status row";
    EXPECT_TRUE(rt::keyQueue().empty());

    SDL_Event wheel{};
    wheel.type = SDL_MOUSEBUTTONDOWN;
    wheel.button.type = SDL_MOUSEBUTTONDOWN;
    wheel.button.button = SDL_BUTTON_WHEELDOWN;
    ASSERT_EQ(SDL_PushEvent(&wheel), 0);
    window.handleEvents();
    EXPECT_EQ(window.scrollback().rowsBack(), 9u);

    pushKey(SDLK_x, 'x');
    window.handleEvents();
    window.refresh(image);
    EXPECT_FALSE(window.scrollback().active());
    EXPECT_EQ(cellColours(25, 1), std::set<std::uint32_t>{kBlack});
    EXPECT_EQ(rt::keyQueue().size(), 1u) << "the key that returned is typed";
    rt::clearScreen();
}

TEST(WindowScale, DefaultCoversAtMostHalfTheDisplay) {
    const struct {
        int width, height, scale;
    } cases[] = {{0, 0, 1},       {640, 400, 1},   {1024, 768, 1},  {1366, 768, 1},
                 {1920, 1080, 2}, {2560, 1440, 2}, {3840, 2160, 4}, {7680, 4320, 8}};
    for (const auto& c : cases)
        EXPECT_EQ(rt::defaultWindowScale(c.width, c.height), c.scale) << c.width << " x " << c.height;
}

TEST(WindowScale, AScaleAskedForIsLoweredUntilTheWindowFitsTheDisplay) {
    const struct {
        int requested, width, height, scale;
    } cases[] = {{3, 1920, 1080, 2},  {3, 1920, 1200, 3}, {2, 1280, 799, 1}, {2, 1279, 800, 1},
                 {16, 3840, 2160, 5}, {1, 320, 200, 1},   {4, 0, 0, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(rt::fittingWindowScale(c.requested, c.width, c.height), c.scale)
            << c.requested << " on " << c.width << " x " << c.height;
}

TEST(WindowScale, GlyphPixelsBecomeSquaresCentredOnBlackInAResizedWindow) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    rt::WindowFrontend window(2);
    ASSERT_EQ(window.start(), 0);
    ASSERT_EQ(window.surface()->w, 1280);
    ASSERT_EQ(window.surface()->h, 800);
    rt::ScreenImage image = blankImage();
    image.at(1, 1) = {0x41, 0x1F}; // 'A', white on blue: its apex is pixel (3, 2) of the cell
    image.at(25, 80) = {0xDB, 0x0E};
    auto resize = [&](int w, int h) {
        SDL_Event event{};
        event.type = SDL_VIDEORESIZE;
        event.resize.type = SDL_VIDEORESIZE;
        event.resize.w = w;
        event.resize.h = h;
        ASSERT_EQ(SDL_PushEvent(&event), 0);
        window.handleEvents();
        window.refresh(image);
    };
    const struct {
        int w, h, scale, x, y;
    } sizes[] = {{1500, 900, 2, 110, 50}, {2000, 1210, 3, 40, 5}, {600, 300, 1, 0, 0}};
    window.refresh(image);
    for (const auto& size : sizes) {
        resize(size.w, size.h);
        ASSERT_EQ(window.surface()->w, size.w);
        EXPECT_EQ(window.scale(), size.scale);
        EXPECT_EQ(window.originX(), size.x);
        EXPECT_EQ(window.originY(), size.y);
        const int s = size.scale;
        for (int dy = 0; dy < s; ++dy) {
            for (int dx = 0; dx < s; ++dx) {
                EXPECT_EQ(window.pixelArgb(size.x + 3 * s + dx, size.y + 2 * s + dy), kWhite) << size.w;
                EXPECT_EQ(window.pixelArgb(size.x + 2 * s + dx, size.y + 2 * s + dy), kBlue) << size.w;
            }
        }
        if (size.x > 0) {
            EXPECT_EQ(window.pixelArgb(size.x - 1, size.y + 1), kBlack) << "the border";
        }
        if (size.y > 0) {
            EXPECT_EQ(window.pixelArgb(size.x + 1, size.y - 1), kBlack) << "the border";
        }
        if (size.w >= 640 * s + size.x) { // the last cell, unless the window is too small for it
            EXPECT_EQ(window.pixelArgb(size.x + 640 * s - 1, size.y + 400 * s - 1), kYellow);
        }
    }
    window.shutdown();
}

TEST(SoundProbe, PlaybackDevicesSoundServersAndUserConfigurationCount) {
    if (std::filesystem::exists("/dev/dsp") || std::filesystem::exists("/etc/asound.conf"))
        GTEST_SKIP() << "this machine has sound configured system-wide";
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "co2calc-sound-probe";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "snd");
    std::filesystem::create_directories(dir / "run" / "pulse");
    const char* saved[] = {"PULSE_SERVER", "XDG_RUNTIME_DIR", "HOME"};
    std::vector<std::string> values;
    for (const char* name : saved)
        values.push_back(std::getenv(name) != nullptr ? std::getenv(name) : "\x01");
    unsetenv("PULSE_SERVER");
    setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
    setenv("HOME", dir.c_str(), 1);
    const std::string snd = (dir / "snd").string();

    std::ofstream(dir / "snd" / "controlC0") << "";
    EXPECT_FALSE(rt::soundOutputLikely(snd)) << "a card without a playback device";
    std::ofstream(dir / "snd" / "pcmC0D0p") << "";
    EXPECT_TRUE(rt::soundOutputLikely(snd));
    std::filesystem::remove(dir / "snd" / "pcmC0D0p");
    std::ofstream(dir / "run" / "pulse" / "native") << "";
    EXPECT_TRUE(rt::soundOutputLikely(snd)) << "a sound server's socket";
    std::filesystem::remove(dir / "run" / "pulse" / "native");
    std::ofstream(dir / ".asoundrc") << "";
    EXPECT_TRUE(rt::soundOutputLikely(snd)) << "the user's ALSA configuration";

    for (std::size_t i = 0; i < std::size(saved); ++i) {
        if (values[i] == "\x01") {
            unsetenv(saved[i]);
        } else {
            setenv(saved[i], values[i].c_str(), 1);
        }
    }
    std::filesystem::remove_all(dir);
}

TEST(WindowCursor, DefaultShapeIsPixelRow14) {
    EXPECT_EQ(rt::cursorPixelRows(4, 4), (std::pair<int, int>{14, 14}));
    EXPECT_EQ(rt::cursorPixelRows(0, 15), (std::pair<int, int>{0, 15}));
    EXPECT_EQ(rt::cursorPixelRows(0, 31), (std::pair<int, int>{0, 15}));
}

} // namespace
