// The whole run through a stand-in model: a point's values follow from its inputs by a simple
// rule, and chosen inputs fail, so the run's bookkeeping can be checked without the physics.
#include "app/table/table.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <new>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace co2::table {
namespace {

class StandInWorker final : public PointWorker {
  public:
    void evaluate(const PointSpec& pt, PointResult& r) override {
        r = PointResult{};
        r.values.fill(std::nan(""));
        r.value(Value::T_C) = pt.point.temperature;
        r.value(Value::P) = pt.point.curve.has_value() ? pt.point.temperature / 10 : pt.point.pressure;
        if (pt.point.temperature < -100) {
            r.error = "runtime error 5: Illegal function call";
            return;
        }
        for (std::size_t i = 2; i < kValueCount; ++i)
            r.values[i] = pt.point.temperature + static_cast<double>(i);
        r.value(Value::sol_m) = 1 + pt.point.pressure / 100 - pt.point.temperature / 1000;
        r.value(Value::m) = pt.molalityGiven() ? pt.point.molality : r.value(Value::sol_m);
        r.setFlag(co2::warnMolality, r.value(Value::m) > r.value(Value::sol_m));
        r.hasValues = true;
    }
};

class StandIn final : public PointEvaluator {
  public:
    std::unique_ptr<PointWorker> makeWorker() const override { return std::make_unique<StandInWorker>(); }
};

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

std::string readAll(std::FILE* f) {
    std::rewind(f);
    std::string s;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        s.append(buffer, n);
    std::fclose(f);
    return s;
}

Outcome runWith(std::vector<std::string> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Outcome r;
    r.code = runTable(args, StandIn{}, out, err);
    r.out = readAll(out);
    r.err = readAll(err);
    return r;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> v;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        v.push_back(line);
    return v;
}

class TempDir {
  public:
    TempDir()
        : path_(std::filesystem::temp_directory_path() / ("co2table_test_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

TEST(Table, RowsComeInInputOrderWithErrorsInPlace) {
    const Outcome r = runWith(
        {"--temperature", "-200,0:20:10", "--pressure", "1,2", "--columns", "T_C,P,sol_m", "--threads", "2"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const std::vector<std::string> expected = {
        "T_C [°C],P [MPa],sol_m [mol/kg],note,error",
        "-200,1,,,runtime error 5: Illegal function call",
        "-200,2,,,runtime error 5: Illegal function call",
        "0,1,1.01,,",
        "0,2,1.02,,",
        "10,1,1,,",
        "10,2,1.01,,",
        "20,1,0.99,,",
        "20,2,1,,",
    };
    EXPECT_EQ(lines(r.out), expected);
    EXPECT_NE(r.err.find("2 of 8 points were not computed"), std::string::npos);
}

TEST(Table, ManyPointsOnManyThreadsMatchOneThread) {
    const std::vector<std::string> grid = {"--temperature", "-1:99:0.5",  "--pressure",
                                           "0.1:100:2.5",   "--molality", "0,1"};
    std::vector<std::string> one = grid, four = grid;
    one.insert(one.end(), {"--threads", "1"});
    four.insert(four.end(), {"--threads", "4"});
    const Outcome a = runWith(one);
    const Outcome b = runWith(four);
    ASSERT_EQ(a.code, kExitOk);
    EXPECT_EQ(lines(a.out).size(), 1 + 201U * 40U * 2U);
    EXPECT_EQ(a.out, b.out);
}

TEST(Table, MolalityFlagAndOrder) {
    const Outcome r = runWith({"--temperature", "0", "--pressure", "10", "--molality", "0.5,2", "--columns",
                               "m,warn_m", "--format", "tsv"});
    ASSERT_EQ(r.code, kExitOk);
    EXPECT_EQ(lines(r.out),
              (std::vector<std::string>{"m [mol/kg]\twarn_m\tnote\terror", "0.5\t0\t\t", "2\t1\t\t"}));
}

TEST(Table, JsonDocumentForOnePoint) {
    const Outcome r =
        runWith({"--temperature", "25", "--pressure", "10", "--format", "json", "--columns", "T_C,P"});
    ASSERT_EQ(r.code, kExitOk);
    EXPECT_NE(
        r.out.find("\"rows\": [\n    {\"T_C\": 25, \"P\": 10, \"note\": null, \"error\": null}\n  ]\n}\n"),
        std::string::npos)
        << r.out;
}

TEST(Table, OutputFileAppearsWholeOrNotAtAll) {
    TempDir dir;
    const std::string file = dir / "t.csv";
    const Outcome r = runWith({"--temperature", "0:5:1", "--pressure", "1", "--output", file});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "");
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(lines(text.str()).size(), 7U);
    for (const auto& entry : std::filesystem::directory_iterator(dir / ""))
        EXPECT_EQ(entry.path().filename(), "t.csv"); // no temporary left behind

    const Outcome bad = runWith({"--temperature", "0", "--pressure", "1", "--output", dir / "missing/t.csv"});
    EXPECT_EQ(bad.code, kExitFailed);
    EXPECT_NE(bad.err.find("cannot write"), std::string::npos);
}

// A device or a symbolic link named by --output is written through, never replaced: renaming a
// finished temporary over it would put a plain file in place of /dev/null or of the link.
TEST(Table, OutputToADeviceOrALinkKeepsTheNode) {
    TempDir dir;
    const std::string device = dir / "null";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a device node here";
    Outcome r = runWith({"--temperature", "0:3:1", "--pressure", "1", "--output", device});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    struct stat st {};
    ASSERT_EQ(::lstat(device.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    const std::string target = dir / "target.csv";
    const std::string link = dir / "link.csv";
    std::ofstream(target) << "old\n";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    r = runWith({"--temperature", "0:3:1", "--pressure", "1", "--output", link});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    std::ifstream in(target);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(lines(text.str()).size(), 5U);
}

TEST(Table, InterruptLeavesNoPartialFile) {
    // A stand-in whose 300th point is where the user presses Ctrl+C.
    class Interrupting final : public PointEvaluator {
      public:
        std::unique_ptr<PointWorker> makeWorker() const override {
            class Worker final : public PointWorker {
              public:
                void evaluate(const PointSpec& pt, PointResult& r) override {
                    inner_.evaluate(pt, r);
                    if (pt.point.temperature == 299) std::raise(SIGINT);
                }

              private:
                StandInWorker inner_;
            };
            return std::make_unique<Worker>();
        }
    };
    TempDir dir;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int code = runTable(
        {"--temperature", "0:9999:1", "--pressure", "1", "--output", dir / "t.csv", "--threads", "2"},
        Interrupting{}, out, err);
    EXPECT_EQ(code, 128 + SIGINT);
    EXPECT_NE(readAll(err).find("interrupted; the table was not written"), std::string::npos);
    std::fclose(out);
    EXPECT_TRUE(std::filesystem::is_empty(dir / ""));
}

// A stand-in whose point at `trigger` C does something to the run (a signal, an exception).
template <typename Action> class Triggering final : public PointEvaluator {
  public:
    Triggering(double trigger, Action action) : trigger_(trigger), action_(action) {}
    std::unique_ptr<PointWorker> makeWorker() const override {
        class Worker final : public PointWorker {
          public:
            Worker(double trigger, Action action) : trigger_(trigger), action_(action) {}
            void evaluate(const PointSpec& pt, PointResult& r) override {
                inner_.evaluate(pt, r);
                if (pt.point.temperature == trigger_) action_();
            }

          private:
            double trigger_;
            Action action_;
            StandInWorker inner_;
        };
        return std::make_unique<Worker>(trigger_, action_);
    }

  private:
    double trigger_;
    Action action_;
};

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> names(const std::string& dir) {
    std::vector<std::string> v;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        v.push_back(entry.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}

// Every stopping signal ends the run with 128 + its number and leaves neither a temporary nor a
// damaged file; a link's target keeps its old contents.
TEST(Table, SignalsEndTheRunWithoutDamage) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TempDir dir;
        const std::string target = dir / "target.csv";
        std::ofstream(target) << "old\n";
        ASSERT_EQ(::symlink(target.c_str(), (dir / "link.csv").c_str()), 0);
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const auto raise = [signal] { std::raise(signal); };
        const int code = runTable(
            {"--temperature", "0:9999:1", "--pressure", "1", "--output", dir / "link.csv", "--threads", "2"},
            Triggering(299, raise), out, err);
        std::fclose(out);
        EXPECT_EQ(code, 128 + signal);
        EXPECT_NE(readAll(err).find("interrupted; the table was not written"), std::string::npos);
        EXPECT_EQ(names(dir / ""), (std::vector<std::string>{"link.csv", "target.csv"})) << signal;
        EXPECT_EQ(fileText(target), "old\n");
    }
}

TEST(Table, OutputDashIsStandardOutputAndAReadOnlyFileIsRefused) {
    TempDir dir;
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir / "");
    const Outcome r = runWith({"--temperature", "0", "--pressure", "1", "--output", "-", "--columns", "T_C"});
    std::filesystem::current_path(cwd);
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "T_C [°C],note,error\n0,,\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir / ""));

    const std::string locked = dir / "locked.csv";
    std::ofstream(locked) << "keep\n";
    ::chmod(locked.c_str(), 0444);
    const Outcome refused = runWith({"--temperature", "0", "--pressure", "1", "--output", locked});
    EXPECT_EQ(refused.code, kExitFailed);
    EXPECT_NE(refused.err.find("cannot write " + locked + ": the file is read-only"), std::string::npos)
        << refused.err;
    EXPECT_EQ(fileText(locked), "keep\n");
    EXPECT_EQ(names(dir / ""), (std::vector<std::string>{"locked.csv"}));
}

// The critical-error exit cannot unwind; it removes the temporary through removePartialOutput.
TEST(Table, PartialOutputCanBeRemovedWithoutUnwinding) {
    TempDir dir;
    const std::string dirName = dir / "";
    bool sawPart = false, removed = false;
    const auto check = [&] {
        sawPart = names(dirName).size() == 1 && names(dirName)[0].starts_with("t.csv.part");
        removePartialOutput();
        removed = std::filesystem::is_empty(dirName);
    };
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int code =
        runTable({"--temperature", "0:10:1", "--pressure", "1", "--output", dir / "t.csv", "--threads", "1"},
                 Triggering(5, check), out, err);
    std::fclose(out);
    std::fclose(err);
    EXPECT_TRUE(sawPart);
    EXPECT_TRUE(removed);
    EXPECT_EQ(code, kExitFailed); // the rename finds no temporary; the run does not pass for done
}

// Whatever a worker throws ends the run with a message and status 1, never std::terminate, and
// the temporary output goes with it.
TEST(Table, ExceptionsBecomeAMessageAndStatusOne) {
    const auto outOfMemory = [] { throw std::bad_alloc(); };
    const auto failure = [] { throw std::runtime_error("boom"); };
    TempDir dir;
    for (int threads : {1, 2}) {
        for (const bool memory : {true, false}) {
            std::FILE* out = std::tmpfile();
            std::FILE* err = std::tmpfile();
            const std::vector<std::string> args = {
                "--temperature", "0:999:1",     "--pressure", "1",
                "--output",      dir / "t.csv", "--threads",  std::to_string(threads)};
            const int code = memory ? runTableSafely(args, Triggering(300, outOfMemory), out, err)
                                    : runTableSafely(args, Triggering(300, failure), out, err);
            std::fclose(out);
            EXPECT_EQ(code, kExitFailed);
            EXPECT_NE(readAll(err).find(memory ? "co2table: out of memory" : "co2table: boom"),
                      std::string::npos);
            EXPECT_TRUE(std::filesystem::is_empty(dir / ""));
        }
    }
}

TEST(Table, MeasuredFileWithoutEndIsRefused) {
    if (!std::filesystem::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero";
    TempDir dir;
    const Outcome r = runWith(
        {"--temperature", "0", "--pressure", "1", "--plot", dir / "a.png", "--plot-measured", "/dev/zero"});
    if (r.code == kExitUsage && r.err.find("gnuplot-nox") != std::string::npos) GTEST_SKIP() << "no gnuplot";
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("plot-measured: /dev/zero: longer than 100 MB"), std::string::npos) << r.err;
}

TEST(Table, FullDeviceIsAFailureNotASuccess) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    std::FILE* err = std::tmpfile();
    const int code = runTable({"--temperature", "0:100:0.5", "--pressure", "1:100:1"}, StandIn{}, full, err);
    std::fclose(full);
    EXPECT_EQ(code, kExitFailed);
    EXPECT_NE(readAll(err).find("cannot write standard output"), std::string::npos);
}

// Past the file size limit (ulimit -f) the run fails as on a full disk, not by the signal's
// default action with its temporary left beside the target.
TEST(Table, FileSizeLimitIsAWriteFailure) {
    TempDir dir;
    const std::string file = dir / "big.csv";
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(fds[0]);
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const Outcome r =
            runWith({"--temperature", "0:100:0.5", "--pressure", "1:100:0.5", "--output", file});
        const std::string report = std::to_string(r.code) + "\n" + r.err;
        if (::write(fds[1], report.data(), report.size()) < 0) ::_exit(99);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(report.substr(0, report.find('\n')), std::to_string(kExitFailed)) << report;
    EXPECT_NE(report.find("cannot write " + file + ": File too large"), std::string::npos) << report;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "")); // neither the table nor its temporary
}

TEST(Table, BadCommandLineExitsWithTwo) {
    const Outcome r = runWith({"--temperature", "0:10:0", "--pressure", "1"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "co2table: temperature: range \"0:10:0\": the step is 0\n");
}

TEST(Table, HelpAndVersion) {
    const Outcome h = runWith({"--help"});
    EXPECT_EQ(h.code, kExitOk);
    EXPECT_EQ(h.out.rfind("Usage: co2table", 0), 0U);
    const Outcome v = runWith({"--version"});
    EXPECT_EQ(v.code, kExitOk);
    EXPECT_EQ(v.out.rfind("co2table ", 0), 0U);
    EXPECT_NE(v.out.find('.'), std::string::npos); // a version number, not a placeholder
}

TEST(Table, PlotWithoutGnuplotSaysHowToInstallIt) {
    const char* old = std::getenv("PATH");
    const std::string saved = old != nullptr ? old : "";
    TempDir dir;
    ::setenv("PATH", (dir / "").c_str(), 1);
    const Outcome r = runWith({"--temperature", "0", "--pressure", "1", "--plot", dir / "a.png"});
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("apt-get install gnuplot-nox"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "a.png"));
}

// Ctrl+C while gnuplot draws: the stand-in writes half a picture where it was told to and
// interrupts this process, as a terminal would; the old plot stays, gnuplot is stopped and the
// run says so in one line.
TEST(Table, InterruptedPlotLeavesTheOldOne) {
    TempDir dir;
    std::ofstream(dir / "gnuplot") << "#!/bin/sh\nout=$(/bin/sed -n \"s/^set output '\\(.*\\)'$/\\1/p\")\n"
                                      "printf PARTIAL > \"$out\"\nkill -INT $PPID\nexec /bin/sleep 30\n";
    std::filesystem::permissions(dir / "gnuplot", std::filesystem::perms::owner_all);
    std::ofstream(dir / "p.png") << "OLD";
    const char* old = std::getenv("PATH");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("PATH", (dir / "").c_str(), 1);
    ::setenv("TMPDIR", (dir / "").c_str(), 1);
    const Outcome r = runWith({"--temperature", "0:10:1", "--pressure", "1:5:1", "--plot", dir / "p.png"});
    ::setenv("PATH", saved.c_str(), 1);
    ::unsetenv("TMPDIR");
    EXPECT_EQ(r.code, 128 + SIGINT);
    EXPECT_EQ(r.err, "co2table: interrupted; the plot was not made\n");
    EXPECT_EQ(fileText(dir / "p.png"), "OLD");
    EXPECT_EQ(names(dir / ""), (std::vector<std::string>{"gnuplot", "p.png"}));
}

// A signal while the run is still setting up (here: reading a measured data set from a pipe)
// stops it in order, never by the signal's default action.
TEST(Table, SignalDuringTheStartStopsTheRunInOrder) {
    TempDir dir;
    const std::string fifo = dir / "m.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(dir / "gnuplot").close(); // found on PATH, never run
    std::filesystem::permissions(dir / "gnuplot", std::filesystem::perms::owner_all);
    std::thread writer([&] {
        std::ofstream f(fifo); // opens once the run reads the file
        f << "T_C,P_MPa,m_CO2\n" << std::flush;
        std::raise(SIGTERM);
        f << "25,10,1\n";
    });
    const char* old = std::getenv("PATH");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("PATH", (dir / "").c_str(), 1);
    const Outcome r = runWith({"--temperature", "25", "--pressure", "10", "--plot", dir / "p.png",
                               "--plot-measured", fifo, "--output", dir / "t.csv"});
    ::setenv("PATH", saved.c_str(), 1);
    writer.join();
    EXPECT_EQ(r.code, 128 + SIGTERM);
    EXPECT_EQ(r.err, "co2table: interrupted\n");
    EXPECT_EQ(names(dir / ""), (std::vector<std::string>{"gnuplot", "m.csv"}));
}

TEST(Table, PlotRunWritesTheImageAndNoTable) {
    TempDir dir;
    const Outcome r = runWith({"--temperature", "0,50", "--pressure", "1:10:1", "--plot", dir / "a.png",
                               "--plot-measured", CO2_DOCS_DIR "/data/co2_solubility_measured.csv"});
    if (r.code == kExitUsage && r.err.find("gnuplot") != std::string::npos) GTEST_SKIP() << "no gnuplot";
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_GT(std::filesystem::file_size(dir / "a.png"), 1000U);
    EXPECT_NE(r.err.find("mean absolute deviation from 95 measured points"), std::string::npos) << r.err;

    const Outcome bad = runWith({"--temperature", "0", "--pressure", "1", "--plot", dir / "b.png",
                                 "--plot-measured", dir / "none.csv"});
    EXPECT_EQ(bad.code, kExitUsage);
    EXPECT_NE(bad.err.find("plot-measured"), std::string::npos);
}

} // namespace
} // namespace co2::table
