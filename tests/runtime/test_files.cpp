#include "runtime/files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/errors.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Set in the environment of the copy of this binary that runs one case as an unprivileged user.
constexpr const char* kReadOnlyFileVariable = "CO2_TEST_READ_ONLY_FILE";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::tm fixedTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

class FileTable : public ::testing::Test {
  protected:
    void SetUp() override {
        core::resetErrorStateForTesting();
        std::string pattern = (fs::temp_directory_path() / "co2files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        table.closeAll();
        rt::setLocalTimeSource(nullptr);
        core::resetErrorStateForTesting();
        std::error_code ignored;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }

    static std::uint32_t pending() { return core::errorState().pendingError.load(); }
    // Reads and clears the pending error, so that the next operation runs.
    static std::uint32_t takeError() {
        const std::uint32_t code = pending();
        core::resetErrorStateForTesting();
        return code;
    }

    fs::path dir;
    rt::FileTable table;
};

TEST_F(FileTable, OpeningCreatesAMissingFileAndKeepsTheContentOfAnExistingOne) {
    const fs::path fresh = dir / "fresh.txt";
    table.openForAppend(fresh.string(), 1);
    ASSERT_EQ(pending(), 0u);
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_EQ(fs::file_size(fresh), 0u);

    const fs::path old = dir / "CO2out.txt";
    writeAll(old, "earlier run\r\n");
    table.openForAppend(old.string(), 2);
    table.writeToFile(2, "this run", true);
    ASSERT_EQ(pending(), 0u);
    EXPECT_EQ(readAll(old), "earlier run\r\nthis run\r\n");

    // A second run appends after the first one's lines.
    table.closeFile(2);
    table.openForAppend(old.string(), 2);
    table.writeToFile(2, "next run", true);
    EXPECT_EQ(readAll(old), "earlier run\r\nthis run\r\nnext run\r\n");
    EXPECT_EQ(pending(), 0u);
}

TEST_F(FileTable, LinesReachTheFileWholeWithTheirCrLfWhenTheCallReturns) {
    const fs::path path = dir / "out.txt";
    table.openForAppend(path.string(), 1);
    table.writeToFile(1, " Temperature (in C) = ", false);
    EXPECT_EQ(readAll(path), "") << "a line goes out whole, with its end";
    table.writeToFile(1, "  25.000", true);
    table.writeToFile(1, "", true);
    EXPECT_EQ(readAll(path), " Temperature (in C) =   25.000\r\n\r\n");
    EXPECT_EQ(table.position(1), 34);
    // Closing writes an unfinished line as it is: it shows where the run stopped.
    table.writeToFile(1, " At finite concentration =  ", false);
    table.closeFile(1);
    EXPECT_EQ(readAll(path), " Temperature (in C) =   25.000\r\n\r\n At finite concentration =  ");
    EXPECT_EQ(pending(), 0u);
    EXPECT_EQ(table.failures(), 0);
}

// Every line in one write() call: O_APPEND keeps each call whole, so processes appending to the
// same file interleave whole lines. Each writer sends its lines in three pieces, as the report does.
TEST_F(FileTable, ConcurrentWritersInterleaveOnlyWholeLines) {
    const fs::path path = dir / "CO2out.txt";
    constexpr int kWriters = 4;
    constexpr int kLines = 2000;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            rt::FileTable own;
            own.openForAppend(path.string(), 1);
            for (int i = 0; i < kLines; ++i) {
                own.writeToFile(1, "writer " + std::to_string(w) + " = ", false);
                own.writeToFile(1, std::string(20, static_cast<char>('a' + w)), false);
                own.writeToFile(1, "", true);
            }
            ::_exit(core::errorState().pendingError.load() == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string text = readAll(path);
    int counts[kWriters] = {};
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = text.substr(start, end - start);
        const int w = line.size() > 7 ? line[7] - '0' : -1;
        ASSERT_TRUE(w >= 0 && w < kWriters &&
                    line ==
                        "writer " + std::to_string(w) + " = " + std::string(20, static_cast<char>('a' + w)))
            << "torn line: " << line;
        ++counts[w];
    }
    EXPECT_EQ(start, text.size()) << "the file ends with a whole line";
    for (const int count : counts)
        EXPECT_EQ(count, kLines);
}

// A file whose last line has no end (a run killed mid-line, or closed at a prompt) gets one before
// the next line; a file ending in a line end, or empty, is continued as it is.
TEST_F(FileTable, ANewLineNeverContinuesAnUnfinishedOne) {
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"", "new\r\n"},
        {"old\r\n", "old\r\nnew\r\n"},
        {"old\r\n torn li", "old\r\n torn li\r\nnew\r\n"},
        {" At finite concentration =  ", " At finite concentration =  \r\nnew\r\n"},
    };
    for (const auto& c : cases) {
        const fs::path path = dir / "CO2out.txt";
        writeAll(path, c.before);
        table.openForAppend(path.string(), 1);
        table.writeToFile(1, "new", true);
        table.closeFile(1);
        EXPECT_EQ(readAll(path), c.after) << c.before;
        EXPECT_EQ(pending(), 0u);
    }
}

