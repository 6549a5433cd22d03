// Tone synthesis, the tone queue with its waiting rule, and the SDL_mixer output.
//
// Reference waveform: the closed-form triangle of tone_reference.h.
// The option-0 tone (200 Hz, 2 ticks of 1/18.2 s), the bell (783.99 Hz, 0.2 s), the 8192-frame
// lead-in and the soundTicks limits are the values the calculator's sound is defined by.
#include "runtime/process.h"
#include "runtime/tones.h"
#include "tone_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using rt::ToneFrames;

using tone_reference::expectedCutLength;

void expectTriangle(const std::vector<std::int16_t>& left, std::size_t from, std::size_t count,
                    double freq_hz) {
    const long worst = tone_reference::worstDeviation(left, from, count, freq_hz);
    EXPECT_LE(worst, 1) << freq_hz << " Hz differs from the ideal triangle by " << worst;
}

std::vector<std::int16_t> leftChannel(const ToneFrames& frames) {
    std::vector<std::int16_t> left;
    for (std::size_t i = 0; i < frames.size(); i += 2)
        left.push_back(frames[i]);
    return left;
}

TEST(ToneSynthesis, OptionZeroToneIsA200HzTriangleCutToWholePeriods) {
    const double duration_s = 2 / 18.2;
    const ToneFrames frames = rt::synthesizeTone(200, duration_s);
    const std::size_t n = static_cast<std::size_t>(22050 * duration_s); // 2423
    ASSERT_EQ(n, 2423u);
    const std::size_t length = frames.size() / 2;
    EXPECT_EQ(length, expectedCutLength(200, n)); // 21 periods of 110.25 frames: 2316
    EXPECT_EQ(length, 2316u);

    for (std::size_t i = 0; i < frames.size(); i += 2)
        ASSERT_EQ(frames[i], frames[i + 1]) << "frame " << i / 2;
    const auto left = leftChannel(frames);
    expectTriangle(left, 0, length, 200);
    EXPECT_EQ(left.front(), 0);
    EXPECT_LE(left.back(), 0); // stops at rest, just before rising again
    const auto [low, high] = std::minmax_element(left.begin(), left.end());
    EXPECT_LE(*high, 32767);
    EXPECT_GE(*low, -32767);
    EXPECT_GT(*high, 32767 - 1189 / 2); // a peak lies within half a step (k * A / 2) of the top
}

TEST(ToneSynthesis, BellIs783HzForAtMostTwoTenthsOfASecond) {
    const ToneFrames frames = rt::synthesizeTone(rt::kBellFrequency_hz, rt::kBellDuration_s);
    const std::size_t length = frames.size() / 2;
    EXPECT_EQ(length, expectedCutLength(783.99, 4410));
    expectTriangle(leftChannel(frames), 0, length, 783.99);
    // Whole periods: the length is within one frame of a multiple of 22050 / 783.99.
    const double periods = length * 783.99 / 22050;
    EXPECT_NEAR(periods, std::round(periods), 783.99 / 22050);
}

TEST(ToneSynthesis, FrequencyZeroIsSilenceOfTheFullLength) {
    const ToneFrames frames = rt::synthesizeTone(0, 1 / 18.2);
    EXPECT_EQ(frames.size() / 2, 1211u); // 22050 / 18.2 = 1211.5, truncated; no crossing, no cut
    EXPECT_TRUE(std::all_of(frames.begin(), frames.end(), [](std::int16_t s) { return s == 0; }));
}

TEST(ToneSynthesis, TooShortOrInvalidDurationsGiveOneSilentFrame) {
    for (double duration : {0.0, 1e-9, -1.0, std::nan("")}) {
        const ToneFrames frames = rt::synthesizeTone(440, duration);
        ASSERT_EQ(frames.size(), 2u) << duration;
        EXPECT_EQ(frames[0], 0);
    }
}

TEST(ToneSynthesis, FrequenciesAboveHalfTheSampleRateStayWithinTheAmplitude) {
    // Steps longer than the whole swing fold back like the ideal (aliased) triangle instead of
    // growing past the 16-bit range.
    for (double f : {11025.0, 15000.0, 32767.0}) {
        const ToneFrames frames = rt::synthesizeTone(f, 0.05);
        const auto left = leftChannel(frames);
        expectTriangle(left, 0, left.size(), f);
    }
}

// ---- the queue ---------------------------------------------------------------------------------

struct OutputLog {
    std::vector<std::size_t> started; // frame counts, in order
    std::vector<std::vector<std::int16_t>> firstSamples;
    bool playing = false;
    bool failOpen = false;
    int opens = 0;
    int finishes = 0;
    int closes = 0;
};

