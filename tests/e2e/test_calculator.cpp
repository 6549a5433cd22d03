// The calculator's dialogue run in-process: scripted keys go into the key queue whenever the
// program waits for one, and the screen rows are kept with their attributes as they scroll off,
// so colours, the statement numbers in error boxes and the option-0 tone can be checked.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/calculator.h"
#include "app/report.h"
#include "model/model.h"
#include "model/statements.h"
#include "runtime/files.h"
#include "runtime/keyboard.h"
#include "runtime/process.h"
#include "runtime/screen.h"
#include "runtime/tones.h"

namespace {

namespace fs = std::filesystem;

struct Row {
    std::string text;
    std::vector<std::uint8_t> attributes;
};

struct Box {
    std::string caption;
    std::string text;
};

// Records the frame counts of the tones the queue starts.
class RecordingAudio : public rt::AudioOutput {
  public:
    explicit RecordingAudio(std::shared_ptr<std::vector<std::size_t>> started)
        : started_(std::move(started)) {}
    bool open(std::string&) override { return true; }
    void start(const std::int16_t*, std::size_t frameCount) override { started_->push_back(frameCount); }
    bool playing() override { return false; }
    void finish() override {}
    void close() override {}

  private:
    std::shared_ptr<std::vector<std::size_t>> started_;
};

class CalculatorSession : public ::testing::Test {
  protected:
    void SetUp() override {
        previousDirectory_ = fs::current_path();
        directory_ = fs::temp_directory_path() /
                     ("co2calc-session-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                      "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(directory_);
        fs::create_directories(directory_);
        fs::current_path(directory_);
        rt::resetProcessForTesting();
        rt::keyQueue().setWaitInterval(std::chrono::microseconds(100));
        rt::screen().setScrollOffHandler(
            [this](const rt::ScreenCell* cells) { rows_.push_back(rowOf(cells)); });
        rt::setMessageBox([this](const std::string& caption, const std::string& text, rt::BoxButtons) {
            boxes_.push_back({caption, text});
            const bool yes = answers_.empty() ? false : answers_.front() == 'y';
            if (!answers_.empty()) answers_.erase(answers_.begin());
            // A No asks the main thread to close; there is none here, so the box plays its part.
            if (!yes) rt::processFlags().stopRequested.store(1);
            return yes ? rt::BoxAnswer::yes : rt::BoxAnswer::no;
        });
        rt::toneGenerator().setOutput(std::make_unique<RecordingAudio>(tones_));
    }

    void TearDown() override {
        rt::screen().setScrollOffHandler(nullptr);
        rt::setMessageBox(nullptr);
        rt::keyQueue().setStarvedHandler(nullptr);
        rt::keyQueue().setWaitInterval(std::chrono::microseconds(10000));
        rt::files().closeAll();
        rt::resetProcessForTesting();
        fs::current_path(previousDirectory_);
        fs::remove_all(directory_);
    }

    // Runs the calculator until the script is used up (the program is then stopped as if the
    // window were closed) or an error box is answered No.
    void runSession(std::string keys, std::string boxAnswers = "") {
        answers_ = std::move(boxAnswers);
        rt::resetProcessForTesting();
        rt::files().closeAll();
        rt::keyQueue().clear();
        // Start from a blank screen: rows left by an earlier session must not count as this one's.
        rt::screen().setColor(7, 0);
        rt::screen().clearScreen();
        rows_.clear();
        std::size_t next = 0;
        rt::keyQueue().setStarvedHandler([&] {
            if (next < keys.size()) {
                const char c = keys[next++];
                rt::keyQueue().push(c == '\n' ? 13 : static_cast<std::uint8_t>(c));
            } else {
                rt::processFlags().stopRequested.store(1);
                core::errorState().eventFlag.store(1);
            }
        });
        // The main loop's part: serve the tone queue so that the tone statement can go on.
        std::atomic<bool> running{true};
        std::thread mainLoop([&] {
            while (running.load()) {
                rt::serviceToneQueue();
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        bool stopped = false;
        try {
            co2::calculatorMain();
        } catch (const rt::ProgramThreadStop&) {
            stopped = true;
        }
        running.store(false);
        mainLoop.join();
        rt::keyQueue().setStarvedHandler(nullptr);
        EXPECT_TRUE(stopped);
        for (int r = 1; r <= rt::Screen::kRows; ++r) {
            Row row;
            for (int c = 1; c <= rt::Screen::kColumns; ++c) {
                const rt::ScreenCell cell = rt::screen().cell(r, c);
                row.text.push_back(static_cast<char>(cell.character));
                row.attributes.push_back(cell.attribute);
            }
            rows_.push_back(row);
        }
        rt::files().closeAll();
    }

    static Row rowOf(const rt::ScreenCell* cells) {
        Row row;
        for (int c = 0; c < rt::Screen::kColumns; ++c) {
            row.text.push_back(static_cast<char>(cells[c].character));
            row.attributes.push_back(cells[c].attribute);
        }
        return row;
    }

    const Row* rowStartingWith(std::string_view text) const {
        for (const Row& row : rows_) {
            if (row.text.starts_with(text)) return &row;
        }
        return nullptr;
    }

    std::string fileText() const {
        std::ifstream in(directory_ / co2::kOutputFileName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static std::uint32_t lineOf(const Box& box) {
        return static_cast<std::uint32_t>(std::stoul(box.text.substr(box.text.find(':') + 1)));
    }

    std::vector<Row> rows_;
    std::vector<Box> boxes_;
    std::string answers_;
    std::shared_ptr<std::vector<std::size_t>> tones_ = std::make_shared<std::vector<std::size_t>>();
    fs::path directory_;
    fs::path previousDirectory_;
};

// Every character of the warning in colour 15 (attribute 0x0F); the row after it back in 7.
void expectWarningColours(const Row* warning, const Row* after) {
    ASSERT_NE(warning, nullptr);
    ASSERT_NE(after, nullptr);
    for (std::size_t c = 0; c < warning->text.size(); ++c) {
        if (warning->text[c] != ' ') {
            EXPECT_EQ(warning->attributes[c], 0x0F) << warning->text << " column " << c + 1;
        }
    }
    for (std::size_t c = 0; c < after->text.size(); ++c) {
        if (after->text[c] != ' ') {
            EXPECT_EQ(after->attributes[c], 0x07) << after->text << " column " << c + 1;
        }
    }
}

TEST_F(CalculatorSession, RangeWarningsAreBrightWhiteAndTheReportGoesOnInGrey) {
    runSession("x0\n100.01\n100.0001\n\n");
    expectWarningColours(rowStartingWith(co2::kWarningTemperature),
                         rowStartingWith("             Partial molar"));
    expectWarningColours(rowStartingWith(co2::kWarningPressure),
                         rowStartingWith("             Partial molar"));
}

TEST_F(CalculatorSession, NoLiquidAndMolalityWarningsAreBrightWhite) {
    runSession("x0\n25\n0.001\n0.5\n");
    expectWarningColours(rowStartingWith(co2::kWarningNoLiquid),
                         rowStartingWith("             Partial molar"));
    expectWarningColours(rowStartingWith(co2::kWarningMolality),
                         rowStartingWith("      Activity coefficient of CO2"));
}

TEST_F(CalculatorSession, RefusedCurveTemperatureWarnsInColour15AndShowsTheMenuAgain) {
    runSession("x1\n31.5\n");
    const Row* warning =
        rowStartingWith("         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.6 - +31.48 C");
    ASSERT_NE(warning, nullptr);
    const auto at = static_cast<std::size_t>(warning - rows_.data());
    expectWarningColours(warning, &rows_[at + 1]);
    EXPECT_TRUE(rows_[at + 1].text.starts_with(" \xC9")) << "the title box follows at once";
    EXPECT_TRUE(fileText().find("Temperature (in C)") == std::string::npos) << "nothing is computed";
}

TEST_F(CalculatorSession, OptionZeroSoundsItsToneAndCurvesDoNot) {
    // The silent lead-in of 8192 frames comes before the first tone of the process, whichever
    // session that is; it is left out here.
    const auto tonesOf = [this] {
        std::vector<std::size_t> tones;
        for (std::size_t frames : *tones_) {
            if (frames != rt::kLeadInFrames) tones.push_back(frames);
        }
        tones_->clear();
        return tones;
    };
    runSession("x1\n5\n\n");
    EXPECT_TRUE(rowStartingWith("  CO2 solubility       ") != nullptr);
    EXPECT_TRUE(tonesOf().empty());
    runSession("x0\n25\n10\n\n");
    // 200 Hz for 2/18.2 s is 2423 frames, cut to whole periods of 110.25 frames.
    const std::vector<std::size_t> tones = tonesOf();
    ASSERT_EQ(tones.size(), 1U);
    EXPECT_GT(tones[0], 2200U);
    EXPECT_LE(tones[0], 2423U);
}

TEST_F(CalculatorSession, ErrorBoxesNameTheStatementThatFailed) {
    // CO2out.txt as a directory: the open fails in the calculator's start-up, the date line's
    // write to the unopened file number fails in the report.
    fs::create_directory(directory_ / co2::kOutputFileName);
    runSession("x", "yyn");
    ASSERT_GE(boxes_.size(), 2U);
    EXPECT_TRUE(boxes_[0].text.ends_with("\nContinue?"));
    EXPECT_LT(lineOf(boxes_[0]), static_cast<std::uint32_t>(co2::Module::report)) << boxes_[0].text;
    EXPECT_EQ(boxes_[1].caption, "Unhandled Error #52");
    EXPECT_EQ(boxes_[1].text.substr(boxes_[1].text.find('\n')), "\nBad file name or number\nContinue?");
    EXPECT_GE(lineOf(boxes_[1]), static_cast<std::uint32_t>(co2::Module::report));
    EXPECT_LT(lineOf(boxes_[1]), static_cast<std::uint32_t>(co2::Module::constants));
}

TEST_F(CalculatorSession, NoInAModelErrorStopsBeforeTheActivityBlock) {
    runSession("x0\n25\n10\n-100\n", "n");
    ASSERT_EQ(boxes_.size(), 1U);
    EXPECT_EQ(boxes_[0].caption, "Unhandled Error #5");
    EXPECT_TRUE(fileText().ends_with("\r\n At finite concentration =  "));
    EXPECT_EQ(rowStartingWith("      Activity coefficient of CO2"), nullptr);
}

TEST_F(CalculatorSession, EchoedSaturationPressureStandsAtColumn67OfThePromptRow) {
    runSession("x0\n25\n0\n\n");
    const Row* prompt = rowStartingWith(" Temperature, C =   0.00? 25");
    ASSERT_NE(prompt, nullptr);
    // The echo begins on the blank after the prompt's "?" and covers the typed "0".
    EXPECT_EQ(prompt->text.substr(34, 32), " Total Pressure, MPa =  0.00000?");
    EXPECT_EQ(prompt->text.substr(66, 9), "  0.00317");
    const auto at = static_cast<std::size_t>(prompt - rows_.data());
    EXPECT_EQ(rows_[at + 1].text.substr(0, 44), "                     Properties of pure H2O ");
}

} // namespace

namespace {

TEST_F(CalculatorSession, UnprintableValueCostsItsDigitsButNotTheFileLines) {
    // An infinity reaching the report: its template raises error 5, the box is answered Yes, and
    // every file line of the block still ends with CR LF.
    answers_ = "yyyy";
    rt::files().openForAppend(co2::kOutputFileName, co2::kOutputFile);
    co2::Model model;
    model.T_C = std::numeric_limits<double>::infinity();
    model.P_bar = 10;
    co2::ReportContext context;
    context.curveLabel = " Pressure is independent variable ";
    context.writeFile = 1;
    co2::reportWater(model, context);
    rt::files().closeAll();

    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_[0].caption, "Unhandled Error #5");
    const std::string text = fileText();
    ASSERT_TRUE(text.ends_with("\r\n"));
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_EQ(lines.size(), 13U) << text; // the water block and the vapour estimate
    EXPECT_TRUE(lines[0].starts_with(" Temperature (in C) = ")) << lines[0];
    EXPECT_EQ(lines[1], context.curveLabel);
    EXPECT_TRUE(lines[2].starts_with(" Total Pressure (in MPa) = ")) << lines[2];
    for (const std::string& line : lines)
        EXPECT_EQ(line.find('\n'), std::string::npos);
}

} // namespace
