// Tones through SDL_mixer, heard by SDL's disk audio driver (SDL_AUDIODRIVER=disk), which writes
// every mixed buffer to SDL_DISKAUDIOFILE. The file must show, after the 8192-frame silent lead-in,
// the option-0 tone (200 Hz, 2 ticks of 1/18.2 s) as a triangle of amplitude 32767 cut to whole
// periods, then the bell at 783.99 Hz, in the same signed 16-bit stereo samples the generator
// made (the mixer plays them at full volume, 128 of 128, which leaves them unchanged).
#include "runtime/process.h"
#include "runtime/tones.h"
#include "tone_reference.h"

#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tone_reference::expectedCutLength;
using tone_reference::worstDeviation;

struct Recording {
    std::vector<std::int16_t> left, right;
};

Recording readRecording(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Recording r;
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        auto sample = [&](std::size_t at) {
            return static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                             (static_cast<std::uint8_t>(bytes[at + 1]) << 8));
        };
        r.left.push_back(sample(i));
        r.right.push_back(sample(i + 2));
    }
    return r;
}

std::size_t nextNonZero(const std::vector<std::int16_t>& s, std::size_t from) {
    while (from < s.size() && s[from] == 0)
        ++from;
    return from;
}

class SdlAudio : public ::testing::Test {
  protected:
    void SetUp() override {
        rt::resetProcessForTesting();
        path = ::testing::TempDir() + "co2_tones_" + std::to_string(getpid()) + ".raw";
        std::remove(path.c_str());
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "5", 1); // write buffers faster than real time
    }
    void TearDown() override {
        generator.shutdown();
        std::remove(path.c_str());
        unsetenv("SDL_DISKAUDIOFILE");
        unsetenv("SDL_DISKAUDIODELAY");
        rt::resetProcessForTesting();
    }
    // Serves the queue like the main loop until everything queued has been started, then for
    // `tail` longer so the last tone is written out.
    void serveUntilPlayed(std::chrono::milliseconds tail) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (generator.pendingCount() != 0 && std::chrono::steady_clock::now() < deadline) {
            generator.service();
            std::this_thread::sleep_for(1ms);
        }
        const auto end = std::chrono::steady_clock::now() + tail;
        while (std::chrono::steady_clock::now() < end) {
            generator.service();
            std::this_thread::sleep_for(1ms);
        }
    }

    std::string path;
    rt::ToneGenerator generator;
};

TEST_F(SdlAudio, DiskDriverRecordsTheOptionZeroToneAfterTheLeadInThenTheBell) {
    generator.setOutput(rt::makeSdlAudio());
    generator.playTone(200, 2 / 18.2, true);
    generator.playTone(rt::kBellFrequency_hz, rt::kBellDuration_s, false);
    serveUntilPlayed(600ms);
    EXPECT_EQ(rt::processFlags().suspendRequested.load(), 0u) << "the waiting tone never started";
    generator.shutdown(); // closes the device, so the file is complete

    const Recording r = readRecording(path);
    ASSERT_EQ(r.left, r.right) << "every sample goes to both channels";

    // The option-0 tone: its first frame is the 0 before the first nonzero sample.
    const std::size_t firstNonZero = nextNonZero(r.left, 0);
    ASSERT_LT(firstNonZero, r.left.size()) << "no tone in " << r.left.size() << " frames";
    const std::size_t toneStart = firstNonZero - 1;
    EXPECT_GE(toneStart, rt::kLeadInFrames) << "the silent lead-in plays first";
    const std::size_t toneLength = expectedCutLength(200, 2423); // 21 periods of 110.25 frames: 2316
    ASSERT_EQ(toneLength, 2316u);
    ASSERT_GE(r.left.size(), toneStart + toneLength);
    EXPECT_LE(worstDeviation(r.left, toneStart, toneLength, 200), 1);
    std::int16_t peak = 0;
    for (std::size_t i = 0; i < toneLength; ++i)
        peak = std::max(peak, r.left[toneStart + i]);
    EXPECT_GT(peak, 32767 - 600); // within half a step (k * A / 2 = 594) of full amplitude
    EXPECT_LE(r.left[toneStart + toneLength - 1], 0);

    // Nothing sounds between the two tones; the bell follows in its own whole periods.
    const std::size_t bellFirstNonZero = nextNonZero(r.left, toneStart + toneLength);
    ASSERT_LT(bellFirstNonZero, r.left.size()) << "no bell";
    const std::size_t bellStart = bellFirstNonZero - 1;
    const std::size_t bellLength = expectedCutLength(783.99, 4410);
    ASSERT_GE(r.left.size(), bellStart + bellLength);
    EXPECT_LE(worstDeviation(r.left, bellStart, bellLength, 783.99), 1);

    // An estimate of the bell's frequency from its rising zero crossings alone.
    std::vector<double> crossings;
    for (std::size_t i = bellStart + 1; i < bellStart + bellLength; ++i) {
        const double a = r.left[i - 1];
        const double b = r.left[i];
        if (a <= 0 && b > 0) crossings.push_back(static_cast<double>(i - 1) + (0 - a) / (b - a));
    }
    ASSERT_GE(crossings.size(), 100u);
    const double period = (crossings.back() - crossings.front()) / static_cast<double>(crossings.size() - 1);
    EXPECT_NEAR(22050 / period, 783.99, 0.5);
    EXPECT_EQ(nextNonZero(r.left, bellStart + bellLength), r.left.size()) << "silence after the bell";
}

TEST_F(SdlAudio, NoAudioDeviceIsOneLineOnStandardErrorAndTheSessionGoesOn) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    generator.setOutput(rt::makeSdlAudio());
    ::testing::internal::CaptureStderr();
    generator.playTone(200, 2 / 18.2, true);
    serveUntilPlayed(0ms);
    generator.playTone(200, 0.05, true);
    serveUntilPlayed(0ms);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(rt::processFlags().suspendRequested.load(), 0u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("No audio output"), std::string::npos) << err;
}

} // namespace
