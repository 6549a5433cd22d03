#include "runtime/keyboard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/process.h"

namespace {

// ---- the key queue ------------------------------------------------------------------------------

class KeyQueueTest : public ::testing::Test {
  protected:
    void SetUp() override { rt::resetProcessForTesting(); }
    void TearDown() override { rt::resetProcessForTesting(); }
    rt::KeyQueue queue;
};

TEST_F(KeyQueueTest, HoldsFifteenKeysAndDropsTheSixteenth) {
    for (int i = 0; i < 15; ++i)
        EXPECT_TRUE(queue.push(static_cast<std::uint8_t>('a' + i)));
    EXPECT_FALSE(queue.push('z'));
    EXPECT_EQ(queue.size(), 15u);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(queue.pollKey(), std::string(1, static_cast<char>('a' + i)));
    EXPECT_EQ(queue.pollKey(), "");
}

TEST_F(KeyQueueTest, KeepsOrderAcrossTheWrapAroundOfTheRing) {
    // Offsets the ring so that every fill below crosses the last slot.
    for (int i = 0; i < 11; ++i) {
        ASSERT_TRUE(queue.push('x'));
        ASSERT_EQ(queue.pollKey(), "x");
    }
    for (int round = 0; round < 5; ++round) {
        std::string pushed;
        for (int i = 0; i < 15; ++i) {
            const char c = static_cast<char>('A' + (round * 7 + i) % 26);
            ASSERT_TRUE(queue.push(static_cast<std::uint8_t>(c)));
            pushed += c;
        }
        ASSERT_FALSE(queue.push('!'));
        std::string taken;
        for (int i = 0; i < 15; ++i)
            taken += queue.pollKey();
        EXPECT_EQ(taken, pushed);
        EXPECT_TRUE(queue.empty());
    }
}

TEST_F(KeyQueueTest, PollGivesOneCharacterOrZeroAndTheExtendedCode) {
    queue.push(13, 28); // a character key: the extended byte plays no part
    queue.push(0, 72);  // cursor up
    queue.push(0, 0);   // neither: one character 0
    EXPECT_EQ(queue.pollKey(), "\r");
    EXPECT_EQ(queue.pollKey(), std::string("\0\x48", 2));
    EXPECT_EQ(queue.pollKey(), std::string(1, '\0'));
}

TEST_F(KeyQueueTest, PollGivesNothingWhileAnErrorIsPendingAndKeepsTheKey) {
    queue.push('k');
    core::raiseError(5);
    EXPECT_EQ(queue.pollKey(), "");
    rt::resetProcessForTesting();
    EXPECT_EQ(queue.pollKey(), "k");
}

TEST_F(KeyQueueTest, WaitingIsSetOnAnEmptyPollAndClearedWhenAKeyIsTaken) {
    EXPECT_FALSE(queue.waiting());
    EXPECT_EQ(queue.pollKey(), "");
    EXPECT_TRUE(queue.waiting());
    queue.push('a');
    EXPECT_TRUE(queue.waiting()) << "the consumer has not taken it yet";
    EXPECT_EQ(queue.pollKey(), "a");
    EXPECT_FALSE(queue.waiting());
}

TEST_F(KeyQueueTest, StarvedHandlerCanFeedThePollThatFoundTheQueueEmpty) {
    int calls = 0;
    queue.setStarvedHandler([&] {
        ++calls;
        queue.push('q');
    });
    EXPECT_EQ(queue.pollKey(), "q");
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(queue.waiting());
}

TEST_F(KeyQueueTest, ProducerAndConsumerOnTwoThreadsLoseAndReorderNothing) {
    constexpr int kKeys = 20000;
    std::thread producer([&] {
        for (int i = 0; i < kKeys; ++i)
            while (!queue.push(static_cast<std::uint8_t>(1 + i % 250), static_cast<std::uint8_t>(i % 7)))
                std::this_thread::yield();
    });
    int received = 0;
    bool inOrder = true;
    while (received < kKeys) {
        const std::string key = queue.pollKey();
        if (key.empty()) continue;
        inOrder = inOrder && key == std::string(1, static_cast<char>(1 + received % 250));
        ++received;
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_TRUE(queue.empty());
}

TEST_F(KeyQueueTest, WaitForKeyStopsTheProgramThreadWhenStopIsRequested) {
    queue.setWaitInterval(std::chrono::microseconds(0));
    queue.setStarvedHandler([] { rt::processFlags().stopRequested = 1; });
    EXPECT_THROW(rt::waitForKey(queue), rt::ProgramThreadStop);
    EXPECT_EQ(rt::processFlags().threadsDone.load() & 1u, 1u);
}

// ---- the line editor ----------------------------------------------------------------------------

// Runs the editor on its own screen and queue; the script is fed whenever the editor finds the
// queue empty, and running out of script requests a stop so a broken test cannot hang.
class LineInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rt::resetProcessForTesting();
        queue.setWaitInterval(std::chrono::microseconds(0));
        queue.setStarvedHandler([this] {
            if (fed < script.size()) {
                queue.push(static_cast<std::uint8_t>(script[fed++]));
                if (onKey) onKey();
            } else {
                rt::processFlags().stopRequested = 1;
            }
        });
    }
    void TearDown() override {
        rt::setBellHandler(nullptr);
        rt::resetProcessForTesting();
    }

