#include "runtime/tones.h"

#include "runtime/process.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <new>
#include <thread>
#include <utility>

namespace rt {

namespace {

// The longest tone the tone statement can ask for (65535 ticks, about an hour); playTone clamps
// to it so that a direct call with an absurd duration cannot exhaust memory.
constexpr long double kMaxToneFrames = 65535.0L / kTicksPerSecond * kSampleRate_hz + 1.0L;

class SilentAudio final : public AudioOutput {
  public:
    explicit SilentAudio(bool realTime) : realTime_(realTime) {}
    bool open(std::string&) override { return true; }
    void start(const std::int16_t*, std::size_t frameCount) override {
        const auto length = std::chrono::duration<double>(static_cast<double>(frameCount) / kSampleRate_hz);
        endsAt_ = std::chrono::steady_clock::now() + std::chrono::duration_cast<Clock::duration>(length);
        started_ = true;
    }
    bool playing() override { return realTime_ && started_ && Clock::now() < endsAt_; }
    void finish() override { started_ = false; }
    void close() override { started_ = false; }

  private:
    using Clock = std::chrono::steady_clock;
    bool realTime_;
    bool started_ = false;
    Clock::time_point endsAt_{};
};

int nextPosition(int position) {
    return position + 1 == kToneQueueLength ? 0 : position + 1;
}

} // namespace

std::unique_ptr<AudioOutput> makeSilentAudio(bool realTime) {
    return std::make_unique<SilentAudio>(realTime);
}

ToneFrames synthesizeTone(double freq_hz, double duration_s) {
    // n = 22050 * s, truncated; never less than one frame. NaN and negative durations give one.
    const long double exactFrames = static_cast<long double>(kSampleRate_hz) * duration_s;
    std::size_t n = 1;
    if (exactFrames >= 1.0L) {
        n = static_cast<std::size_t>(std::min(exactFrames, kMaxToneFrames));
    }

    // Step per frame of a wave running between -1 and +1: four amplitudes per period. A zero-length
    // request and anything but a positive frequency give silence.
    long double k = 0.0L;
    if (exactFrames >= 1.0L && freq_hz > 0.0) k = static_cast<long double>(freq_hz) * 4.0L / kSampleRate_hz;

    ToneFrames frames(2 * n);
    long double v = 0.0L;
    bool up = true;
    long previous = 1;    // the sample before, as the crossing test sees it
    std::size_t rise = 0; // frame of the last upward crossing through zero
    for (std::size_t i = 0; i < n; ++i) {
        const long sample = std::lrint(v * kToneAmplitude);
        frames[2 * i] = static_cast<std::int16_t>(sample);
        frames[2 * i + 1] = static_cast<std::int16_t>(sample);
        if (sample > 0 && previous < 1) rise = i;
        previous = sample;

        if (up) {
            v += k;
            if (v >= 1.0L) {
                v = 2.0L - v;
                up = false;
            }
        } else {
            v -= k;
            if (v <= -1.0L) {
                v = -2.0L - v;
                up = true;
            }
        }
        // Above 11025 Hz one step is longer than the whole swing and a single reflection leaves v
        // outside [-1, 1], where it would grow without bound and overflow the 16-bit sample.
        // Reflect until it is back; below that frequency this never runs.
        while (v > 1.0L || v < -1.0L) {
            if (v > 1.0L) {
                v = 2.0L - v;
                up = false;
            } else {
                v = -2.0L - v;
                up = true;
            }
        }
    }
    // End just before the last upward crossing, so the tone holds whole periods and stops at rest.
    if (rise != 0) frames.resize(2 * rise);
    return frames;
}

ToneGenerator::ToneGenerator()
    : slots_(std::make_unique<Slot[]>(kToneSlots)),
      queue_(std::make_unique<std::atomic<int>[]>(kToneQueueLength)) {
    for (int i = 0; i < kToneQueueLength; ++i)
        queue_[i].store(-1, std::memory_order_relaxed);
}

ToneGenerator::~ToneGenerator() {
    shutdown();
}

void ToneGenerator::setOutput(std::unique_ptr<AudioOutput> output) {
    if (outputOpen_) output_->close();
    output_ = std::move(output);
    outputTried_ = false;
    outputOpen_ = false;
}

int ToneGenerator::takeSlot(ToneFrames&& frames) {
    for (int i = 0; i < kToneSlots; ++i) {
        Slot& slot = slots_[i];
        if (slot.used.load(std::memory_order_acquire)) continue;
        slot.frames = std::move(frames);
        slot.used.store(true, std::memory_order_release);
        return i;
    }
    return -1;
}

void ToneGenerator::freeSlot(int slot) {
    if (slot < 0) return;
    ToneFrames().swap(slots_[slot].frames);
    slots_[slot].used.store(false, std::memory_order_release);
}

void ToneGenerator::enqueue(int slot, bool wait) {
    const int write = writePosition_.load(std::memory_order_relaxed);
    const int next = nextPosition(write);
    if (next == playPosition_.load(std::memory_order_acquire)) {
        // Ring full. With 256 slots and 10000 places this cannot happen; drop rather than
        // overwrite a tone the main loop has not reached.
        freeSlot(slot);
        return;
    }
    if (wait && paced()) {
        waitPosition_.store(write, std::memory_order_relaxed);
        processFlags().suspendRequested.fetch_or(2, std::memory_order_relaxed);
        core::errorState().eventFlag.store(1, std::memory_order_relaxed);
    }
    queue_[write].store(slot, std::memory_order_relaxed);
    writePosition_.store(next, std::memory_order_release);
}

void ToneGenerator::playTone(double freq_hz, double duration_s, bool wait) {
    if (!firstUseDone_.exchange(true, std::memory_order_relaxed)) {
        // Every run starts its sound with a short silence, so the first tone is never clipped
        // while the device warms up.
        try {
            const int slot = takeSlot(ToneFrames(2 * kLeadInFrames, 0));
            if (slot >= 0) enqueue(slot, false);
        } catch (const std::bad_alloc&) {
        }
    }
    int slot = -1;
    try {
        slot = takeSlot(synthesizeTone(freq_hz, duration_s));
    } catch (const std::bad_alloc&) {
        // A tone that cannot be held is dropped, like one that finds no free slot.
        return;
    }
    if (slot < 0) return;
    enqueue(slot, wait);
}

bool ToneGenerator::ensureOutputOpen() {
    if (outputOpen_) return true;
    if (!outputTried_) {
        outputTried_ = true;
        if (!output_) output_ = makeSilentAudio(true);
        std::string error;
        if (output_->open(error)) {
            outputOpen_ = true;
        } else {
            // No sound on this machine is no reason to end the session: say so once and keep the
            // queue and the waiting exactly as with a device.
            std::fprintf(stderr, "No audio output (%s); tones will be silent\n", error.c_str());
            output_ = makeSilentAudio(true);
            std::string ignored;
            outputOpen_ = output_->open(ignored);
        }
    }
    return outputOpen_;
}

void ToneGenerator::service() {
    const int play = playPosition_.load(std::memory_order_relaxed);
    if (play == writePosition_.load(std::memory_order_acquire)) return;
    if (!ensureOutputOpen()) return;
    if (output_->broken()) {
        // Say so once and go on as on a machine without sound; the tone that was playing is over.
        std::fprintf(stderr, "Audio output stopped; tones will be silent\n");
        output_->close();
        output_ = makeSilentAudio(true);
        std::string ignored;
        output_->open(ignored);
    }
    if (playingSlot_ >= 0) {
        if (output_->playing()) return;
        output_->finish();
        freeSlot(playingSlot_);
        playingSlot_ = -1;
    }
    if (waitPosition_.load(std::memory_order_relaxed) == play) {
        waitPosition_.store(-1, std::memory_order_relaxed);
        processFlags().suspendRequested.fetch_and(~std::uint32_t{2}, std::memory_order_relaxed);
    }
    const int slot = queue_[play].load(std::memory_order_relaxed);
    playPosition_.store(nextPosition(play), std::memory_order_release);
    if (slot < 0) return;
    const ToneFrames& frames = slots_[slot].frames;
    output_->start(frames.data(), frames.size() / 2);
    playingSlot_ = slot;
}

void ToneGenerator::shutdown() {
    if (outputOpen_) output_->close();
    outputOpen_ = false;
    outputTried_ = false; // a later tone opens the output again
    playingSlot_ = -1;
    for (int i = 0; i < kToneSlots; ++i)
        freeSlot(i);
    const int write = writePosition_.load(std::memory_order_acquire);
    playPosition_.store(write, std::memory_order_release);
    if (waitPosition_.exchange(-1, std::memory_order_relaxed) >= 0)
        processFlags().suspendRequested.fetch_and(~std::uint32_t{2}, std::memory_order_relaxed);
}

std::size_t ToneGenerator::pendingCount() const {
    const int write = writePosition_.load(std::memory_order_acquire);
    const int play = playPosition_.load(std::memory_order_acquire);
    return static_cast<std::size_t>((write - play + kToneQueueLength) % kToneQueueLength);
}

int ToneGenerator::slotsInUse() const {
    int count = 0;
    for (int i = 0; i < kToneSlots; ++i)
        count += slots_[i].used.load(std::memory_order_acquire) ? 1 : 0;
    return count;
}

ToneGenerator& toneGenerator() {
    static ToneGenerator generator;
    return generator;
}

void playTone(double freq_hz, double duration_s, bool wait) {
    toneGenerator().playTone(freq_hz, duration_s, wait);
}

void soundTicks(double freq_hz, double ticks) {
    const bool frequencyValid = freq_hz == 0.0 || (freq_hz >= 37.0 && freq_hz <= 32767.0);
    const bool durationValid = ticks >= 0.0 && ticks <= 65535.0; // false for NaN as well
    if (!frequencyValid || !durationValid) {
        core::raiseError(core::ErrorCode::illegalFunctionCall);
        return;
    }
    if (ticks == 0.0) return;
    playTone(freq_hz, ticks / kTicksPerSecond, true);
}

void bell() {
    playTone(kBellFrequency_hz, kBellDuration_s, false);
    if (toneGenerator().paced()) std::this_thread::sleep_for(std::chrono::milliseconds(kBellPause_ms));
}

void serviceToneQueue() {
    toneGenerator().service();
}

} // namespace rt
