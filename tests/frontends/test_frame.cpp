// The key rules, the message-box hand-over, the command line and the whole frame run with a
// scripted front end and small program main routines.
#include "runtime/frame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "runtime/files.h"
#include "runtime/keyboard.h"
#include "runtime/process.h"
#include "runtime/screen.h"

namespace {

using namespace std::chrono_literals;

void resetRuntime() {
    rt::resetProcessForTesting();
    rt::keyQueue().clear();
}

std::vector<rt::KeyEntry> drainQueue() {
    std::vector<rt::KeyEntry> entries;
    for (;;) {
        const std::string key = rt::keyQueue().pollKey();
        if (key.empty()) return entries;
        if (key.size() == 1) {
            entries.push_back({static_cast<std::uint8_t>(key[0]), 0});
        } else {
            entries.push_back({0, static_cast<std::uint8_t>(key[1])});
        }
    }
}

rt::KeyEvent character(std::uint8_t c) {
    rt::KeyEvent key;
    key.character = c;
    if (c == 13) key.name = rt::KeyName::enter;
    return key;
}

rt::KeyEvent named(rt::KeyName name, bool ctrl = false, bool alt = false) {
    rt::KeyEvent key;
    key.name = name;
    key.ctrl = ctrl;
    key.alt = alt;
    return key;
}

class KeyRules : public ::testing::Test {
  protected:
    void SetUp() override { resetRuntime(); }
    void TearDown() override { resetRuntime(); }
};

TEST_F(KeyRules, BreakCtrlScrollLockCtrlF15AndCtrlCEndTheProgramWithoutQueueing) {
    const rt::KeyEvent enders[] = {named(rt::KeyName::breakKey), named(rt::KeyName::scrollLock, true),
                                   named(rt::KeyName::f15, true), character(3)};
    for (const rt::KeyEvent& key : enders) {
        rt::processFlags().closeRequested.store(0);
        EXPECT_EQ(rt::dispatchKey(key), rt::KeyOutcome::closeRequested);
        EXPECT_EQ(rt::processFlags().closeRequested.load(), 1);
    }
    EXPECT_TRUE(rt::keyQueue().empty());
}

TEST_F(KeyRules, ScrollLockAndF15WithoutCtrlEndNothing) {
    rt::KeyEvent f15 = named(rt::KeyName::f15);
    EXPECT_EQ(rt::dispatchKey(named(rt::KeyName::scrollLock)), rt::KeyOutcome::ignored);
    EXPECT_EQ(rt::dispatchKey(f15), rt::KeyOutcome::ignored);
    EXPECT_EQ(rt::processFlags().closeRequested.load(), 0);
}

TEST_F(KeyRules, PauseSuspendsAndTheNextKeyResumesAndIsConsumed) {
    EXPECT_EQ(rt::dispatchKey(named(rt::KeyName::pause)), rt::KeyOutcome::suspended);
    EXPECT_EQ(rt::processFlags().suspendRequested.load() & 1, 1u);
    EXPECT_NE(core::errorState().eventFlag.load(), 0u)
        << "the program thread must look at its next statement";

    EXPECT_EQ(rt::dispatchKey(named(rt::KeyName::modifier)), rt::KeyOutcome::ignored)
        << "a modifier alone is no key and does not resume";
    EXPECT_EQ(rt::processFlags().suspendRequested.load() & 1, 1u);

    EXPECT_EQ(rt::dispatchKey(character('a')), rt::KeyOutcome::resumed);
    EXPECT_EQ(rt::processFlags().suspendRequested.load() & 1, 0u);
    EXPECT_TRUE(rt::keyQueue().empty()) << "the resuming key is not typed";

    EXPECT_EQ(rt::dispatchKey(character('b')), rt::KeyOutcome::queued);
    const auto entries = drainQueue();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].character, 'b');
}

TEST_F(KeyRules, CtrlNumLockSuspendsAndCtrlCStillEndsWhileSuspended) {
    EXPECT_EQ(rt::dispatchKey(named(rt::KeyName::numLock, true)), rt::KeyOutcome::suspended);
    EXPECT_EQ(rt::dispatchKey(character(3)), rt::KeyOutcome::closeRequested);
    EXPECT_EQ(rt::processFlags().closeRequested.load(), 1);
}

TEST_F(KeyRules, ToneWaitBitSurvivesPauseAndResume) {
    rt::processFlags().suspendRequested.store(2); // the program thread waits for a tone
    rt::dispatchKey(named(rt::KeyName::pause));
    rt::dispatchKey(character('x'));
    EXPECT_EQ(rt::processFlags().suspendRequested.load(), 2u);
}