// An editor that saves by rename, a rotation that moves the file away or a removal: the next line
// goes to the file that the path names now.
TEST_F(FileTable, ReplacedOrRemovedFileIsOpenedAgainAtTheNextLine) {
    const fs::path path = dir / "CO2out.txt";
    const fs::path moved = dir / "CO2out.txt.1";
    table.openForAppend(path.string(), 1);
    table.writeToFile(1, "first", true);
    fs::rename(path, moved);
    table.writeToFile(1, "second", true);
    EXPECT_EQ(readAll(moved), "first\r\n");
    EXPECT_EQ(readAll(path), "second\r\n") << "a missing file is created again";

    writeAll(dir / "edited", "first\r\nsecond\r\nnote\r\n");
    fs::rename(dir / "edited", path);
    table.writeToFile(1, "third", false);
    table.writeToFile(1, "", true);
    EXPECT_EQ(readAll(path), "first\r\nsecond\r\nnote\r\nthird\r\n");

    fs::remove(path);
    fs::create_directory(path);
    table.writeToFile(1, "fourth", true);
    EXPECT_EQ(takeError(), 70u) << "the path names a directory now: the line is lost, and said so";
    EXPECT_EQ(table.failures(), 1);
}

// RLIMIT_FSIZE makes a small disk for one process: write() takes what fits, then fails with EFBIG.
// The child takes the limit (and SIGXFSZ ignored); the parent reads what it left.
TEST_F(FileTable, ALineThatDoesNotFitIsTakenBackAndIsDiskFull) {
    const fs::path path = dir / "CO2out.txt";
    const std::string line(40, 'x'); // 42 bytes with its end: two fit under 100, the third does not
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlim_t unlimited = limit.rlim_cur;
        limit.rlim_cur = 100;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        rt::FileTable own;
        own.openForAppend(path.string(), 1);
        for (int i = 0; i < 3; ++i) {
            own.writeToFile(1, line.substr(0, 10), false);
            own.writeToFile(1, line.substr(10), true);
        }
        const std::uint32_t code = core::errorState().pendingError.load();
        const bool counted = own.failures() == 1 && own.column(1) == 1;
        core::resetErrorStateForTesting();
        limit.rlim_cur = unlimited; // room again
        ::setrlimit(RLIMIT_FSIZE, &limit);
        own.writeToFile(1, "after", true);
        ::_exit(counted ? static_cast<int>(code) : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 61) << "Disk full";
    EXPECT_EQ(readAll(path), line + "\r\n" + line + "\r\nafter\r\n");
}

TEST_F(FileTable, ColumnFollowsTheWrittenBytes) {
    const fs::path path = dir / "out.txt";
    writeAll(path, "a line without its end");
    table.openForAppend(path.string(), 1);
    EXPECT_EQ(table.column(1), 1) << "the column starts at 1 whatever the file holds";
    EXPECT_EQ(table.columnMove(1, 46), std::string(45, ' '));

    table.writeToFile(1, "abc", false);
    EXPECT_EQ(table.column(1), 4);
    EXPECT_EQ(table.columnMove(1, 4), "");
    EXPECT_EQ(table.columnMove(1, 10), std::string(6, ' '));
    table.writeToFile(1, "x\r", false);
    EXPECT_EQ(table.column(1), 1) << "CR returns to column 1";
    table.writeToFile(1, "yz\n", false);
    EXPECT_EQ(table.column(1), 3) << "LF leaves the column";
    table.writeToFile(1, "tail", true);
    EXPECT_EQ(table.column(1), 1);

    // Left of the current column the move starts a new line; n below 1 counts as 1.
    table.writeToFile(1, "12345", false);
    EXPECT_EQ(table.columnMove(1, 3), "\r\n  ");
    EXPECT_EQ(table.columnMove(1, 0), "\r\n");
    EXPECT_EQ(table.columnMove(1, -7), "\r\n");
    table.writeToFile(1, table.columnMove(1, 3), false);
    EXPECT_EQ(table.column(1), 3);
    EXPECT_EQ(pending(), 0u);
}

