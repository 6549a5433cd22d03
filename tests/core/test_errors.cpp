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

    core::ErrorState state;
    std::vector<Raised> raised;
};

TEST_F(PrivateState, FirstErrorOfAStatementWinsAndCodesBelowOneBecomeIllegalFunctionCall) {
    core::ErrorScope scope(state);
    core::raiseError(6);
    core::raiseError(5);
    core::statementEnd(3);
    core::statementEnd(4); // nothing pending any more
    core::raiseError(0);
    core::statementEnd(7);
    core::raiseError(-1);
    core::statementEnd(8);
    core::raiseError((std::int64_t{1} << 32) + 53); // the 32-bit slot keeps the low word
    core::statementEnd(9);
    EXPECT_EQ(raised, (std::vector<Raised>{{6, 3}, {5, 7}, {5, 8}, {53, 9}}));
    EXPECT_EQ(state.pendingError.load(), 0u);
    EXPECT_EQ(state.statementLine.load(), 9u);
}

TEST_F(PrivateState, RecordKeepsThePointsFirstErrorUntilCleared) {
    {
        core::ErrorScope scope(state);
        core::statementEnd(1);
        EXPECT_EQ(state.firstOrPending(), 0u);
        core::raiseError(core::ErrorCode::overflow);
        core::statementEnd(40017);
        core::raiseError(core::ErrorCode::internalError);
        core::statementEnd(50003);
        core::raiseError(core::ErrorCode::illegalFunctionCall); // the run ends before its statement does
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
        core::ErrorScope scope(state);
        core::raiseError(core::ErrorCode::subscriptOutOfRange);
    }
    EXPECT_EQ(state.firstOrPending(), 9u) << "an error still pending at the end counts";
    EXPECT_EQ(state.firstStatement.load(), 0u);
}

TEST_F(PrivateState, EachWorkerKeepsItsOwnState) {
    core::resetErrorStateForTesting();
    std::thread t([&] {
        core::ErrorScope scope(state);
        core::raiseError(6);
        core::statementEnd(5);
    });
    t.join();
    EXPECT_EQ(raised, (std::vector<Raised>{{6, 5}}));
    EXPECT_EQ(core::errorState().pendingError.load(), 0u);
    EXPECT_EQ(core::errorState().firstError.load(), 0u);
}

// Without the console runtime nobody installs a check of the process-wide state: it is checked as
// a private one, so a tool that runs the model without a scope can neither hang nor stop.
TEST(ProcessState, WithoutTheRuntimeIsCheckedAsAPrivateState) {
    core::resetErrorStateForTesting();
    core::raiseError(core::ErrorCode::fileNotFound);
    core::statementEnd(262);
    EXPECT_EQ(core::errorState().pendingError.load(), 0u);
    EXPECT_EQ(core::errorState().firstError.load(), 53u);
    EXPECT_EQ(core::errorState().firstStatement.load(), 262u);
    core::resetErrorStateForTesting();
}

TEST(ErrorMessages, NamedCodesHaveTheirTextOthersAreUnprintable) {
    EXPECT_STREQ(core::errorMessage(core::ErrorCode::fileNotFound), "File not found");
    EXPECT_STREQ(core::errorMessage(313), "Source and destination memory have been freed");
    EXPECT_STREQ(core::errorMessage(65), "Unprintable error");
    // 11 has a fatal text of its own, but raised as an ordinary error it has no message.
    EXPECT_STREQ(core::errorMessage(11), "Unprintable error");
    EXPECT_FALSE(core::isCriticalError(299));
    EXPECT_TRUE(core::isCriticalError(300));
    EXPECT_TRUE(core::isCriticalError(313));
    EXPECT_FALSE(core::isCriticalError(314));
}

} // namespace
