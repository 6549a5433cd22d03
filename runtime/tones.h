// Tone synthesis and the tone queue.
//
// The program thread synthesises triangle-wave tones and appends them to a ring; the main loop
// plays them strictly one after another through an AudioOutput. A tone statement with the wait
// flag holds the program thread (bit 2 of suspendRequested, seen by the statement check) until
// its own tone begins. This file knows no audio library: the SDL_mixer output lives in
// audio_sdl.cpp, and a silent output keeps the timing where there is no sound.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rt {

// Audio format of every tone: signed 16-bit, the same sample in both channels.
inline constexpr int kSampleRate_hz = 22050;
inline constexpr int kAudioChannels = 2;
inline constexpr int kAudioBufferFrames = 1024;
inline constexpr int kMixingChannels = 256;
inline constexpr int kToneSlots = 256;
inline constexpr int kToneQueueLength = 10000;
// Silence queued before the first tone of a run (about 0.37 s).
inline constexpr std::size_t kLeadInFrames = 8192;
inline constexpr int kToneAmplitude = 32767;
// The tone statement counts time in ticks of the PC timer.
inline constexpr double kTicksPerSecond = 18.2;
inline constexpr double kBellFrequency_hz = 783.99;
inline constexpr double kBellDuration_s = 0.2;
inline constexpr int kBellPause_ms = 250;

// Frames of one tone: interleaved left/right samples, so size() == 2 * frame count.
using ToneFrames = std::vector<std::int16_t>;

// The triangle wave of `freq_hz` lasting `duration_s`, cut to whole periods (it ends just
// before its last upward zero crossing). Pure function; used by playTone and by tests.
ToneFrames synthesizeTone(double freq_hz, double duration_s);

// Where queued tones are heard. All calls come from the main loop's thread, except open(),
// which comes from the same thread too (the first service pass after the first tone).
class AudioOutput {
  public:
    virtual ~AudioOutput() = default;
    // Opens the device. On failure returns false and fills `error` with the reason.
    virtual bool open(std::string& error) = 0;
    // Starts playing `frameCount` stereo frames; the memory stays valid until finish().
    virtual void start(const std::int16_t* frames, std::size_t frameCount) = 0;
    // Whether the tone last started is still sounding.
    virtual bool playing() = 0;
    // Releases what start() took for the tone that has finished.
    virtual void finish() = 0;
    // Stops any sound and closes the device; called once at shutdown (or never).
    virtual void close() = 0;
    // Whether the device stopped by itself after it was opened (a driver's write failed, say
    // under a file-size limit, or the device went away); the tones then go on in silence.
    virtual bool broken() { return false; }
};

// Whether this machine has anything that could play sound: an ALSA playback device, an OSS
// device, a sound server's socket or an ALSA configuration of the user's. `deviceDirectory` is
// where the ALSA devices live (tests point it elsewhere).
bool soundOutputLikely(const std::string& deviceDirectory = "/dev/snd");

// No sound, but each tone lasts its real duration, so queue order and waiting behave as with a
// device. With `realTime` false every tone is over as soon as it has started (tests).
std::unique_ptr<AudioOutput> makeSilentAudio(bool realTime = true);

// The SDL_mixer output: 22050 Hz, signed 16-bit stereo, 1024-frame buffer, 256 mixing channels.
// Opening initialises SDL's audio subsystem itself, so it works without a window. Unless
// SDL_AUDIODRIVER names a driver, opening fails at once ("no sound device") where
// soundOutputLikely() finds nothing, instead of letting every driver try and complain. Defined in
// audio_sdl.cpp, which belongs to the front-end library.
std::unique_ptr<AudioOutput> makeSdlAudio();

// The queue, its 256 tone slots and the audio output behind them. One instance per process
// (toneGenerator()); tests may build their own.
class ToneGenerator {
  public:
    ToneGenerator();
    ~ToneGenerator();
    ToneGenerator(const ToneGenerator&) = delete;
    ToneGenerator& operator=(const ToneGenerator&) = delete;

    // Installs the output used from the next service pass on (before any tone is played).
    // Without one, a real-time silent output is used.
    void setOutput(std::unique_ptr<AudioOutput> output);

    // Program thread. Synthesises and queues a tone; with `wait`, the program thread waits in
    // its next statement check until the tone starts.
    void playTone(double freq_hz, double duration_s, bool wait);

    // Main loop, every pass while the window is shown: starts the next tone when the one before
    // has finished, and releases a waiting program thread when its tone begins.
    void service();

    // Main thread, at shutdown: stops the sound and frees every slot.
    void shutdown();

    // Paced (the default): a waiting tone statement holds the program thread until its tone starts,
    // and the bell pauses. Unpaced (no device, no screen): the tones are queued in order all the
    // same, but nothing waits for them.
    void setPaced(bool paced) { paced_.store(paced, std::memory_order_relaxed); }
    bool paced() const { return paced_.load(std::memory_order_relaxed); }

    // Tones queued and not yet started (for tests and diagnostics).
    std::size_t pendingCount() const;
    // Slots holding a tone (queued, playing, or finished but not yet freed).
    int slotsInUse() const;

  private:
    struct Slot {
        std::atomic<bool> used{false};
        ToneFrames frames;
    };

    int takeSlot(ToneFrames&& frames); // program thread; -1 when all are busy
    void freeSlot(int slot);           // main thread
    bool ensureOutputOpen();           // main thread
    void enqueue(int slot, bool wait); // program thread

    std::unique_ptr<Slot[]> slots_;
    std::unique_ptr<std::atomic<int>[]> queue_;
    std::atomic<int> writePosition_{0};
    std::atomic<int> playPosition_{0};
    std::atomic<int> waitPosition_{-1};
    std::atomic<bool> firstUseDone_{false};
    std::atomic<bool> paced_{true};

    // Main thread only.
    std::unique_ptr<AudioOutput> output_;
    bool outputTried_ = false;
    bool outputOpen_ = false;
    int playingSlot_ = -1;
};

// The process-wide generator.
ToneGenerator& toneGenerator();

// Program thread: a tone of `freq_hz` for `duration_s`, optionally waiting until it starts.
void playTone(double freq_hz, double duration_s, bool wait);

// The tone statement: frequency 0 (silence) or 37..32767 Hz, duration 0..65535 ticks of
// 1/18.2 s; anything else raises error 5 and plays nothing. A duration of 0 plays nothing.
// Waits until the tone starts.
void soundTicks(double freq_hz, double ticks);

// The console bell: 783.99 Hz for 0.2 s without waiting, then 250 ms of sleep.
void bell();

// Main loop: serves the process-wide queue.
void serviceToneQueue();

} // namespace rt