TEST_F(FileTable, HeaderLineOfARunIsLaidOutWithTheDateAndTimeTexts) {
    rt::setLocalTimeSource([](std::tm& t) {
        t = fixedTime(2026, 3, 5, 7, 8, 9);
        return true;
    });
    const fs::path path = dir / "CO2out.txt";
    table.openForAppend(path.string(), 1);
    table.writeToFile(1, table.columnMove(1, 46), false);
    table.writeToFile(1, "  Date " + rt::dateText() + "  Time  " + rt::timeText(), true);
    EXPECT_EQ(readAll(path), std::string(45, ' ') + "  Date 03-05-2026  Time  07:08:09\r\n");
    EXPECT_EQ(pending(), 0u);
}

TEST_F(FileTable, OpenFailuresAreMappedByMeaningAndLeaveTheNumberFree) {
    table.openForAppend((dir / "missing" / "CO2out.txt").string(), 1);
    EXPECT_EQ(takeError(), 76u) << "directory that does not exist";
    EXPECT_FALSE(table.isOpen(1));
    table.writeToFile(1, "lost?", true);
    EXPECT_EQ(takeError(), 52u) << "a failed open leaves the number free";

    writeAll(dir / "plain", "");
    table.openForAppend((dir / "plain" / "CO2out.txt").string(), 1);
    EXPECT_EQ(takeError(), 76u) << "a file where a directory should be";

    table.openForAppend(dir.string(), 1);
    EXPECT_EQ(takeError(), 70u) << "a directory cannot be written as a file";

    table.openForAppend("", 1);
    EXPECT_EQ(takeError(), 76u);

    table.openForAppend((dir / "a").string() + std::string(1, '\0') + "b", 1);
    EXPECT_EQ(takeError(), 64u);
    EXPECT_FALSE(fs::exists(dir / "a")) << "the name is not cut at the NUL";
}

TEST_F(FileTable, FifoWithoutAReaderFailsInsteadOfHanging) {
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    table.openForAppend(fifo.string(), 1);
    EXPECT_EQ(takeError(), 68u);
    EXPECT_FALSE(table.isOpen(1));
}

TEST_F(FileTable, FileNumbersAndSerialPortNamesAreChecked) {
    const std::string path = (dir / "out.txt").string();
    for (const int number : {0, -1, 256}) {
        table.openForAppend(path, number);
        EXPECT_EQ(takeError(), 52u) << number;
        table.writeToFile(number, "x", true);
        EXPECT_EQ(takeError(), 52u) << number;
        table.columnMove(number, 5);
        EXPECT_EQ(takeError(), 52u) << number;
    }
    table.openForAppend(path, 255);
    EXPECT_EQ(takeError(), 0u);
    table.openForAppend(path, 255);
    EXPECT_EQ(takeError(), 55u);
    table.writeToFile(3, "x", true);
    EXPECT_EQ(takeError(), 52u) << "never opened";

    table.openForAppend("com1:9600,N,8,1", 4);
    EXPECT_EQ(takeError(), 68u) << "no serial ports here";
    table.openForAppend("COM0:", 4);
    EXPECT_EQ(takeError(), 64u);
    table.openForAppend("COM256:", 4);
    EXPECT_EQ(takeError(), 64u);
}

TEST_F(FileTable, WriteFailureIsReportedAndTheColumnKept) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    table.openForAppend("/dev/full", 1);
    ASSERT_EQ(takeError(), 0u);
    table.writeToFile(1, "abc", true);
    EXPECT_EQ(takeError(), 61u) << "a device with no space left is a full disk";
    EXPECT_EQ(table.column(1), 1);
}

TEST_F(FileTable, NothingHappensWhileAnErrorIsPending) {
    const fs::path path = dir / "out.txt";
    table.openForAppend(path.string(), 1);
    core::raiseError(6);
    table.writeToFile(1, "abc", true);
    EXPECT_EQ(table.columnMove(1, 46), "");
    table.openForAppend((dir / "other.txt").string(), 2);
    table.closeFile(1);
    EXPECT_EQ(rt::dateText(), "");
    EXPECT_EQ(rt::timeText(), "");
    EXPECT_EQ(pending(), 6u) << "the first error is kept";
    EXPECT_EQ(readAll(path), "");
    EXPECT_FALSE(fs::exists(dir / "other.txt"));
    EXPECT_TRUE(table.isOpen(1));
}

TEST_F(FileTable, ClosingFreesTheNumbersAndShutdownClosesEveryFile) {
    const std::string path = (dir / "out.txt").string();
    table.openForAppend(path, 1);
    table.openForAppend(path, 7);
    table.closeFile(1);
    EXPECT_FALSE(table.isOpen(1));
    table.closeFile(1); // closing a closed number is harmless
    EXPECT_EQ(pending(), 0u);
    table.openForAppend(path, 1);
    EXPECT_EQ(pending(), 0u);

    core::raiseError(5);
    table.closeAll(); // shutdown closes even with an error pending
    core::resetErrorStateForTesting();
    EXPECT_FALSE(table.isOpen(1));
    EXPECT_FALSE(table.isOpen(7));
    table.writeToFile(7, "x", false);
    EXPECT_EQ(takeError(), 52u);
}

