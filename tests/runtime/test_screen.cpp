#include "runtime/screen.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/errors.h"

namespace {

class ScreenTest : public ::testing::Test {
  protected:
    void SetUp() override { core::resetErrorStateForTesting(); }
    void TearDown() override {
        rt::setBellHandler(nullptr);
        core::resetErrorStateForTesting();
    }

    void expectCursor(int row, int column, int pendingWrap = 0) {
        EXPECT_EQ(screen.cursorRow(), row);
        EXPECT_EQ(screen.cursorColumn(), column);
        EXPECT_EQ(screen.pendingWrap(), pendingWrap);
    }
    std::uint32_t pendingError() { return core::errorState().pendingError.load(); }

    rt::Screen screen;
};

// ---- wrap and the owed line break ----------------------------------------------------------------

TEST_F(ScreenTest, SeparatorOfEightyThenEmptyLineEndOccupiesExactlyOneRow) {
    screen.printText(std::string(80, '_'), false);
    expectCursor(1, 80, 1);
    EXPECT_EQ(screen.rowText(1), std::string(80, '_'));
    screen.printText("", true);
    expectCursor(2, 1);
    screen.printText("next", false);
    EXPECT_EQ(screen.rowText(2).substr(0, 4), "next");
    EXPECT_EQ(screen.rowText(3), std::string(80, ' '));
}

TEST_F(ScreenTest, OwedLineBreakIsPaidByTheNextNonEmptyPrintOnly) {
    screen.printText(std::string(80, 'a'), false);
    screen.printText("", false); // empty, no line end: still owed
    expectCursor(1, 80, 1);
    screen.printText("b", false);
    expectCursor(2, 2);
    EXPECT_EQ(screen.cell(2, 1).character, 'b');
}

TEST_F(ScreenTest, FullRowWithLineEndBreaksOnce) {
    screen.printText(std::string(80, 'x'), true);
    expectCursor(2, 1);
    screen.printText(std::string(78, 'y'), true); // a box line
    expectCursor(3, 1);
}

TEST_F(ScreenTest, TextLongerThanARowWrapsAtOnceInTheMiddle) {
    screen.printText(std::string(85, 'z'), false);
    expectCursor(2, 6);
    EXPECT_EQ(screen.cell(2, 5).character, 'z');
}

TEST_F(ScreenTest, FinalCarriageReturnWithLineEndGivesTwoBreaks) {
    screen.printText("a\r", true);
    expectCursor(3, 1);
    screen.printText("b\n", false);
    expectCursor(4, 1);
}

// ---- fit to line ----------------------------------------------------------------------------------

TEST_F(ScreenTest, FitToLineBreaksOnlyWhenTheTextWouldPassColumnEighty) {
    const std::string label(53, 'L');
    screen.locate(5, 60);
    screen.fitToLine(label);
    expectCursor(6, 1);

    screen.locate(5, 28); // 28 + 53 - 1 = 80: fits exactly
    screen.fitToLine(label);
    expectCursor(5, 28);
    screen.printText(label, false);
    expectCursor(5, 80, 1);

    screen.fitToLine(label); // owed break: nothing happens
    expectCursor(5, 80, 1);
    screen.locate(7, 1);
    screen.fitToLine(std::string(200, 'x')); // column 1: nothing happens
    expectCursor(7, 1);
}

// ---- scrolling ------------------------------------------------------------------------------------

TEST_F(ScreenTest, LineBreakOnRow24ScrollsRowsOneTo24AndKeepsRow25) {
    for (int r = 1; r <= 24; ++r) {
        screen.locate(r, 1);
        screen.printText("row" + std::to_string(r), false);
    }
    screen.locate(25, 1);
    screen.printText("status", false);
    std::vector<std::string> lost;
    screen.setScrollOffHandler([&](const rt::ScreenCell* row) {
        std::string text;
        for (int c = 0; c < 80; ++c)
            text += static_cast<char>(row[c].character);
        lost.push_back(text);
    });
    screen.setColor(7, 1);
    screen.locate(24, 10);
    screen.newLine();

    expectCursor(24, 1);
    EXPECT_EQ(screen.rowText(1).substr(0, 4), "row2");
    EXPECT_EQ(screen.rowText(23).substr(0, 5), "row24");
    EXPECT_EQ(screen.rowText(24), std::string(80, ' '));
    EXPECT_EQ(screen.cell(24, 1).attribute, 0x17) << "the new row takes the current colours";
    EXPECT_EQ(screen.rowText(25).substr(0, 6), "status");
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].substr(0, 5), "row1 ");
}

