// The headless front end in a whole frame: keys from a byte stream fed only as the program takes
// them, Enter in its three spellings, end of input, Ctrl+C, error boxes answered from the input,
// and the transcript.
#include "runtime/frontend_headless.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "runtime/frame.h"
#include "runtime/keyboard.h"
#include "runtime/process.h"
#include "runtime/screen.h"
#include "runtime/tones.h"

namespace {

// Owned by the program thread while the frame runs; read after runFrame has joined it.
std::vector<std::string> gLines;
int gErrorsToRaise = 0;

void collectLines() {
    rt::screen().clearScreen();
    for (int i = 0;; ++i) {
        if (i < gErrorsToRaise) {
            core::raiseError(5);
            core::statementEnd(100 + static_cast<std::uint32_t>(i));
        }
        std::string text;
        rt::lineInput(text, true);
        if (rt::processFlags().stopRequested.load() != 0) rt::stopProgramThread();
        gLines.push_back(text);
    }
}

struct Session {
    int exitCode = -1;
    std::string errors; // what went to the error stream
};

// Runs `programMain` in a frame whose headless front end reads `input` and ends with it.
Session runHeadless(const std::string& input, void (*programMain)(), const std::string& transcript = {},
                    rt::ErrorBoxPolicy policy = rt::ErrorBoxPolicy::keys) {
    rt::resetProcessForTesting();
    rt::keyQueue().clear();
    gLines.clear();

    std::string inputFile =
        (std::filesystem::temp_directory_path() / ("headless_in_" + std::to_string(::getpid()) + ".bin"))
            .string();
    std::string errorFile = inputFile + ".err";
    {
        std::ofstream out(inputFile, std::ios::binary);
        out << input;
    }
    const int in = ::open(inputFile.c_str(), O_RDONLY);
    const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Session session;
    {
        rt::HeadlessFrontend frontend(in, err, transcript);
        frontend.setErrorPolicy(policy);
        EXPECT_EQ(frontend.start(), 0);
        session.exitCode = rt::runFrame(frontend, programMain);
    }
    ::close(in);
    ::close(err);
    std::ifstream errors(errorFile, std::ios::binary);
    std::stringstream text;
    text << errors.rdbuf();
    session.errors = text.str();
    std::filesystem::remove(inputFile);
    std::filesystem::remove(errorFile);
    rt::resetProcessForTesting();
    return session;
}

using Lines = std::vector<std::string>;

TEST(HeadlessKeys, CrLfAndCrLfAreEachOneEnter) {
    const Session s = runHeadless("a\rb\nc\r\nd\n\r\n", collectLines);
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_EQ(gLines, (Lines{"a", "b", "c", "d", ""}));
}

TEST(HeadlessKeys, TypeAheadLongerThanTheQueueIsNeverDropped) {
    const std::string longLine(40, '7');
    const Session s = runHeadless(longLine + "\n" + longLine + "x\n", collectLines);
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_EQ(gLines, (Lines{longLine, longLine + "x"}));
}

TEST(HeadlessKeys, EndOfInputEndsTheProgramWhenItWaitsAgain) {
    // The last line has no Enter: the program waits for more and the input has ended.
    const Session s = runHeadless("one\ntwo", collectLines);
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_EQ(gLines, (Lines{"one"}));
    EXPECT_EQ(rt::processFlags().threadsDone.load(), 0u) << "reset after the run";
}

TEST(HeadlessKeys, CtrlCEndsTheProgramAndNothingAfterItIsRead) {
    const Session s = runHeadless("ab\x03"
                                  "cd\nef\n",
                                  collectLines);
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_TRUE(gLines.empty());
}

TEST(HeadlessBoxes, CaptionAndTextGoToTheErrorStreamAndYesGoesOn) {
    gErrorsToRaise = 1;
    const Session s = runHeadless("yfirst\n", collectLines);
    gErrorsToRaise = 0;
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_EQ(s.errors, "Unhandled Error #5\nLine:100\nIllegal function call\nContinue?\n");
    EXPECT_EQ(gLines, (Lines{"first"})) << "the answer byte is not typed";
}

TEST(HeadlessBoxes, OtherBytesAreSkippedUntilAnAnswer) {
    gErrorsToRaise = 1;
    const Session s = runHeadless("q 7Yok\n", collectLines);
    gErrorsToRaise = 0;
    EXPECT_EQ(gLines, (Lines{"ok"}));
    EXPECT_EQ(s.exitCode, 0);
}

TEST(HeadlessBoxes, EnterIsYesAndTheLineFeedOfCrLfIsPartOfIt) {
    gErrorsToRaise = 2;
    // Box 1: CR LF = Yes (one Enter). Line "a". Box 2: answered by Y. Line "b".
    const Session s = runHeadless("\r\na\nYb\n", collectLines);
    gErrorsToRaise = 0;
    EXPECT_EQ(gLines, (Lines{"a", "b"}));
}

TEST(HeadlessBoxes, TheAnswerIsTheByteAfterTheLastKeyTaken) {
    gErrorsToRaise = 2;
    // Box 1 at start: 'y'. Line "a" ends with CR LF; its LF is not an answer. Box 2: 'n' ends.
    const Session s = runHeadless("ya\r\nnb\n", collectLines);
    gErrorsToRaise = 0;
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_EQ(gLines, (Lines{"a"}));
}

TEST(HeadlessBoxes, NoEscapeAndEndOfInputEndTheProgram) {
    for (const std::string input : {"n1\n", "N1\n",
                                    "\x1b"
                                    "1\n",
                                    ""}) {
        gErrorsToRaise = 1;
        const Session s = runHeadless(input, collectLines);
        gErrorsToRaise = 0;
        EXPECT_EQ(s.exitCode, 0);
        EXPECT_TRUE(gLines.empty()) << "input " << input;
    }
}

// Without anyone to read a box: stop ends the run at once with status 3, continue answers Yes and
// takes no byte of the input, keys takes the next byte (the cases above).
TEST(HeadlessBoxes, PolicyStopEndsWithStatus3AndContinueTakesNoInput) {
    const struct {
        rt::ErrorBoxPolicy policy;
        int exitCode;
        Lines lines;
    } cases[] = {
        {rt::ErrorBoxPolicy::stop, 3, {}},
        {rt::ErrorBoxPolicy::proceed, 0, {"yes", "no"}},
        {rt::ErrorBoxPolicy::keys, 0, {"es", "no"}},
    };
    for (const auto& c : cases) {
        gErrorsToRaise = 1;
        const Session s = runHeadless("yes\nno\n", collectLines, {}, c.policy);
        gErrorsToRaise = 0;
        EXPECT_EQ(s.exitCode, c.exitCode) << static_cast<int>(c.policy);
        EXPECT_EQ(gLines, c.lines) << static_cast<int>(c.policy);
        EXPECT_EQ(s.errors.rfind("Unhandled Error #5\nLine:100\nIllegal function call\nContinue?\n", 0), 0u)
            << s.errors;
    }
}

void playPromptTonesThenWait() {
    for (int i = 0; i < 30; ++i) {
        rt::playTone(880, 0.11, true);
        core::statementEnd(200);
    }
    std::string text;
    rt::lineInput(text, true);
    if (rt::processFlags().stopRequested.load() != 0) rt::stopProgramThread();
}

// No device and no screen to pace: the tones are queued and played in order, but waiting for them
// would only slow a script down (30 tones of 110 ms are 3.3 s of silence).
TEST(HeadlessTones, WaitingTonesDoNotHoldTheProgram) {
    const auto start = std::chrono::steady_clock::now();
    const Session s = runHeadless("", playPromptTonesThenWait);
    const double elapsed_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_LT(elapsed_s, 1.5);
    EXPECT_TRUE(rt::toneGenerator().paced()) << "the frame restores pacing for the next front end";
}

void printThirtyLinesThenWait() {
    rt::screen().clearScreen();
    for (int i = 1; i <= 30; ++i)
        rt::screen().printText("line " + std::to_string(i), true);
    // A box line in code page 437: the transcript shows it in UTF-8.
    rt::screen().printText(std::string("\xC9\xCD\xBB"), true);
    std::string text;
    rt::lineInput(text, true);
    if (rt::processFlags().stopRequested.load() != 0) rt::stopProgramThread();
}

TEST(HeadlessTranscript, KeepsScrolledRowsAndTheFinalScreenInUtf8) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("transcript_" + std::to_string(::getpid()) + ".txt"))
            .string();
    const Session s = runHeadless("", printThirtyLinesThenWait, path);
    EXPECT_EQ(s.exitCode, 0);
    std::ifstream in(path);
    Lines lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::filesystem::remove(path);

    // 31 printed rows and the prompt row fill a scrolling area of 24 rows: 8 scroll off.
    ASSERT_EQ(lines.size(), 8u + 25u);
    for (int i = 1; i <= 8; ++i)
        EXPECT_EQ(lines[static_cast<std::size_t>(i - 1)], "line " + std::to_string(i));
    EXPECT_EQ(lines[8], "line 9") << "the final screen starts with the row after the last one scrolled off";
    EXPECT_EQ(lines[8 + 22], "\u2554\u2550\u2557");
    EXPECT_EQ(lines[8 + 23], "") << "trailing blanks are not written";
    EXPECT_EQ(lines[8 + 24], "") << "row 25 is part of the final screen";
}