// The process-wide table is the one the frame closes at shutdown.
TEST_F(FileTable, ProcessWideTableIsClosedByCloseAllFiles) {
    rt::files().openForAppend((dir / "out.txt").string(), 1);
    ASSERT_TRUE(rt::files().isOpen(1));
    rt::closeAllFiles();
    EXPECT_FALSE(rt::files().isOpen(1));
}

// Run as root, which may write anywhere, the case re-executes a copy of this binary as the
// unprivileged user "nobody" with only this test selected; the copy finds the file through the
// environment and checks the error itself.
TEST_F(FileTable, ReadOnlyFileIsPermissionDeniedForAnUnprivilegedProcess) {
    if (const char* given = std::getenv(kReadOnlyFileVariable)) {
        rt::FileTable own;
        own.openForAppend(given, 1);
        EXPECT_EQ(takeError(), 70u);
        EXPECT_FALSE(own.isOpen(1));
        return;
    }
    const fs::path path = dir / "CO2out.txt";
    writeAll(path, "kept\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    if (::geteuid() != 0) {
        table.openForAppend(path.string(), 1);
        EXPECT_EQ(takeError(), 70u);
        EXPECT_EQ(readAll(path), "kept\r\n");
        return;
    }

    // The build directory may be closed to others; the copy lives in the open temporary one.
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    const fs::path copy = dir / "tests-copy";
    ASSERT_TRUE(fs::copy_file("/proc/self/exe", copy));
    fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    const fs::path log = dir / "child.log";

    const std::string filter = std::string("--gtest_filter=") +
                               ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() +
                               "." + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::vector<std::string> args = {"setpriv",        "--reuid=nobody", "--regid=nogroup",
                                     "--clear-groups", copy.string(),    filter};
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        env.emplace_back(*e);
    env.push_back(std::string(kReadOnlyFileVariable) + "=" + path.string());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, "setpriv", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0) << "setpriv could not be started";
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string output = readAll(log);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << "the case must have run:\n" << output;
    EXPECT_EQ(readAll(path), "kept\r\n");
}

TEST(DateAndTimeTexts, HaveFixedWidthWithLeadingZeros) {
    EXPECT_EQ(rt::dateTextOf(fixedTime(2026, 1, 2, 3, 4, 5)), "01-02-2026");
    EXPECT_EQ(rt::timeTextOf(fixedTime(2026, 1, 2, 3, 4, 5)), "03:04:05");
    EXPECT_EQ(rt::dateTextOf(fixedTime(999, 12, 31, 23, 59, 59)), "12-31-0999");
    EXPECT_EQ(rt::timeTextOf(fixedTime(2026, 12, 31, 23, 59, 59)), "23:59:59");
    EXPECT_EQ(rt::timeTextOf(fixedTime(2026, 12, 31, 0, 0, 0)), "00:00:00");
    // Out of range fields would break the width: no text.
    EXPECT_EQ(rt::dateTextOf(fixedTime(10000, 1, 1, 0, 0, 0)), "");
    EXPECT_EQ(rt::timeTextOf(fixedTime(2026, 1, 1, 24, 0, 0)), "");
}

TEST(DateAndTimeTexts, SystemClockGivesTenAndEightCharacters) {
    core::resetErrorStateForTesting();
    const std::string date = rt::dateText();
    const std::string time = rt::timeText();
    ASSERT_EQ(date.size(), 10u);
    ASSERT_EQ(time.size(), 8u);
    for (const std::size_t i : {2u, 5u})
        EXPECT_EQ(date[i], '-');
    for (const std::size_t i : {2u, 5u})
        EXPECT_EQ(time[i], ':');
    EXPECT_EQ(core::errorState().pendingError.load(), 0u);
}

TEST(DateAndTimeTexts, ClockFailureRaisesIllegalFunctionCall) {
    core::resetErrorStateForTesting();
    rt::setLocalTimeSource([](std::tm&) { return false; });
    EXPECT_EQ(rt::dateText(), "");
    EXPECT_EQ(core::errorState().pendingError.load(), 5u);
    core::resetErrorStateForTesting();
    EXPECT_EQ(rt::timeText(), "");
    EXPECT_EQ(core::errorState().pendingError.load(), 5u);
    rt::setLocalTimeSource(nullptr);
    core::resetErrorStateForTesting();
}

} // namespace
