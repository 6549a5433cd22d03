#include "core/errors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Raised = std::pair<std::uint32_t, std::uint32_t>; // code, statement

// A private state, as the library and the tools run the model on: every error met at a statement
// end is recorded, offered to the observer and cleared.
class PrivateState : public ::testing::Test {
  protected:
    void SetUp() override {
        state.observer = [this](std::uint32_t code, std::uint32_t statement) {
            raised.emplace_back(code, statement);
        };
    }

    rt::ErrorState state;
    std::vector<Raised> raised;
};

TEST_F(PrivateState, FirstErrorOfAStatementWinsAndCodesBelowOneBecomeIllegalFunctionCall) {
    rt::ErrorScope scope(state);
    rt::raiseError(6);
    rt::raiseError(5);
    rt::statementEnd(3);
    rt::statementEnd(4); // nothing pending any more
    rt::raiseError(0);
    rt::statementEnd(7);
    rt::raiseError(-1);
    rt::statementEnd(8);
    rt::raiseError((std::int64_t{1} << 32) + 53); // the 32-bit slot keeps the low word
    rt::statementEnd(9);
    EXPECT_EQ(raised, (std::vector<Raised>{{6, 3}, {5, 7}, {5, 8}, {53, 9}}));
    EXPECT_EQ(state.pendingError.load(), 0u);
    EXPECT_EQ(state.statementLine.load(), 9u);
}

TEST_F(PrivateState, RecordKeepsThePointsFirstErrorUntilCleared) {
    {
        rt::ErrorScope scope(state);
        rt::statementEnd(1);
        EXPECT_EQ(state.firstOrPending(), 0u);
        rt::raiseError(rt::ErrorCode::overflow);
        rt::statementEnd(40017);
        rt::raiseError(rt::ErrorCode::internalError);
        rt::statementEnd(50003);
        rt::raiseError(rt::ErrorCode::illegalFunctionCall); // the run ends before its statement does
    }
    EXPECT_EQ(state.firstError.load(), 6u);
    EXPECT_EQ(state.firstStatement.load(), 40017u);
    EXPECT_EQ(state.firstOrPending(), 6u);
    EXPECT_EQ(state.pendingError.load(), 5u);

    state.clear();
    EXPECT_EQ(state.firstError.load(), 0u);
    EXPECT_EQ(state.firstStatement.load(), 0u);
    EXPECT_EQ(state.firstOrPending(), 0u);
    {
        rt::ErrorScope scope(state);
        rt::raiseError(rt::ErrorCode::subscriptOutOfRange);
    }
    EXPECT_EQ(state.firstOrPending(), 9u) << "an error still pending at the end counts";
    EXPECT_EQ(state.firstStatement.load(), 0u);
}

TEST_F(PrivateState, EachWorkerKeepsItsOwnState) {
    rt::resetErrorStateForTesting();
    std::thread t([&] {
        rt::ErrorScope scope(state);
        rt::raiseError(6);
        rt::statementEnd(5);
    });
    t.join();
    EXPECT_EQ(raised, (std::vector<Raised>{{6, 5}}));
    EXPECT_EQ(rt::errorState().pendingError.load(), 0u);
    EXPECT_EQ(rt::errorState().firstError.load(), 0u);
}

// Without the console runtime nobody installs a check of the process-wide state: it is checked as
// a private one, so a tool that runs the model without a scope can neither hang nor stop.
TEST(ProcessState, WithoutTheRuntimeIsCheckedAsAPrivateState) {
    rt::resetErrorStateForTesting();
    rt::raiseError(rt::ErrorCode::fileNotFound);
    rt::statementEnd(262);
    EXPECT_EQ(rt::errorState().pendingError.load(), 0u);
    EXPECT_EQ(rt::errorState().firstError.load(), 53u);
    EXPECT_EQ(rt::errorState().firstStatement.load(), 262u);
    rt::resetErrorStateForTesting();
}

TEST(ErrorMessages, NamedCodesHaveTheirTextOthersAreUnprintable) {
    EXPECT_STREQ(rt::errorMessage(rt::ErrorCode::fileNotFound), "File not found");
    EXPECT_STREQ(rt::errorMessage(313), "Source and destination memory have been freed");
    EXPECT_STREQ(rt::errorMessage(65), "Unprintable error");
    // 11 has a fatal text of its own, but raised as an ordinary error it has no message.
    EXPECT_STREQ(rt::errorMessage(11), "Unprintable error");
    EXPECT_FALSE(rt::isCriticalError(299));
    EXPECT_TRUE(rt::isCriticalError(300));
    EXPECT_TRUE(rt::isCriticalError(313));
    EXPECT_FALSE(rt::isCriticalError(314));
}

} // namespace