TEST_F(ScreenTest, PrintingOnRow25ThenBreakingScrollsTheAreaAndLandsOnRow24) {
    screen.locate(24, 1);
    screen.printText("last", false);
    screen.locate(25, 1);
    screen.printText("bottom", true);
    expectCursor(24, 1);
    EXPECT_EQ(screen.rowText(23).substr(0, 4), "last");
    EXPECT_EQ(screen.rowText(25).substr(0, 6), "bottom");
}

// ---- locate, colours, clear -----------------------------------------------------------------------

TEST_F(ScreenTest, LocateRefusesRowsOutsideTheAreaAndColumnsOutsideTheRow) {
    screen.locate(3, 7);
    for (auto [row, column] :
         std::vector<std::pair<std::optional<std::int64_t>, std::optional<std::int64_t>>>{{0, std::nullopt},
                                                                                          {26, std::nullopt},
                                                                                          {-1, 5},
                                                                                          {std::nullopt, 0},
                                                                                          {std::nullopt, 81},
                                                                                          {4, 81}}) {
        core::resetErrorStateForTesting();
        screen.locate(row, column);
        EXPECT_EQ(pendingError(), 5u);
        expectCursor(3, 7);
    }
    core::resetErrorStateForTesting();
    screen.locate(25, 80);
    EXPECT_EQ(pendingError(), 0u);
    expectCursor(25, 80);
}

TEST_F(ScreenTest, LocateWithOnlyAColumnKeepsTheRowAndClearsTheOwedBreak) {
    screen.locate(6, 1);
    screen.printText(std::string(80, '-'), false);
    screen.locate(std::nullopt, 35);
    expectCursor(6, 35);
    screen.locate(std::nullopt, 35);
    EXPECT_EQ(screen.cursorRowNow(), 6);
}

TEST_F(ScreenTest, LocateWithNeitherTurnsTheOwedBreakIntoItsMovedForm) {
    screen.printText(std::string(80, '-'), false);
    screen.locate(std::nullopt, std::nullopt);
    expectCursor(1, 80, 2);
    screen.printText("x", false);
    expectCursor(2, 2);
}

TEST_F(ScreenTest, CursorRowNowCountsTheOwedBreak) {
    screen.locate(10, 1);
    EXPECT_EQ(screen.cursorRowNow(), 10);
    screen.printText(std::string(80, '-'), false);
    EXPECT_EQ(screen.cursorRowNow(), 11);
    screen.locate(24, 1);
    screen.printText(std::string(80, '-'), false);
    EXPECT_EQ(screen.cursorRowNow(), 24);
}

TEST_F(ScreenTest, ColourChangesAffectOnlyTextWrittenAfterThem) {
    screen.setColor(15);
    screen.printText("warn", false);
    screen.setColor(7);
    screen.printText("ok", false);
    EXPECT_EQ(screen.cell(1, 1).attribute, 0x0F);
    EXPECT_EQ(screen.cell(1, 4).attribute, 0x0F);
    EXPECT_EQ(screen.cell(1, 5).attribute, 0x07);

    screen.setColor(30, 9); // blinking yellow on blue (9 mod 8)
    screen.printText("b", false);
    EXPECT_EQ(screen.background(), 1);
    EXPECT_EQ(screen.cell(1, 7).attribute, 0x80 | 0x10 | 0x0E);
}

TEST_F(ScreenTest, ColoursOutOfRangeRaiseError5AndChangeNothing) {
    screen.setColor(4, 2);
    for (auto [fg, bg] : std::vector<std::pair<std::optional<std::int64_t>, std::optional<std::int64_t>>>{
             {32, std::nullopt}, {-1, std::nullopt}, {std::nullopt, 16}, {15, 16}, {40, 3}}) {
        core::resetErrorStateForTesting();
        screen.setColor(fg, bg);
        EXPECT_EQ(pendingError(), 5u);
        EXPECT_EQ(screen.foreground(), 4);
        EXPECT_EQ(screen.background(), 2);
    }
}

