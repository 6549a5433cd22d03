// The terminal front end: input bytes to keys, screen updates as escape sequences, the message
// box overlay, and taking and giving back a real (pseudo-)terminal.
#include "runtime/frontend_terminal.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "runtime/frame.h"

namespace {

std::vector<rt::KeyEvent> parse(std::string bytes, bool flush = true) {
    return rt::parseTerminalInput(bytes, flush);
}

rt::KeyEvent only(const std::string& bytes) {
    const auto keys = parse(bytes);
    EXPECT_EQ(keys.size(), 1u) << "for input of " << bytes.size() << " bytes";
    return keys.empty() ? rt::KeyEvent{} : keys.front();
}

TEST(TerminalInput, PlainBytesAreCharacterKeys) {
    const auto keys = parse("a\r\x7f\t\x03");
    ASSERT_EQ(keys.size(), 5u);
    EXPECT_EQ(keys[0].character, 'a');
    EXPECT_EQ(keys[1].character, 13);
    EXPECT_EQ(keys[1].name, rt::KeyName::enter);
    EXPECT_EQ(keys[2].character, 8) << "DEL from the Backspace key is Backspace";
    EXPECT_EQ(keys[3].character, 9);
    EXPECT_EQ(keys[4].character, 3) << "Ctrl+C arrives as character 3, which the dispatcher ends on";
}

TEST(TerminalInput, CursorAndEditingKeysBecomePcScanCodes) {
    EXPECT_EQ(only("\x1b[A").extended, 72);
    EXPECT_EQ(only("\x1b[B").extended, 80);
    EXPECT_EQ(only("\x1b[C").extended, 77);
    EXPECT_EQ(only("\x1b[D").extended, 75);
    EXPECT_EQ(only("\x1bOH").extended, 71);
    EXPECT_EQ(only("\x1b[F").extended, 79);
    EXPECT_EQ(only("\x1b[1~").extended, 71);
    EXPECT_EQ(only("\x1b[4~").extended, 79);
    EXPECT_EQ(only("\x1b[2~").extended, 82);
    EXPECT_EQ(only("\x1b[3~").extended, 83);
    EXPECT_EQ(only("\x1b[5~").extended, 73);
    EXPECT_EQ(only("\x1b[6~").extended, 81);
    EXPECT_EQ(only("\x1b[1;5D").extended, 115) << "Ctrl+Left";
    EXPECT_EQ(only("\x1b[1;3A").extended, 152) << "Alt+Up";
    EXPECT_EQ(only("\x1b[Z").extended, 15) << "Shift+Tab";
    for (const auto& k : parse("\x1b[A\x1b[3~"))
        EXPECT_EQ(k.character, 0);
}

TEST(TerminalInput, FunctionKeysWithModifiers) {
    EXPECT_EQ(only("\x1bOP").extended, 59);
    EXPECT_EQ(only("\x1bOS").extended, 62);
    EXPECT_EQ(only("\x1b[11~").extended, 59);
    EXPECT_EQ(only("\x1b[15~").extended, 63);
    EXPECT_EQ(only("\x1b[17~").extended, 64);
    EXPECT_EQ(only("\x1b[21~").extended, 68);
    EXPECT_EQ(only("\x1b[24~").extended, 134);
    EXPECT_EQ(only("\x1b[1;2P").extended, 84) << "Shift+F1";
    EXPECT_EQ(only("\x1b[15;5~").extended, 98) << "Ctrl+F5";
    const rt::KeyEvent f15 = only("\x1b[28;5~");
    EXPECT_EQ(f15.name, rt::KeyName::f15);
    EXPECT_TRUE(f15.ctrl);
}

TEST(TerminalInput, EscapeAloneWaitsForTheNextReadThenCounts) {
    std::string pending = "\x1b";
    EXPECT_TRUE(rt::parseTerminalInput(pending, false).empty());
    EXPECT_EQ(pending, "\x1b") << "kept: it may start a sequence";
    pending += "[A";
    const auto keys = rt::parseTerminalInput(pending, false);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].extended, 72);
    EXPECT_TRUE(pending.empty());

    pending = "\x1b";
    const auto flushed = rt::parseTerminalInput(pending, true);
    ASSERT_EQ(flushed.size(), 1u);
    EXPECT_EQ(flushed[0].character, 27);
    const auto twice = parse("\x1b\x1b");
    ASSERT_EQ(twice.size(), 2u) << "Escape pressed twice";
    EXPECT_EQ(twice[0].character, 27);
    EXPECT_EQ(twice[1].character, 27);
}

TEST(TerminalInput, AltWithALetterAndAltEnter) {
    const rt::KeyEvent altX = only("\x1bx");
    EXPECT_TRUE(altX.alt);
    EXPECT_EQ(altX.character, 0);
    EXPECT_EQ(altX.extended, 45);
    const rt::KeyEvent altEnter = only("\x1b\r");
    EXPECT_TRUE(altEnter.alt);
    EXPECT_EQ(altEnter.name, rt::KeyName::enter);
}

