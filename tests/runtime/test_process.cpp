#include "runtime/process.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

struct Box {
    std::string caption;
    std::string text;
    rt::BoxButtons buttons;
};

struct ProcessEnded {
    int exitCode;
};

// The program thread's checks on the process-wide state. Records every box and answers from a
// script; the process end throws so the test survives it.
class ErrorReport : public ::testing::Test {
  protected:
    void SetUp() override {
        rt::resetProcessForTesting();
        rt::setMessageBox(
            [this](const std::string& caption, const std::string& text, rt::BoxButtons buttons) {
                boxes.push_back({caption, text, buttons});
                return buttons == rt::BoxButtons::ok ? rt::BoxAnswer::ok : answer;
            });
        rt::setProcessEnd([](int code) { throw ProcessEnded{code}; });
    }
    void TearDown() override {
        rt::setMessageBox(nullptr);
        rt::setProcessEnd(nullptr);
        rt::resetProcessForTesting();
    }

    std::vector<Box> boxes;
    rt::BoxAnswer answer = rt::BoxAnswer::yes;
};

TEST_F(ErrorReport, FileNotFoundShowsLineMessageAndContinueQuestion) {
    core::raiseError(53);
    core::statementEnd(262);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Unhandled Error #53");
    EXPECT_EQ(boxes[0].text, "Line:262\nFile not found\nContinue?");
    EXPECT_EQ(boxes[0].buttons, rt::BoxButtons::yesNo);
    EXPECT_EQ(core::errorState().pendingError.load(), 0u) << "Yes clears the error";
    EXPECT_EQ(core::errorState().statementLine.load(), 262u);
}

TEST_F(ErrorReport, CodesWithoutMessageAreUnprintable) {
    core::raiseError(65);
    core::statementEnd(12);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Unhandled Error #65");
    EXPECT_EQ(boxes[0].text, "Line:12\nUnprintable error\nContinue?");
}

TEST_F(ErrorReport, CriticalCodeShowsOkBoxAndEndsProcessWithZero) {
    core::raiseError(305);
    try {
        core::statementEnd(40);
        FAIL() << "a critical error must end the process";
    } catch (const ProcessEnded& ended) {
        EXPECT_EQ(ended.exitCode, 0);
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Critical Error #305");
    EXPECT_EQ(boxes[0].text, "Line:40\nSource memory has been freed");
    EXPECT_EQ(boxes[0].buttons, rt::BoxButtons::ok);
}

TEST_F(ErrorReport, NoAnswerRequestsCloseAndStopsTheProgramThread) {
    answer = rt::BoxAnswer::no;
    rt::processFlags().stopRequested = 0;
    core::raiseError(5);
    // The main thread would see closeRequested and set stopRequested; do it up front so the
    // program thread's stop wait returns at once.
    bool stopped = false;
    std::thread program([&] {
        try {
            core::statementEnd(99);
        } catch (const rt::ProgramThreadStop&) {
            stopped = true;
        }
    });
    while (rt::processFlags().closeRequested.load() == 0)
        std::this_thread::yield();
    rt::processFlags().stopRequested = 1;
    program.join();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(rt::processFlags().threadsDone.load() & 1u, 1u);
}

TEST_F(ErrorReport, StopRequestedEndsTheProgramThreadAtTheNextCheck) {
    rt::processFlags().stopRequested = 1;
    core::errorState().eventFlag = 1;
    EXPECT_THROW(core::statementEnd(1), rt::ProgramThreadStop);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ErrorReport, FatalErrorsHaveTheirOwnCaptions) {
    struct Case {
        std::int64_t code;
        const char* caption;
        const char* text;
    };
    const Case cases[] = {
        {11, "Critical Error", "Division by zero"},
        {256, "Critical Error", "Out of stack space"},
        {257, "Critical Error #1", "Out of memory"},
        {259, "Critical Error", "Cannot find dynamic library file"},
        {261, "Critical Error", "Sub/Function does not exist in dynamic library"},
        {502, "Critical Error #2", "Out of memory"},
        {518, "Critical Error #18", "Out of memory"},
    };
    for (const Case& c : cases) {
        boxes.clear();
        EXPECT_THROW(rt::fatalError(c.code), ProcessEnded) << c.code;
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].buttons, rt::BoxButtons::ok);
    }
    // Without a fatal case of its own a code is an ordinary pending error.
    rt::fatalError(519);
    EXPECT_EQ(core::errorState().pendingError.load(), 519u);
}

TEST_F(ErrorReport, APrivateStateNeverShowsABoxNorStops) {
    rt::processFlags().stopRequested = 1; // would end the program thread at its next check
    core::ErrorState point;
    {
        core::ErrorScope scope(point);
        core::raiseError(53);
        core::statementEnd(8);
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(point.firstError.load(), 53u);
    EXPECT_EQ(point.pendingError.load(), 0u);
}

} // namespace