TEST_F(KeyRules, AltEnterIsConsumedAndEnterIsCharacter13) {
    EXPECT_EQ(rt::dispatchKey(named(rt::KeyName::enter, false, true)), rt::KeyOutcome::toggleFullScreen);
    EXPECT_TRUE(rt::keyQueue().empty());
    EXPECT_EQ(rt::dispatchKey(character(13)), rt::KeyOutcome::queued);
    const auto entries = drainQueue();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].character, 13);
}

TEST_F(KeyRules, KeysWithoutCharacterQueueTheirExtendedCode) {
    rt::KeyEvent up;
    up.extended = rt::scan::up;
    EXPECT_EQ(rt::dispatchKey(up), rt::KeyOutcome::queued);
    const auto entries = drainQueue();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].character, 0);
    EXPECT_EQ(entries[0].extended, 72);
}

TEST_F(KeyRules, SixteenthWaitingKeyIsDropped) {
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(rt::dispatchKey(character(static_cast<std::uint8_t>('a' + i))), rt::KeyOutcome::queued);
    EXPECT_EQ(rt::dispatchKey(character('z')), rt::KeyOutcome::dropped);
    const auto entries = drainQueue();
    ASSERT_EQ(entries.size(), 15u);
    EXPECT_EQ(entries.front().character, 'a');
    EXPECT_EQ(entries.back().character, 'a' + 14);
}

// Extended codes of the IBM PC keyboard BIOS (published scan-code tables).
TEST(ScanCodes, FunctionKeysFollowThePcBiosTable) {
    using rt::scan::functionKey;
    EXPECT_EQ(functionKey(1, {}), 59);
    EXPECT_EQ(functionKey(10, {}), 68);
    EXPECT_EQ(functionKey(11, {}), 133);
    EXPECT_EQ(functionKey(12, {}), 134);
    EXPECT_EQ(functionKey(1, {.shift = true}), 84);
    EXPECT_EQ(functionKey(1, {.ctrl = true}), 94);
    EXPECT_EQ(functionKey(10, {.alt = true}), 113);
    EXPECT_EQ(functionKey(12, {.shift = true}), 136);
    EXPECT_EQ(functionKey(12, {.ctrl = true}), 138);
    EXPECT_EQ(functionKey(12, {.alt = true}), 140);
    EXPECT_EQ(functionKey(0, {}), 0);
    EXPECT_EQ(functionKey(13, {}), 0);
}

TEST(ScanCodes, AltLettersAndDigitsUseTheKeyPositions) {
    using rt::scan::altCharacter;
    EXPECT_EQ(altCharacter('q'), 16);
    EXPECT_EQ(altCharacter('P'), 25);
    EXPECT_EQ(altCharacter('a'), 30);
    EXPECT_EQ(altCharacter('x'), 45);
    EXPECT_EQ(altCharacter('m'), 50);
    EXPECT_EQ(altCharacter('1'), 120);
    EXPECT_EQ(altCharacter('0'), 129);
    EXPECT_EQ(altCharacter('#'), 0);
    EXPECT_EQ(altCharacter('\0'), 0);
}

// ---- message-box hand-over ----------------------------------------------------------------------

TEST(BoxChannel, ProgramThreadWaitsForTheMainThreadsAnswer) {
    resetRuntime();
    rt::BoxChannel channel;
    std::atomic<int> answer{-1};
    std::thread program([&] {
        answer.store(static_cast<int>(channel.ask("Caption", "Line:1\nText", rt::BoxButtons::yesNo)));
    });
    rt::BoxChannel::Request request;
    while (!channel.pending(&request))
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(request.caption, "Caption");
    EXPECT_EQ(request.text, "Line:1\nText");
    EXPECT_EQ(answer.load(), -1);
    channel.answer(rt::BoxAnswer::yes);
    program.join();
    EXPECT_EQ(answer.load(), static_cast<int>(rt::BoxAnswer::yes));
    EXPECT_FALSE(channel.pending());
}

TEST(BoxChannel, ShutdownReleasesAnUnansweredBoxWithNo) {
    resetRuntime();
    rt::BoxChannel channel;
    std::atomic<int> answer{-1};
    std::thread program(
        [&] { answer.store(static_cast<int>(channel.ask("C", "T", rt::BoxButtons::yesNo))); });
    while (!channel.pending())
        std::this_thread::sleep_for(1ms);
    rt::processFlags().stopRequested.store(1);
    program.join();
    EXPECT_EQ(answer.load(), static_cast<int>(rt::BoxAnswer::no));
    resetRuntime();
}