TEST(HeadlessTranscript, ATranscriptThatCannotBeWrittenEndsWithStatus1AndAMessage) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    const Session s = runHeadless("", printThirtyLinesThenWait, "/dev/full");
    EXPECT_EQ(s.exitCode, 1);
    EXPECT_NE(s.errors.find("transcript could not be written to /dev/full"), std::string::npos) << s.errors;
}

TEST(HeadlessTranscript, UnwritableTranscriptFailsTheStart) {
    rt::HeadlessFrontend frontend(0, 2, "/nonexistent-directory/transcript.txt");
    testing::internal::CaptureStderr();
    const int code = frontend.start();
    testing::internal::GetCapturedStderr();
    EXPECT_NE(code, 0);
}

// The report file named again as the transcript, directly or through a link, is refused before
// anything is truncated: the reports in it stay.
TEST(HeadlessTranscript, TheReportFileIsRefusedUnderAnyName) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("headless_report_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string report = (dir / "CO2out.txt").string();
    std::filesystem::create_symlink("CO2out.txt", dir / "link.txt");
    for (const std::string& name :
         {report, (dir / "link.txt").string(), (dir / "." / "CO2out.txt").string()}) {
        {
            std::ofstream out(report, std::ios::binary);
            out << "earlier report\r\n";
        }
        rt::HeadlessFrontend frontend(0, 2, name);
        frontend.setReportFile(report);
        testing::internal::CaptureStderr();
        const int code = frontend.start();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(code, rt::kExitUsage) << name;
        EXPECT_NE(errors.find("--transcript " + name + " is the report file"), std::string::npos) << errors;
        std::ifstream in(report, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_EQ(text.str(), "earlier report\r\n") << name;
    }
    // Another file beside it is a transcript as before.
    rt::HeadlessFrontend other(0, 2, (dir / "t.txt").string());
    other.setReportFile(report);
    EXPECT_EQ(other.start(), 0);
    other.shutdown();
    std::filesystem::remove_all(dir);
}

// A FIFO that nobody reads fails the start at once instead of blocking before the first key.
TEST(HeadlessTranscript, AFifoWithoutAReaderFailsPromptly) {
    const std::string fifo =
        (std::filesystem::temp_directory_path() / ("headless_fifo_" + std::to_string(::getpid()))).string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    rt::HeadlessFrontend frontend(0, 2, fifo);
    testing::internal::CaptureStderr();
    std::atomic<int> code{-1};
    std::thread starter([&] { code = frontend.start(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (code.load() == -1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool prompt = code.load() != -1;
    // A blocked open is released by a reader, so that the test ends either way.
    const int reader = prompt ? -1 : ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    starter.join();
    if (reader >= 0) ::close(reader);
    const std::string errors = testing::internal::GetCapturedStderr();
    frontend.shutdown();
    std::filesystem::remove(fifo);
    EXPECT_TRUE(prompt) << "the open blocked";
    EXPECT_NE(code.load(), 0);
    EXPECT_NE(errors.find("Unable to open transcript " + fifo), std::string::npos) << errors;
}

} // namespace