    // Types `keys` (which should end in Enter) into the variables and checks that the editor
    // returned because of Enter.
    void type(const std::string& keys, std::vector<rt::InputVariable> variables, bool endLine = false) {
        script = keys;
        fed = 0;
        rt::lineInput(screen, queue, variables, endLine);
        EXPECT_EQ(rt::processFlags().stopRequested.load(), 0) << "script ran out before Enter";
    }
    std::string typeText(const std::string& keys, bool endLine = false) {
        std::string text = "old";
        type(keys, {&text}, endLine);
        return text;
    }
    double typeNumber(const std::string& keys) {
        double value = 42;
        type(keys, {&value});
        return value;
    }
    std::string shown(int row, int column, std::size_t length) {
        return screen.rowText(row).substr(column - 1, length);
    }

    rt::Screen screen;
    rt::KeyQueue queue;
    std::string script;
    std::size_t fed = 0;
    std::function<void()> onKey;
};

TEST_F(LineInputTest, EnterOnAnEmptyLineEmptiesTextAndZeroesANumber) {
    EXPECT_EQ(typeText("\r"), "");
    EXPECT_EQ(typeNumber("\r"), 0.0);
}

TEST_F(LineInputTest, CommaIsRefusedAtASingleFieldPrompt) {
    screen.printText("T? ", false);
    EXPECT_EQ(typeText("1,5\r"), "15");
    EXPECT_EQ(shown(1, 1, 6), "T? 15 ");
    EXPECT_EQ(screen.cursorColumn(), 6);
}

TEST_F(LineInputTest, QuotedFieldKeepsItsCommaAndLosesItsQuotes) {
    const std::string text = typeText("\"1,5\"\r");
    EXPECT_EQ(text, "1,5");
    EXPECT_EQ(shown(1, 1, 6), "\"1,5\" ");
    EXPECT_EQ(rt::textToNumber(text), 1.0L) << "the comma ends the number";
}

TEST_F(LineInputTest, OnlyACommaMayFollowAClosingQuote) {
    std::string first, second;
    type("\"a,b\"x,c\r", {&first, &second});
    EXPECT_EQ(first, "a,b");
    EXPECT_EQ(second, "c");
    EXPECT_EQ(shown(1, 1, 8), "\"a,b\",c ");
}

TEST_F(LineInputTest, NumberPromptRefusesTheOffendingKeyOnly) {
    struct Case {
        const char* keys;
        const char* line; // what stays on the screen
        double value;
    };
    // Values are the decimal literals of the accepted text.
    const Case cases[] = {
        {"00\r", "0", 0},       {"05\r", "0", 0},       {"+1\r", "1", 1},       {"1..2\r", "1.2", 1.2},
        {"E5\r", "5", 5},       {"1E\r", "1E", 1},      {"-\r", "-", 0},        {"-+2\r", "-2", -2},
        {"1.E5\r", "1.5", 1.5}, {"1e-05\r", "1e-0", 1}, {"1E+0\r", "1E+0", 1},  {"2d3\r", "2d3", 2000},
        {" 7\r", "7", 7},       {"1e5e\r", "1e5", 1e5}, {"0.5x\r", "0.5", 0.5}, {"-0.25\r", "-0.25", -0.25}};
    for (const Case& c : cases) {
        screen.clearScreen();
        EXPECT_EQ(typeNumber(c.keys), c.value) << c.keys;
        const std::string line = c.line;
        EXPECT_EQ(shown(1, 1, line.size() + 1), line + " ") << c.keys;
    }
}