TEST(TerminalInput, Utf8CharactersMapBackToCodePage437) {
    const auto keys = parse("\xC3\xA9\xC3\x9F\xE2\x82\xAC"); // é ß €
    ASSERT_EQ(keys.size(), 2u) << "the euro sign has no code page 437 code";
    EXPECT_EQ(keys[0].character, 0x82);
    EXPECT_EQ(keys[1].character, 0xE1);

    std::string pending = "\xC3";
    EXPECT_TRUE(rt::parseTerminalInput(pending, false).empty());
    pending += "\xA9";
    const auto joined = rt::parseTerminalInput(pending, false);
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_EQ(joined[0].character, 0x82);
}

TEST(TerminalInput, MouseWheelReportsAndShiftedPageKeysReachTheScrollback) {
    const rt::KeyEvent shiftPageUp = only("\x1b[5;2~");
    EXPECT_TRUE(shiftPageUp.shift);
    EXPECT_EQ(shiftPageUp.extended, rt::scan::pageUp);
    EXPECT_FALSE(only("\x1b[6~").shift);
    EXPECT_EQ(only("\x1b[<64;10;5M").name, rt::KeyName::wheelUp);
    EXPECT_EQ(only("\x1b[<69;1;1M").name, rt::KeyName::wheelDown) << "with Shift (4)";
    EXPECT_EQ(only("\x1b[M`!!").name, rt::KeyName::wheelUp) << "the old three-byte report";
    // Clicks and releases mean nothing, and no byte of a report becomes a typed character.
    const auto keys = parse("\x1b[<0;3;4M\x1b[<0;3;4m\x1b[M !!a");
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].character, 'a');
    std::string pending = "\x1b[Ma";
    EXPECT_TRUE(rt::parseTerminalInput(pending, false).empty())
        << "the report's bytes are still on their way";
}

TEST(TerminalInput, GarbageNeverStallsTheParser) {
    const std::string junk = "\x80\xBF\xFF\x1b[999999999999;;;q\x1b[\xC3(";
    std::string pending = junk;
    rt::parseTerminalInput(pending, true);
    EXPECT_TRUE(pending.empty());
}

// ---- output -----------------------------------------------------------------------------------

rt::ScreenImage blankScreen() {
    rt::ScreenImage image;
    image.palette = rt::defaultTextPalette();
    return image;
}

TEST(TerminalOutput, AttributesMapVgaColoursToAnsi) {
    EXPECT_EQ(rt::attributeSequence(0x07), "\x1b[0;37;40m");
    EXPECT_EQ(rt::attributeSequence(0x0F), "\x1b[0;97;40m");
    EXPECT_EQ(rt::attributeSequence(0x1E), "\x1b[0;93;44m") << "yellow (VGA 14) on blue (VGA 1)";
    EXPECT_EQ(rt::attributeSequence(0x06), "\x1b[0;33;40m") << "brown is ANSI yellow";
    EXPECT_EQ(rt::attributeSequence(0x84), "\x1b[0;5;31;40m") << "bit 7 blinks";
}

TEST(TerminalOutput, FirstUpdateDrawsEverythingInUtf8) {
    rt::ScreenImage image = blankScreen();
    image.at(1, 1) = {0xC9, 0x0F};
    image.at(25, 80) = {'z', 0x07};
    const std::string out = rt::renderScreenUpdate(nullptr, image);
    EXPECT_EQ(out.rfind("\x1b[0m\x1b[2J", 0), 0u);
    EXPECT_NE(out.find("\x1b[1;1H\x1b[0;97;40m\u2554"), std::string::npos);
    EXPECT_NE(out.find("z"), std::string::npos);
    std::size_t spaces = 0;
    for (char c : out)
        spaces += c == ' ' ? 1 : 0;
    EXPECT_EQ(spaces, 80u * 25u - 2u) << "every other cell is written as a space";
}

TEST(TerminalOutput, LaterUpdatesRedrawOnlyChangedCells) {
    const rt::ScreenImage before = blankScreen();
    EXPECT_EQ(rt::renderScreenUpdate(&before, before), "") << "nothing changed, nothing sent";

    rt::ScreenImage after = before;
    after.at(3, 10) = {'A', 0x07};
    after.at(3, 11) = {'B', 0x07};
    after.at(7, 2) = {'C', 0x0F};
    const std::string out = rt::renderScreenUpdate(&before, after);
    EXPECT_EQ(out, "\x1b[?25l\x1b[3;10H\x1b[0;37;40mAB\x1b[7;2H\x1b[0;97;40mC\x1b[?25l");
}

TEST(TerminalOutput, CursorFollowsTheScreenAndItsOwedLineBreak) {
    const rt::ScreenImage before = blankScreen();
    rt::ScreenImage after = before;
    after.cursorVisible = true;
    after.cursorRow = 5;
    after.cursorColumn = 12;
    EXPECT_EQ(rt::renderScreenUpdate(&before, after), "\x1b[5;12H\x1b[?25h");
    after.pendingWrap = 2;
    after.cursorColumn = 80;
    EXPECT_EQ(rt::renderScreenUpdate(&before, after), "\x1b[6;1H\x1b[?25h");
    after.pendingWrap = 1;
    EXPECT_EQ(rt::renderScreenUpdate(&before, after), "\x1b[5;80H\x1b[?25h");
}

