// The co2table program itself: its exit codes, its JSON against its CSV, and a plot file.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("co2table_program_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Result run(const std::string& args, const std::string& environment = "") {
        const std::string command = environment + std::string(CO2TABLE_BINARY) + " " + args + " > '" +
                                    (dir_ / "out").string() + "' 2> '" + (dir_ / "err").string() + "'";
        const int status = std::system(command.c_str());
        Result r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readFile(dir_ / "out");
        r.err = readFile(dir_ / "err");
        return r;
    }

    fs::path dir_;
};

TEST_F(Program, BadInputExitsWithTwoAndAMessage) {
    for (const char* args : {"--temperature 0:100:0 --pressure 1", "--temperature 0:100:-5 --pressure 1",
                             "--temperature 0:100 --pressure 1", "--temperature abc --pressure 1",
                             "--temperature 1 --pressure 1 --format xls",
                             "--temperature 1 --pressure 1 --columns x", "--temperature 1", "--nonsense"}) {
        const Result r = run(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.err.rfind("co2table: ", 0), 0U) << args << ": " << r.err;
    }
}

TEST_F(Program, JsonCarriesTheSameValuesAsCsv) {
    const Result csv = run("--temperature 25 --pressure 10");
    const Result json = run("--temperature 25 --pressure 10 --format json");
    ASSERT_EQ(csv.code, 0) << csv.err;
    ASSERT_EQ(json.code, 0) << json.err;
    std::istringstream lines(csv.out);
    std::string header, row;
    std::getline(lines, header);
    std::getline(lines, row);
    std::stringstream names(header), cells(row + ",");
    int checked = 0;
    for (std::string name, cell; std::getline(names, name, ',') && std::getline(cells, cell, ',');) {
        name = name.substr(0, name.find(" ["));
        std::string expected = "\"" + name + "\": ";
        if (name.starts_with("warn_") || name == "hydrate")
            expected += cell == "1" ? "true" : "false";
        else if (name == "error" || name == "note" || name == "phase_CO2")
            expected += cell.empty() ? "null" : "\"" + cell + "\"";
        else
            expected += cell;
        EXPECT_NE(json.out.find(expected), std::string::npos) << expected;
        ++checked;
    }
    EXPECT_EQ(checked, 49);
}

TEST_F(Program, ExactGivesTheCalculatorsSolubility) {
    // The solubility at 25 C and 10 MPa on the calculator's own arithmetic, to the last bit.
    const Result exact = run("--temperature 25 --pressure 10 --exact --columns sol_m --header none");
    ASSERT_EQ(exact.code, 0) << exact.err;
    EXPECT_EQ(exact.out, "1.4527788439279663,,\n");
    // --help quotes the value of each path: they must be what the paths give.
    const Result fast = run("--temperature 25 --pressure 10 --columns sol_m --header none");
    const std::string help = run("--help").out;
    for (const std::string& row : {exact.out, fast.out})
        EXPECT_NE(help.find(row.substr(0, row.find(','))), std::string::npos) << row;
}

TEST_F(Program, PlotIsAPngOfTheAskedSize) {
    const fs::path png = dir_ / "iso.png";
    const Result r =
        run("--temperature 0,25,50 --pressure 1:50:1 --plot '" + png.string() + "' --plot-size 321x234");
    if (r.code == 2 && r.err.find("gnuplot") != std::string::npos) GTEST_SKIP() << "no gnuplot";
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, ""); // a plot run without --output writes no table
    const std::string bytes = readFile(png);
    ASSERT_GE(bytes.size(), 24U);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    const auto be = [&](std::size_t i) {
        return (static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << 24) |
               (static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 16) |
               (static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 2])) << 8) |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 3]));
    };
    EXPECT_EQ(be(16), 321U);
    EXPECT_EQ(be(20), 234U);
}

TEST_F(Program, NoGnuplotOnThePathIsABadRequestWithTheRemedy) {
    const Result r =
        run("--temperature 0 --pressure 1 --plot '" + (dir_ / "a.png").string() + "'", "PATH=/nonexistent ");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("apt-get install gnuplot-nox"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "a.png"));
}

// The documented validation figure, remade into a scratch file, is the tracked one to the byte.
// When the model or the plot changes the figure on purpose, regenerate it with the command of
// docs/co2table.md.
TEST_F(Program, ValidationFigureIsReproducible) {
    const fs::path png = dir_ / "validation.png";
    const Result r =
        run("--temperature 4.85,9.85,12,14.85,18,19.85,25,31.04,35,40,50,75,100 --pressure 0.2:75:0.2 "
            "--plot '" +
            png.string() +
            "' --plot-measured " CO2_DOCS_DIR "/data/co2_solubility_measured.csv --plot-size 1100x760");
    if (r.code == 2 && r.err.find("gnuplot") != std::string::npos) GTEST_SKIP() << "no gnuplot";
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "co2table: mean absolute deviation from 95 measured points: 2.34 %\n");
    EXPECT_TRUE(readFile(png) == readFile(CO2_DOCS_DIR "/validation.png"))
        << "docs/validation.png differs from what the documented command draws";
}

// One point along a curve: gnuplot gets a range around it and has nothing to warn about.
TEST_F(Program, OnePointPlotDrawsWithoutWarnings) {
    const fs::path png = dir_ / "one.png";
    const Result r = run("--temperature 10 --curve 1 --plot '" + png.string() + "'");
    if (r.code == 2 && r.err.find("gnuplot") != std::string::npos) GTEST_SKIP() << "no gnuplot";
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_GT(fs::file_size(png), 1000U);
}

} // namespace