// ---- command line -----------------------------------------------------------------------------------

rt::FrontendOptions parse(std::vector<const char*> args) {
    args.insert(args.begin(), "co2calc");
    return rt::parseFrontendOptions(static_cast<int>(args.size()), args.data());
}

TEST(FrontendOptions, FlagsChooseTheFrontEnd) {
    EXPECT_EQ(parse({}).kind, rt::FrontendKind::automatic);
    EXPECT_EQ(parse({"--window"}).kind, rt::FrontendKind::window);
    EXPECT_EQ(parse({"--terminal"}).kind, rt::FrontendKind::terminal);
    const rt::FrontendOptions headless = parse({"--headless", "--transcript", "t.txt"});
    EXPECT_EQ(headless.kind, rt::FrontendKind::headless);
    EXPECT_EQ(headless.transcriptPath, "t.txt");
    EXPECT_TRUE(headless.error.empty());
    EXPECT_EQ(parse({"--transcript=u.txt", "--headless"}).transcriptPath, "u.txt");
    EXPECT_EQ(parse({"--headless"}).onError, rt::ErrorBoxPolicy::stop) << "a script stops at the first box";
    EXPECT_EQ(parse({"--on-error", "continue"}).onError, rt::ErrorBoxPolicy::proceed);
    EXPECT_EQ(parse({"--headless", "--on-error=keys"}).onError, rt::ErrorBoxPolicy::keys);
    EXPECT_EQ(parse({"--on-error=stop", "--headless"}).onError, rt::ErrorBoxPolicy::stop);
}

TEST(FrontendOptions, MistakesAreReportedNotGuessed) {
    EXPECT_FALSE(parse({"--windw"}).error.empty());
    EXPECT_FALSE(parse({"--window", "--terminal"}).error.empty());
    EXPECT_FALSE(parse({"--headless", "--transcript"}).error.empty());
    EXPECT_FALSE(parse({"--transcript="}).error.empty());
    EXPECT_FALSE(parse({"--terminal", "--transcript", "t.txt"}).error.empty());
    for (const char* wrong : {"--on-error", "--on-error=", "--on-error=yes"})
        EXPECT_FALSE(parse({"--headless", wrong}).error.empty()) << wrong;
    EXPECT_FALSE(parse({"--window", "--on-error", "keys"}).error.empty());
    EXPECT_TRUE(parse({"--headless", "--headless"}).error.empty());
}

TEST(FrontendOptions, ScaleIsAWholeNumberFrom1To16ForTheWindow) {
    EXPECT_EQ(parse({}).scale, 0) << "0: from the display size";
    EXPECT_EQ(parse({"--scale", "3"}).scale, 3);
    EXPECT_EQ(parse({"--window", "--scale=16"}).scale, 16);
    EXPECT_EQ(parse({"--scale", "1", "--window"}).kind, rt::FrontendKind::window);
    for (const char* bad : {"0", "-1", "1.5", "abc", "17", "99999999999999999999", "2x", " 2", ""}) {
        const rt::FrontendOptions options = parse({"--scale", bad});
        EXPECT_NE(options.error.find(std::string("'") + bad + "'"), std::string::npos)
            << "--scale " << bad << ": " << options.error;
    }
    EXPECT_FALSE(parse({"--scale"}).error.empty());
    EXPECT_FALSE(parse({"--terminal", "--scale", "2"}).error.empty());
    EXPECT_FALSE(parse({"--scale=2", "--headless"}).error.empty());
}

// ---- the whole frame ---------------------------------------------------------------------------------

// A front end driven by the test: keys to dispatch on event passes, answers for boxes, and a
// record of what the frame asked of it.
class ScriptedFrontend : public rt::Frontend {
  public:
    const char* name() const override { return "scripted"; }
    int start() override { return 0; }
    void refresh(const rt::ScreenImage& screen) override {
        std::lock_guard lock(mutex);
        last = screen;
        ++refreshes;
    }
    rt::EventsResult handleEvents() override {
        std::lock_guard lock(mutex);
        ++eventPasses;
        if (!keys.empty() && rt::keyQueue().empty()) {
            rt::dispatchKey(keys.front());
            keys.erase(keys.begin());
        }
        if (closeAfterPasses > 0 && eventPasses >= closeAfterPasses) return rt::EventsResult::closeWindow;
        return rt::EventsResult::running;
    }
    rt::BoxAnswer messageBox(const std::string& caption, const std::string& text,
                             rt::BoxButtons buttons) override {
        std::lock_guard lock(mutex);
        boxes.push_back(caption + "|" + text);
        return buttons == rt::BoxButtons::ok ? rt::BoxAnswer::ok : boxAnswer;
    }
    void shutdown() override {
        std::lock_guard lock(mutex);
        ++shutdowns;
        filesOpenAtShutdown = rt::files().isOpen(1);
    }