TEST_F(ScreenTest, ClearScreenBlanksEveryRowWithTheCurrentColoursAndHomesTheCursor) {
    screen.locate(25, 1);
    screen.printText("status", false);
    screen.locate(12, 1);
    screen.printText(std::string(80, '#'), false); // leaves a break owed
    screen.setColor(2, 4);
    screen.clearScreen();
    expectCursor(1, 1);
    for (int r : {1, 12, 24, 25}) {
        EXPECT_EQ(screen.rowText(r), std::string(80, ' '));
        EXPECT_EQ(screen.cell(r, 40).attribute, 0x42);
    }
    screen.printText("x", false);
    EXPECT_EQ(screen.cell(1, 1).character, 'x') << "an owed break must not survive a clear";
}

// ---- control codes ----------------------------------------------------------------------------------

TEST_F(ScreenTest, TabPrintsAtLeastOneSpaceUpToTheNextTabStop) {
    screen.printText("\t", false);
    expectCursor(1, 9);
    screen.printText("1234567\t", false); // column 16 is a stop: one space
    expectCursor(1, 17);
    screen.locate(2, 8);
    screen.printText("\t", false);
    expectCursor(2, 9);
    screen.locate(3, 75);
    screen.printText("\t", false); // spaces up to 80; the break is owed
    expectCursor(3, 80, 1);
    screen.locate(4, 75);
    screen.printText("\tx", false);
    expectCursor(5, 2);
}

TEST_F(ScreenTest, BellRingsWithoutMovingTheCursorOrWritingACell) {
    int rings = 0;
    rt::setBellHandler([&] { ++rings; });
    screen.printText("a\ab", false);
    EXPECT_EQ(rings, 1);
    EXPECT_EQ(screen.rowText(1).substr(0, 3), "ab ");
}

TEST_F(ScreenTest, CursorControlCodesStopAtTheEdgesOfTheScrollingArea) {
    screen.printText("\x1D\x1E", false); // left and up at the home position: nowhere to go
    expectCursor(1, 1);
    screen.locate(2, 1);
    screen.printText("\x1D", false);
    expectCursor(1, 80);
    screen.printText("\x1C", false);
    expectCursor(2, 1);
    screen.locate(24, 80);
    screen.printText("\x1C\x1F", false);
    expectCursor(24, 80);
    screen.locate(25, 1);
    screen.printText("\x1D\x1E\x1F", false); // row 25 lies outside the area
    expectCursor(25, 1);
    screen.locate(10, 5);
    screen.printText("\x1E\x1F\x1F\x0B", false);
    expectCursor(1, 1);
}

TEST_F(ScreenTest, FormFeedClearsTheScreen) {
    screen.printText("abc\x0Cz", false);
    EXPECT_EQ(screen.rowText(1).substr(0, 3), "z  ");
}

TEST_F(ScreenTest, NothingIsPrintedMovedOrColouredWhileAnErrorIsPending) {
    screen.printText("keep", false);
    core::raiseError(53);
    screen.printText("lost", true);
    screen.newLine();
    screen.clearScreen();
    screen.locate(5, 5);
    screen.setColor(1);
    screen.fitToLine(std::string(100, 'x'));
    EXPECT_EQ(screen.rowText(1).substr(0, 5), "keep ");
    expectCursor(1, 5);
    EXPECT_EQ(screen.foreground(), 7);
    EXPECT_EQ(pendingError(), 53u);
}

// ---- column move ------------------------------------------------------------------------------------

TEST_F(ScreenTest, ColumnMoveGivesSpacesOrABreakAndSpaces) {
    EXPECT_EQ(screen.columnMove(46), std::string(45, ' '));
    screen.locate(3, 50);
    EXPECT_EQ(screen.columnMove(50), "");
    EXPECT_EQ(screen.columnMove(46), "\r" + std::string(45, ' '));
    EXPECT_EQ(screen.columnMove(0), "\r");
    EXPECT_EQ(screen.columnMove(80 + 55), std::string(5, ' ')); // 135 mod 80 = 55
    screen.printText(screen.columnMove(46), false);
    expectCursor(4, 46);
}

// ---- copy, restore, palette ---------------------------------------------------------------------------