TEST_F(LineInputTest, NumberPromptEnforcesTheDoubleRange) {
    EXPECT_EQ(typeNumber("1E309\r"), 1e30);
    EXPECT_EQ(typeNumber("1.7976931E308\r"), 1.7976931e308);
    EXPECT_EQ(typeNumber("1.8E308\r"), 1.8e30);
    EXPECT_EQ(typeNumber("5E-324\r"), 4.9406564584124654e-324); // smallest subnormal double
    EXPECT_EQ(typeNumber("4.9E-324\r"), 4.9e-32);
    // Passes the leading-digit test at D = 309 but lies above 1.7976931348623157E308.
    EXPECT_EQ(typeNumber("1.79769319E308\r"), 1.79769319e30);
}

TEST_F(LineInputTest, NumberPromptAllowsSixteenSignificantDigitsWithAFraction) {
    EXPECT_EQ(typeNumber("1.2345678901234567\r"), 1.234567890123456);
    EXPECT_EQ(typeNumber("0.00012345678901234567\r"), 0.0001234567890123456);
    EXPECT_EQ(typeNumber("12345678901234567\r"), 12345678901234567.0) << "no fraction: no limit";
    EXPECT_EQ(typeNumber("12345678901234567.00\r"), 12345678901234567.0) << "a single 0 does not count";
}

TEST_F(LineInputTest, FieldValidationLimitsZerosAfterThePointTo322) {
    // The line is too short to type these, so the field rule is checked on its own.
    double value = 0;
    EXPECT_TRUE(rt::acceptField(&value, "0." + std::string(322, '0') + "5"));
    EXPECT_EQ(value, 5e-323);
    EXPECT_TRUE(rt::acceptField(&value, "0." + std::string(322, '0')));
    EXPECT_FALSE(rt::acceptField(&value, "0." + std::string(323, '0')));
    EXPECT_TRUE(rt::acceptField(&value, std::string(309, '0').replace(0, 8, "17976931")));
    EXPECT_FALSE(rt::acceptField(&value, std::string(310, '1')));
}

TEST_F(LineInputTest, OtherVariableTypesHaveTheirOwnRanges) {
    std::int16_t small = 1;
    EXPECT_TRUE(rt::acceptField(&small, "-32768"));
    EXPECT_EQ(small, -32768);
    EXPECT_FALSE(rt::acceptField(&small, "32768"));
    std::uint8_t byte = 0;
    EXPECT_FALSE(rt::acceptField(&byte, "-1"));
    EXPECT_FALSE(rt::acceptField(&byte, "256"));
    EXPECT_FALSE(rt::acceptField(&byte, "1.5"));
    std::int64_t wide = 0;
    EXPECT_TRUE(rt::acceptField(&wide, "-9223372036854775808"));
    EXPECT_EQ(wide, INT64_MIN);
    EXPECT_FALSE(rt::acceptField(&wide, "9223372036854775808"));
    float single = 0;
    EXPECT_FALSE(rt::acceptField(&single, "4E38"));
    EXPECT_TRUE(rt::acceptField(&single, "3E38"));
    long double extended = 0;
    EXPECT_TRUE(rt::acceptField(&extended, "1E4000"));
    EXPECT_EQ(extended, 1e4000L);
    std::string fixed;
    EXPECT_TRUE(rt::acceptField(rt::FixedText{&fixed, 4}, "ab"));
    EXPECT_EQ(fixed, "ab  ");
    EXPECT_FALSE(rt::acceptField(rt::FixedText{&fixed, 4}, "abcde"));
}

TEST_F(LineInputTest, TabFillsToTheNextMultipleOfEight) {
    EXPECT_EQ(typeText("\t\r"), std::string(8, ' '));
    EXPECT_EQ(screen.cursorColumn(), 9);
    screen.clearScreen();
    EXPECT_EQ(typeText("abc\tx\r"), "abc     x");
    EXPECT_EQ(shown(1, 1, 10), "abc     x ");
    screen.clearScreen();
    EXPECT_EQ(typeNumber("1\t2\r"), 12) << "spaces are refused at a number prompt";
    EXPECT_EQ(shown(1, 1, 3), "12 ");
}