    std::mutex mutex;
    std::vector<rt::KeyEvent> keys;
    int closeAfterPasses = 0;
    rt::BoxAnswer boxAnswer = rt::BoxAnswer::yes;
    std::vector<std::string> boxes;
    rt::ScreenImage last;
    int refreshes = 0;
    int eventPasses = 0;
    int shutdowns = 0;
    bool filesOpenAtShutdown = true;
};

// State shared with the program main routines below (plain functions, as the frame takes).
std::vector<std::string> gTyped;
std::string gFilePath;

void typeLinesForEver() {
    rt::screen().clearScreen();
    rt::screen().printText("Type lines", true);
    rt::files().openForAppend(gFilePath, 1);
    for (;;) {
        std::string text;
        rt::lineInput(text, true);
        if (rt::processFlags().stopRequested.load() != 0) rt::stopProgramThread();
        gTyped.push_back(text);
        rt::files().writeToFile(1, text, true);
    }
}

class Frame : public ::testing::Test {
  protected:
    void SetUp() override {
        resetRuntime();
        gTyped.clear();
        gFilePath = (std::filesystem::temp_directory_path() /
                     ("frame_test_" + std::to_string(::getpid()) + "_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt"))
                        .string();
        std::filesystem::remove(gFilePath);
    }
    void TearDown() override {
        resetRuntime();
        std::filesystem::remove(gFilePath);
    }
};

std::vector<rt::KeyEvent> keysOf(const std::string& text) {
    std::vector<rt::KeyEvent> keys;
    for (char c : text)
        keys.push_back(character(static_cast<std::uint8_t>(c)));
    return keys;
}

TEST_F(Frame, WindowCloseWhileWaitingForInputEndsWithZeroAndClosedFiles) {
    ScriptedFrontend frontend;
    frontend.keys = keysOf("ab\r");
    frontend.closeAfterPasses = 12;
    const int code = rt::runFrame(frontend, typeLinesForEver);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(gTyped, std::vector<std::string>{"ab"});
    EXPECT_EQ(rt::processFlags().threadsDone.load(), 3u);
    EXPECT_EQ(frontend.shutdowns, 1);
    EXPECT_FALSE(frontend.filesOpenAtShutdown) << "files are closed before the front end goes";
    EXPECT_FALSE(rt::files().isOpen(1));
    std::FILE* f = std::fopen(gFilePath.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, f), 4u);
    std::fclose(f);
    EXPECT_EQ(std::string(buffer, 4), "ab\r\n");
    // The final picture reached the front end after the program thread ended.
    EXPECT_EQ(frontend.last.at(1, 1).character, 'T');
}

TEST_F(Frame, CtrlCEndsTheProgramInOrderAtAPrompt) {
    ScriptedFrontend frontend;
    frontend.keys = keysOf("12");
    frontend.keys.push_back(character(3));
    frontend.keys.push_back(character('\r'));
    frontend.closeAfterPasses = 60; // only reached if Ctrl+C failed to end the program
    const int code = rt::runFrame(frontend, typeLinesForEver);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(gTyped.empty()) << "Ctrl+C is not typed and the Enter after it is never read";
    EXPECT_FALSE(rt::files().isOpen(1));
    EXPECT_EQ(rt::processFlags().threadsDone.load(), 3u);
}

void raiseThenType() {
    core::raiseError(5);
    core::statementEnd(41);
    gTyped.push_back("went on");
    for (;;) {
        std::string text;
        rt::lineInput(text, true);
        if (rt::processFlags().stopRequested.load() != 0) rt::stopProgramThread();
        gTyped.push_back(text);
    }
}

TEST_F(Frame, ErrorBoxAnsweredNoEndsTheProgramWithZero) {
    ScriptedFrontend frontend;
    frontend.boxAnswer = rt::BoxAnswer::no;
    frontend.closeAfterPasses = 60; // only reached if No failed to end the program
    EXPECT_EQ(rt::runFrame(frontend, raiseThenType), 0);
    ASSERT_EQ(frontend.boxes.size(), 1u);
    EXPECT_EQ(frontend.boxes[0], "Unhandled Error #5|Line:41\nIllegal function call\nContinue?");
    EXPECT_TRUE(gTyped.empty());
}

