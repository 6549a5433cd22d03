// The scrollback: the ring of rows that left the screen (wrap-around included), and the view that
// the window and the terminal paint instead of the live screen while the user looks back.
#include "runtime/screen.h"
#include "runtime/scrollback.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A row whose first cells spell `text`.
rt::Scrollback::Row row(const std::string& text) {
    rt::Scrollback::Row cells;
    cells.fill(rt::ScreenCell{});
    for (std::size_t i = 0; i < text.size(); ++i)
        cells[i].character = static_cast<std::uint8_t>(text[i]);
    return cells;
}

std::string text(const rt::ScreenCell* cells, std::size_t length = 6) {
    std::string s;
    for (std::size_t i = 0; i < length; ++i)
        s += static_cast<char>(cells[i].character);
    return s;
}

std::string imageRow(const rt::ScreenImage& image, int r, int length = 6) {
    return text(&image.at(r, 1), static_cast<std::size_t>(length));
}

rt::ScreenImage imageOf(const rt::Screen& screen) {
    rt::ScreenImage image;
    for (int r = 1; r <= rt::Screen::kRows; ++r)
        for (int c = 1; c <= rt::Screen::kColumns; ++c)
            image.at(r, c) = screen.cell(r, c);
    image.cursorVisible = true;
    return image;
}

rt::KeyEvent shiftPage(std::uint8_t code) {
    rt::KeyEvent key;
    key.extended = code;
    key.shift = true;
    return key;
}

TEST(ScrollbackRing, KeepsTheNewestRowsAcrossTheWrapAround) {
    rt::Scrollback ring(4);
    EXPECT_EQ(ring.rowsAbove(1, 1)[0][0].character, ' ') << "an empty ring gives blank rows";
    for (int i = 1; i <= 10; ++i) {
        const rt::Scrollback::Row r = row("row " + std::to_string(i % 10));
        ring.push(r.data());
    }
    EXPECT_EQ(ring.size(), 4u);
    EXPECT_EQ(ring.pushed(), 10u);
    struct Case {
        std::size_t back, count;
        std::vector<std::string> rows; // oldest first
    };
    const Case cases[] = {
        {1, 1, {"row 0 "}},
        {4, 4, {"row 7 ", "row 8 ", "row 9 ", "row 0 "}},
        {2, 3, {"row 9 ", "row 0 ", "      "}}, // below the screen's edge: blank
        {6, 3, {"      ", "      ", "row 7 "}}, // older than the ring holds: blank
    };
    for (const Case& c : cases) {
        const std::vector<rt::Scrollback::Row> got = ring.rowsAbove(c.back, c.count);
        ASSERT_EQ(got.size(), c.count);
        for (std::size_t i = 0; i < c.count; ++i)
            EXPECT_EQ(text(got[i].data()), c.rows[i]) << "back " << c.back << " row " << i;
    }
}

TEST(ScrollbackView, KeysMoveTheViewAndAnyOtherKeyReturnsWithoutBeingTaken) {
    rt::ScrollbackView view(100);
    for (int i = 0; i < 30; ++i) {
        const rt::Scrollback::Row r = row("old " + std::to_string(i));
        view.ring().push(r.data());
    }
    rt::KeyEvent shift;
    shift.name = rt::KeyName::modifier;
    rt::KeyEvent wheelUp;
    wheelUp.name = rt::KeyName::wheelUp;
    rt::KeyEvent wheelDown;
    wheelDown.name = rt::KeyName::wheelDown;
    rt::KeyEvent plainPageUp;
    plainPageUp.extended = rt::scan::pageUp;
    rt::KeyEvent letter;
    letter.character = 'x';

    EXPECT_TRUE(view.takeKey(shiftPage(rt::scan::pageUp)));
    EXPECT_EQ(view.rowsBack(), 12u);
    EXPECT_TRUE(view.takeKey(wheelUp));
    EXPECT_EQ(view.rowsBack(), 15u);
    EXPECT_TRUE(view.takeKey(shiftPage(rt::scan::pageUp)));
    EXPECT_TRUE(view.takeKey(shiftPage(rt::scan::pageUp)));
    EXPECT_EQ(view.rowsBack(), 30u) << "no further back than the ring holds";
    EXPECT_TRUE(view.takeKey(wheelDown));
    EXPECT_TRUE(view.takeKey(shiftPage(rt::scan::pageDown)));
    EXPECT_EQ(view.rowsBack(), 15u);
    EXPECT_FALSE(view.takeKey(shift));
    EXPECT_EQ(view.rowsBack(), 15u) << "Shift on its way to Shift+PgDn keeps the view";
    EXPECT_FALSE(view.takeKey(letter)) << "the key is handled as usual";
    EXPECT_FALSE(view.active());
    EXPECT_FALSE(view.takeKey(plainPageUp)) << "PgUp without Shift belongs to the program";
    EXPECT_TRUE(view.takeKey(shiftPage(rt::scan::pageDown)));
    EXPECT_EQ(view.rowsBack(), 0u) << "never below the live screen";
}

TEST(ScrollbackView, PagesJoinOlderRowsToTheLiveScreenAndFollowNewRows) {
    rt::Screen screen;
    rt::ScrollbackView view;
    view.attach(screen);
    for (int i = 1; i <= 40; ++i)
        screen.printText("line " + std::to_string(i), true);
    // Rows 1..23 now hold lines 18..40 and the cursor waits on the empty row 24, so lines 1..17
    // have scrolled off.
    ASSERT_EQ(view.ring().size(), 17u);
    ASSERT_EQ(text(&imageOf(screen).at(1, 1), 7), "line 18");

    view.scroll(5);
    rt::ScreenImage page = view.compose(imageOf(screen));
    EXPECT_EQ(imageRow(page, 1, 7), "line 13");
    EXPECT_EQ(imageRow(page, 5, 7), "line 17");
    EXPECT_EQ(imageRow(page, 6, 7), "line 18") << "the live screen's top row follows the ring's newest";
    EXPECT_EQ(imageRow(page, 24, 7), "line 36");
    EXPECT_NE(imageRow(page, 25, 80).find("Scrollback 5/17"), std::string::npos) << imageRow(page, 25, 80);
    EXPECT_EQ(page.at(25, 1).attribute, rt::ScrollbackView::kStatusAttribute);
    EXPECT_FALSE(page.cursorVisible);

    // New rows scroll off while the user looks back: the view stays on the same lines.
    screen.printText("line 41", true);
    screen.printText("line 42", true);
    page = view.compose(imageOf(screen));
    EXPECT_EQ(view.rowsBack(), 7u);
    EXPECT_EQ(imageRow(page, 1, 7), "line 13");

    view.detach();
    screen.printText("line 43", true);
    EXPECT_EQ(view.ring().size(), 19u) << "rows after detach are not collected";
    view.returnToLive();
    const rt::ScreenImage live = imageOf(screen);
    EXPECT_EQ(view.compose(live).cells, live.cells);
}

} // namespace