TEST_F(ScreenTest, RestorePutsBackCellsAndCursorState) {
    screen.printText(std::string(80, 'p'), false);
    screen.setCursorVisible(true);
    const auto saved = screen.copy();
    ASSERT_NE(saved, nullptr);
    screen.printText("more text", true);
    screen.setCursorVisible(false);
    screen.restore(*saved);
    expectCursor(1, 80, 1);
    EXPECT_TRUE(screen.cursorVisible());
    EXPECT_EQ(screen.rowText(2), std::string(80, ' '));
}

TEST_F(ScreenTest, RowsScrolledOffAgainAfterARestoreAreReportedOnce) {
    int reported = 0;
    screen.setScrollOffHandler([&](const rt::ScreenCell*) { ++reported; });
    screen.locate(24, 70);
    const auto saved = screen.copy();
    screen.printText(std::string(20, 'a'), false); // wraps on row 24: one scroll
    EXPECT_EQ(reported, 1);
    screen.restore(*saved);
    screen.printText(std::string(20, 'b'), false); // the same row leaves again
    EXPECT_EQ(reported, 1);
    screen.newLine(); // a new row leaves
    EXPECT_EQ(reported, 2);
}

TEST_F(ScreenTest, ChangeCounterGrowsWithEveryVisibleChange) {
    auto before = screen.changeCount();
    screen.printText("x", false);
    EXPECT_GT(screen.changeCount(), before);
    before = screen.changeCount();
    screen.setCursorVisible(true);
    EXPECT_GT(screen.changeCount(), before);
    const auto palette = screen.paletteVersion();
    screen.setPaletteEntry(3, 0xFF123456u);
    EXPECT_GT(screen.paletteVersion(), palette);
    EXPECT_EQ(screen.paletteEntry(3), 0xFF123456u);
}

// Under TSan this shows that a painter may read while the program thread prints and scrolls.
TEST_F(ScreenTest, PainterThreadReadsWhileTheProgramThreadWrites) {
    std::atomic<bool> done{false};
    std::thread painter([&] {
        std::uint64_t seen = 0;
        do { // at least one full pass, however soon the writer finishes
            for (int r = 1; r <= rt::Screen::kRows; ++r)
                for (int c = 1; c <= rt::Screen::kColumns; ++c)
                    seen += screen.cell(r, c).character;
            seen +=
                static_cast<std::uint64_t>(screen.cursorRow() + screen.cursorColumn()) + screen.changeCount();
        } while (!done.load());
        EXPECT_GT(seen, 0u);
    });
    for (int i = 0; i < 300; ++i)
        screen.printText("line " + std::to_string(i), true);
    done = true;
    painter.join();
    EXPECT_EQ(screen.rowText(23).substr(0, 9), "line 299 ");
}

TEST_F(ScreenTest, PaletteHoldsTheTextColoursAndTheVgaDefaults) {
    // Text colours 0..15: the RGB table of the screen's colour numbers.
    const std::uint32_t text[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA,
                                    0xAA5500, 0xAAAAAA, 0x555555, 0x5555FF, 0x55FF55, 0x55FFFF,
                                    0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(screen.paletteEntry(i), 0xFF000000u | text[i]) << "entry " << i;
    // VGA BIOS default palette (IBM VGA technical reference, 6-bit DAC values widened to 8 bits):
    // 16 black and 31 white ends of the grey ramp, 40 red, 44 yellow, 48 green, 52 cyan of the
    // high-intensity, high-saturation hue ring; 248..255 black.
    EXPECT_EQ(screen.paletteEntry(16), 0xFF000000u);
    EXPECT_EQ(screen.paletteEntry(31), 0xFFFFFFFFu);
    EXPECT_EQ(screen.paletteEntry(32), 0xFF0000FFu);
    EXPECT_EQ(screen.paletteEntry(40), 0xFFFF0000u);
    EXPECT_EQ(screen.paletteEntry(44), 0xFFFFFF00u);
    EXPECT_EQ(screen.paletteEntry(48), 0xFF00FF00u);
    EXPECT_EQ(screen.paletteEntry(52), 0xFF00FFFFu);
    EXPECT_EQ(screen.paletteEntry(104), 0xFF000071u); // medium intensity starts at blue 1C
    EXPECT_EQ(screen.paletteEntry(176), 0xFF000041u); // low intensity starts at blue 10
    for (int i = 248; i < 256; ++i)
        EXPECT_EQ(screen.paletteEntry(i), 0xFF000000u);
}

} // namespace