TEST_F(LineInputTest, BackspaceErasesFromVariableAndScreenAndRestoresWhatWasUnder) {
    screen.printText("prompt? ", false);
    screen.printText("OLDVALUE", false);
    screen.locate(std::nullopt, 9); // the editor starts over the old text
    EXPECT_EQ(typeText("\b\bab\b\r"), "a");
    EXPECT_EQ(shown(1, 1, 17), "prompt? aLDVALUE ");
    EXPECT_EQ(screen.cursorColumn(), 10);
}

TEST_F(LineInputTest, TheTwoHundredFiftySixthCharacterIsNotEvenShown) {
    const std::string text = typeText(std::string(256, 'a') + "\r");
    EXPECT_EQ(text.size(), 255u);
    // 255 characters from row 1, column 1: three full rows and 15 on the fourth.
    EXPECT_EQ(shown(4, 1, 16), std::string(15, 'a') + " ");
    EXPECT_EQ(screen.cursorRow(), 4);
    EXPECT_EQ(screen.cursorColumn(), 16);
}

TEST_F(LineInputTest, EnterEndsTheScreenLineOnlyWhenAsked) {
    screen.printText("? ", false);
    typeText("12\r", true);
    EXPECT_EQ(screen.cursorRow(), 2);
    EXPECT_EQ(screen.cursorColumn(), 1);
    screen.printText("? ", false);
    typeText("12\r", false);
    EXPECT_EQ(screen.cursorRow(), 2);
    EXPECT_EQ(screen.cursorColumn(), 5);
}

TEST_F(LineInputTest, CursorIsShownWhileTypingAndRestoredAfterwards) {
    std::vector<bool> visible;
    onKey = [&] { visible.push_back(screen.cursorVisible()); };
    typeText("ab\b,c\r");
    EXPECT_FALSE(screen.cursorVisible());
    ASSERT_FALSE(visible.empty());
    for (bool v : visible)
        EXPECT_TRUE(v);
}

TEST_F(LineInputTest, ControlCharactersOtherThanTheEditingKeysAreTyped) {
    int rings = 0;
    rt::setBellHandler([&] { ++rings; });
    const std::string text = typeText(std::string("12\x03") + "5\a\n\x1C\r");
    EXPECT_EQ(text, "12\x03"
                    "5");
    EXPECT_EQ(rings, 1);
    EXPECT_EQ(rt::textToNumber(text), 12.0L);
}

TEST_F(LineInputTest, KeysWithoutACharacterAreIgnored) {
    std::string text;
    script = "a\r";
    queue.push(0, 72);
    queue.push(0, 80);
    fed = 0;
    rt::lineInput(screen, queue, std::vector<rt::InputVariable>{&text}, false);
    EXPECT_EQ(text, "a");
}

TEST_F(LineInputTest, StopRequestEndsTheWaitWithTheLastValidatedValue) {
    std::string text;
    script = "ab"; // no Enter: running out requests the stop
    fed = 0;
    rt::lineInput(screen, queue, std::vector<rt::InputVariable>{&text}, true);
    EXPECT_EQ(rt::processFlags().stopRequested.load(), 1);
    EXPECT_EQ(text, "ab");
    EXPECT_EQ(screen.cursorRow(), 1) << "no line end on a stop";
    EXPECT_FALSE(screen.cursorVisible());
}

TEST_F(LineInputTest, PendingErrorReturnsAtOnceWithoutReadingOrClearing) {
    std::string text = "kept";
    queue.push('x');
    core::raiseError(53);
    rt::lineInput(screen, queue, std::vector<rt::InputVariable>{&text}, true);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(queue.size(), 1u);
}

TEST_F(LineInputTest, TypeAheadWaitingInTheQueueReachesThePrompt) {
    for (char c : std::string("3.5\r"))
        queue.push(static_cast<std::uint8_t>(c));
    double value = 0;
    rt::lineInput(screen, queue, std::vector<rt::InputVariable>{&value}, true);
    EXPECT_EQ(value, 3.5);
}

TEST_F(LineInputTest, RefusedKeyAtTheBottomRowDoesNotReportTheScrolledRowTwice) {
    int scrolled = 0;
    screen.setScrollOffHandler([&](const rt::ScreenCell*) { ++scrolled; });
    screen.locate(24, 70);
    EXPECT_EQ(typeNumber("123456789012345x\r"), 123456789012345.0);
    EXPECT_EQ(scrolled, 1);
    EXPECT_EQ(shown(24, 1, 5), "2345 ");
}

} // namespace