TEST(TerminalOutput, PaletteChangeRedrawsEverything) {
    const rt::ScreenImage before = blankScreen();
    rt::ScreenImage after = before;
    after.palette[1] = 0xFF123456;
    EXPECT_EQ(rt::renderScreenUpdate(&before, after).rfind("\x1b[0m\x1b[2J", 0), 0u);
}

TEST(TerminalOutput, MessageBoxOverlayShowsCaptionTextAndButtons) {
    rt::ScreenImage image = blankScreen();
    image.cursorVisible = true;
    rt::drawBoxInto(image, "Unhandled Error #53", "Line:262\nFile not found\nContinue?",
                    rt::BoxButtons::yesNo);
    std::vector<std::string> rows;
    for (int r = 1; r <= 25; ++r) {
        std::string row;
        for (int c = 1; c <= 80; ++c)
            row += static_cast<char>(image.at(r, c).character);
        rows.push_back(row);
    }
    auto rowWith = [&](const std::string& text) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].find(text) != std::string::npos) return static_cast<int>(i);
        return -1;
    };
    const int caption = rowWith(" Unhandled Error #53 ");
    ASSERT_GE(caption, 0);
    EXPECT_NE(rows[static_cast<std::size_t>(caption)].find('\xC9'), std::string::npos) << "in the top border";
    EXPECT_EQ(rowWith("Line:262"), caption + 1);
    EXPECT_EQ(rowWith("File not found"), caption + 2);
    EXPECT_EQ(rowWith("Continue?"), caption + 3);
    EXPECT_EQ(rowWith("[Y]es    [N]o"), caption + 5);
    EXPECT_FALSE(image.cursorVisible);

    rt::ScreenImage ok = blankScreen();
    rt::drawBoxInto(ok, "Critical Error #305", "Line:1\nSource memory has been freed", rt::BoxButtons::ok);
    bool hasOk = false;
    for (int r = 1; r <= 25; ++r) {
        std::string row;
        for (int c = 1; c <= 80; ++c)
            row += static_cast<char>(ok.at(r, c).character);
        hasOk = hasOk || row.find("[OK]") != std::string::npos;
    }
    EXPECT_TRUE(hasOk);
}

TEST(TerminalOutput, VeryLongBoxTextStaysInsideTheScreen) {
    rt::ScreenImage image = blankScreen();
    rt::drawBoxInto(image, std::string(200, 'c'), std::string(300, 't'), rt::BoxButtons::yesNo);
    for (int r = 1; r <= 25; ++r) {
        EXPECT_EQ(image.at(r, 1).character, ' ') << "row " << r;
        EXPECT_EQ(image.at(r, 80).character, ' ') << "row " << r;
    }
}

// ---- a pseudo-terminal ------------------------------------------------------------------------

// Everything the terminal has been sent so far: the kernel hands a pseudo-terminal's output on
// in pieces, so one read may see only the first of several writes.
std::string drain(int master) {
    std::string out;
    char buffer[65536];
    struct pollfd fd {
        master, POLLIN, 0
    };
    while (poll(&fd, 1, 200) > 0 && (fd.revents & POLLIN) != 0) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

TEST(TerminalSession, TakesRawModeAndGivesTheTerminalBackUnchanged) {
    int master = -1;
    int slave = -1;
    struct winsize size {};
    size.ws_col = 80;
    size.ws_row = 25;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, &size), 0);
    struct termios before {};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    {
        rt::TerminalFrontend frontend(slave, slave);
        ASSERT_EQ(frontend.start(), 0);
        struct termios raw {};
        tcgetattr(slave, &raw);
        EXPECT_EQ(raw.c_lflag & (ECHO | ICANON | ISIG), 0u) << "Ctrl+C must reach the program as a key";

        rt::ScreenImage image = blankScreen();
        image.at(1, 1) = {'H', 0x07};
        frontend.refresh(image);
        const std::string shown = drain(master);
        EXPECT_NE(shown.find("\x1b[?1049h"), std::string::npos) << "the alternate screen keeps the shell's";

        ASSERT_EQ(write(master, "q", 1), 1);
        rt::resetProcessForTesting();
        EXPECT_EQ(frontend.handleEvents(), rt::EventsResult::running);
        frontend.shutdown();
        frontend.shutdown(); // idempotent
    }
    struct termios after {};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_NE(drain(master).find("\x1b[?1049l"), std::string::npos);
    close(master);
    close(slave);
    rt::resetProcessForTesting();
}

TEST(TerminalSession, RefusesToStartWithoutATerminal) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    rt::TerminalFrontend frontend(pipeFds[0], pipeFds[1]);
    testing::internal::CaptureStderr();
    EXPECT_NE(frontend.start(), 0);
    testing::internal::GetCapturedStderr();
    close(pipeFds[0]);
    close(pipeFds[1]);
}

} // namespace