class RecordingOutput final : public rt::AudioOutput {
  public:
    explicit RecordingOutput(std::shared_ptr<OutputLog> log) : log_(std::move(log)) {}
    bool open(std::string& error) override {
        ++log_->opens;
        if (log_->failOpen) error = "test device missing";
        return !log_->failOpen;
    }
    void start(const std::int16_t* frames, std::size_t count) override {
        log_->started.push_back(count);
        log_->firstSamples.emplace_back(frames, frames + std::min<std::size_t>(count * 2, 8));
        log_->playing = true;
    }
    bool playing() override { return log_->playing; }
    void finish() override { ++log_->finishes; }
    void close() override { ++log_->closes; }

  private:
    std::shared_ptr<OutputLog> log_;
};

class ToneQueue : public ::testing::Test {
  protected:
    void SetUp() override {
        rt::resetProcessForTesting();
        generator.setOutput(std::make_unique<RecordingOutput>(log));
    }
    void TearDown() override {
        generator.shutdown();
        rt::resetProcessForTesting();
    }
    std::uint32_t suspend() const { return rt::processFlags().suspendRequested.load(); }

    std::shared_ptr<OutputLog> log = std::make_shared<OutputLog>();
    rt::ToneGenerator generator;
};

TEST_F(ToneQueue, FirstToneOfARunFollowsTheSilentLeadIn) {
    generator.playTone(200, 0.05, false);
    EXPECT_EQ(log->opens, 0) << "the device opens on the main loop, not on the program thread";
    generator.service();
    EXPECT_EQ(log->opens, 1);
    ASSERT_EQ(log->started.size(), 1u);
    EXPECT_EQ(log->started[0], rt::kLeadInFrames);
    EXPECT_TRUE(
        std::all_of(log->firstSamples[0].begin(), log->firstSamples[0].end(), [](auto s) { return s == 0; }));

    generator.service(); // lead-in still sounding
    EXPECT_EQ(log->started.size(), 1u);
    log->playing = false;
    generator.service();
    ASSERT_EQ(log->started.size(), 2u);
    EXPECT_EQ(log->started[1], rt::synthesizeTone(200, 0.05).size() / 2);
    EXPECT_EQ(log->finishes, 1);

    // A second tone gets no lead-in of its own.
    log->playing = false;
    generator.playTone(300, 0.05, false);
    generator.service();
    ASSERT_EQ(log->started.size(), 3u);
    EXPECT_EQ(log->started[2], rt::synthesizeTone(300, 0.05).size() / 2);
}

TEST_F(ToneQueue, WaitingToneHoldsTheProgramUntilItsOwnToneStarts) {
    generator.playTone(440, 0.02, false);
    generator.playTone(200, 2 / 18.2, true);
    EXPECT_EQ(suspend(), 2u);
    EXPECT_EQ(core::errorState().eventFlag.load(), 1u);

    generator.service(); // lead-in
    log->playing = false;
    generator.service(); // the 440 Hz tone queued before
    EXPECT_EQ(suspend(), 2u);
    log->playing = false;
    generator.service(); // the waiting tone begins
    EXPECT_EQ(suspend(), 0u);
    EXPECT_EQ(log->started.size(), 3u);
}

TEST_F(ToneQueue, WaitReleaseLeavesThePauseBitAlone) {
    rt::processFlags().suspendRequested.store(1);
    generator.playTone(200, 0.01, true);
    EXPECT_EQ(suspend(), 3u);
    generator.service(); // lead-in
    log->playing = false;
    generator.service();
    EXPECT_EQ(suspend(), 1u);
}

TEST_F(ToneQueue, TwoHundredFiftySixSlotsThenTonesAreDroppedUntilOneIsFreed) {
    for (int i = 0; i < 300; ++i)
        generator.playTone(1000, 0.001, false);
    EXPECT_EQ(generator.slotsInUse(), rt::kToneSlots);
    EXPECT_EQ(generator.pendingCount(), static_cast<std::size_t>(rt::kToneSlots)); // lead-in + 255

    generator.service(); // lead-in playing
    log->playing = false;
    generator.service(); // lead-in freed, first tone starts
    EXPECT_EQ(generator.slotsInUse(), rt::kToneSlots - 1);
    generator.playTone(1000, 0.001, false);
    EXPECT_EQ(generator.slotsInUse(), rt::kToneSlots);
}