TEST_F(Frame, ErrorBoxAnsweredYesGoesOn) {
    ScriptedFrontend frontend;
    frontend.keys = keysOf("z\r");
    frontend.closeAfterPasses = 12;
    EXPECT_EQ(rt::runFrame(frontend, raiseThenType), 0);
    EXPECT_EQ(gTyped, (std::vector<std::string>{"went on", "z"}));
}

void endWithSeven() {
    rt::files().openForAppend(gFilePath, 1);
    rt::endProcess(7);
}

TEST_F(Frame, ProcessEndOnTheProgramThreadTakesTheOrderlyPath) {
    ScriptedFrontend frontend;
    frontend.closeAfterPasses = 60;
    EXPECT_EQ(rt::runFrame(frontend, endWithSeven), 7);
    EXPECT_EQ(frontend.shutdowns, 1);
    EXPECT_FALSE(frontend.filesOpenAtShutdown);
}

void divideByZeroSignal() {
    rt::files().openForAppend(gFilePath, 1);
    std::raise(SIGFPE); // what an integer division by zero delivers
    gTyped.push_back("after the signal");
}

TEST_F(Frame, FatalErrorInsideTheSignalHandlerStillEndsInOrder) {
    ScriptedFrontend frontend;
    frontend.closeAfterPasses = 60;
    EXPECT_EQ(rt::runFrame(frontend, divideByZeroSignal), 0);
    ASSERT_EQ(frontend.boxes.size(), 1u);
    EXPECT_EQ(frontend.boxes[0], "Critical Error|Division by zero");
    EXPECT_FALSE(frontend.filesOpenAtShutdown);
    EXPECT_TRUE(gTyped.empty());
}

void returnAtOnce() {}

TEST_F(Frame, AMainRoutineThatReturnsEndsTheProcess) {
    ScriptedFrontend frontend;
    EXPECT_EQ(rt::runFrame(frontend, returnAtOnce), 0);
    EXPECT_EQ(rt::processFlags().threadsDone.load(), 3u);
}

std::atomic<std::uint64_t> gRefreshesWhileHeld{0};

void holdTheMainLoop() {
    rt::pauseHandshake().store(1);
    while (rt::pauseHandshake().load() != 2)
        std::this_thread::sleep_for(1ms);
    const std::uint64_t before = rt::refreshCount();
    std::this_thread::sleep_for(100ms);
    gRefreshesWhileHeld.store(rt::refreshCount() - before);
    rt::pauseHandshake().store(0);
    std::this_thread::sleep_for(100ms);
}

TEST_F(Frame, PauseHandshakeHoldsTheMainLoopUntilReleased) {
    ScriptedFrontend frontend;
    gRefreshesWhileHeld.store(99);
    EXPECT_EQ(rt::runFrame(frontend, holdTheMainLoop), 0);
    EXPECT_EQ(gRefreshesWhileHeld.load(), 0u);
    EXPECT_GT(frontend.refreshes, 2) << "painting resumes after the hold";
}

TEST_F(Frame, SigtermTakesTheOrderlyPath) {
    ScriptedFrontend frontend;
    frontend.closeAfterPasses = 60;
    std::thread killer([] {
        std::this_thread::sleep_for(100ms);
        std::raise(SIGTERM);
    });
    const int code = rt::runFrame(frontend, typeLinesForEver);
    killer.join();
    EXPECT_EQ(code, 128 + SIGTERM) << "as shells expect of a process ended by a signal";
    EXPECT_FALSE(rt::files().isOpen(1));
    EXPECT_EQ(frontend.shutdowns, 1);
}

TEST(Clock, TimeOfDayFollowsTheBaseAndWrapsAtMidnight) {
    rt::synchroniseClock();
    const rt::ClockBase base = rt::clockBase();
    EXPECT_GE(base.timeOfDay_ms, 0);
    EXPECT_LT(base.timeOfDay_ms, 86'400'000);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::int64_t expected = (local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec) * 1000LL;
    // The wall clock and the base agree to within the second the two readings may straddle.
    const std::int64_t difference = (rt::timeOfDay_ms() - expected + 86'400'000) % 86'400'000;
    EXPECT_TRUE(difference < 2000 || difference > 86'400'000 - 2000) << difference;
}

} // namespace