TEST_F(ToneQueue, OrderSurvivesTheRingWrapAround) {
    // 12000 tones pass through the 10000-place ring; each is identified by its length.
    std::vector<std::size_t> expected;
    generator.playTone(0, 0.001, false); // takes the lead-in out of the way
    generator.service();
    for (int i = 0; i < 12000; ++i) {
        const double duration = (20 + i % 97) / 22050.0 + 1e-9;
        generator.playTone(0, duration, false);
        expected.push_back(static_cast<std::size_t>(22050 * duration));
        log->playing = false;
        generator.service();
    }
    log->playing = false;
    generator.service();
    ASSERT_EQ(log->started.size(), 12002u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), log->started.begin() + 2));
    EXPECT_EQ(generator.pendingCount(), 0u);
}

TEST_F(ToneQueue, UnopenableDeviceIsReportedOnceAndTonesKeepTheirTurns) {
    log->failOpen = true;
    ::testing::internal::CaptureStderr();
    generator.playTone(200, 0.01, false);
    generator.playTone(200, 0.01, true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (suspend() != 0 && std::chrono::steady_clock::now() < deadline) {
        generator.service();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    generator.playTone(200, 0.01, false);
    generator.service();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(suspend(), 0u) << "the waiting tone never started";
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("test device missing"), std::string::npos) << err;
    EXPECT_EQ(log->opens, 1);
}

TEST_F(ToneQueue, SilentRealTimeOutputKeepsEachToneForItsDuration) {
    generator.setOutput(rt::makeSilentAudio(true));
    generator.playTone(200, 0.2, true);
    const auto begin = std::chrono::steady_clock::now();
    while (suspend() != 0 && std::chrono::steady_clock::now() - begin < std::chrono::seconds(5)) {
        generator.service();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double waited_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_GE(waited_s, 8192.0 / 22050); // the lead-in plays first
}

TEST_F(ToneQueue, StatementCheckReturnsOnceTheMainLoopStartsTheTone) {
    generator.setOutput(rt::makeSilentAudio(false));
    std::atomic<bool> done{false};
    std::thread mainLoop([&] {
        while (!done.load()) {
            generator.service();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    generator.playTone(200, 2 / 18.2, true);
    core::statementCheck(7); // returns only when bit 2 has been cleared
    EXPECT_EQ(suspend(), 0u);
    done.store(true);
    mainLoop.join();
}

// ---- the tone statement and the bell -------------------------------------------------------

class ToneStatement : public ::testing::Test {
  protected:
    void SetUp() override {
        rt::resetProcessForTesting();
        rt::toneGenerator().setOutput(rt::makeSilentAudio(false));
    }
    void TearDown() override {
        rt::toneGenerator().shutdown();
        rt::resetProcessForTesting();
    }
};

TEST_F(ToneStatement, OutOfRangeArgumentsRaiseIllegalFunctionCallAndPlayNothing) {
    struct Case {
        double freq;
        double ticks;
    };
    for (Case c : {Case{36, 2}, Case{32768, 2}, Case{-1, 2}, Case{200, -1}, Case{200, 65535.5},
                   Case{std::nan(""), 2}, Case{200, std::nan("")}}) {
        rt::resetProcessForTesting();
        const std::size_t before = rt::toneGenerator().pendingCount();
        rt::soundTicks(c.freq, c.ticks);
        EXPECT_EQ(core::errorState().pendingError.load(), 5u) << c.freq << " Hz, " << c.ticks << " ticks";
        EXPECT_EQ(rt::toneGenerator().pendingCount(), before);
        EXPECT_EQ(rt::processFlags().suspendRequested.load(), 0u);
    }
}

TEST_F(ToneStatement, BoundaryValuesAreAccepted) {
    for (double f : {0.0, 37.0, 32767.0}) {
        rt::resetProcessForTesting();
        rt::soundTicks(f, 1);
        EXPECT_EQ(core::errorState().pendingError.load(), 0u) << f;
        EXPECT_EQ(rt::processFlags().suspendRequested.load(), 2u) << "the tone statement waits";
        rt::toneGenerator().shutdown();
    }
}

TEST_F(ToneStatement, ZeroDurationPlaysNothingAndDoesNotWait) {
    const std::size_t before = rt::toneGenerator().pendingCount();
    rt::soundTicks(200, 0);
    EXPECT_EQ(core::errorState().pendingError.load(), 0u);
    EXPECT_EQ(rt::toneGenerator().pendingCount(), before);
    EXPECT_EQ(rt::processFlags().suspendRequested.load(), 0u);
    EXPECT_EQ(core::errorState().eventFlag.load(), 0u);
}

TEST_F(ToneStatement, BellDoesNotWaitButPausesTheProgramThread) {
    const auto begin = std::chrono::steady_clock::now();
    rt::bell();
    const double took_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_GE(took_s, 0.25);
    EXPECT_EQ(rt::processFlags().suspendRequested.load(), 0u);
    EXPECT_GE(rt::toneGenerator().pendingCount(), 1u);
}

} // namespace
