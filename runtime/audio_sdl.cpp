// Tones through SDL_mixer. Every call comes from the main loop's thread.
#include "runtime/tones.h"

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace rt {

namespace {

bool exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

class SdlAudio final : public AudioOutput {
  public:
    ~SdlAudio() override { close(); }

    bool open(std::string& error) override {
        // Left to itself, SDL tries one driver after another, and the ALSA library writes about a
        // dozen lines to standard error when there is no sound card. Where nothing could play a
        // sound the attempt is not made; a driver the user names is always tried.
        const char* driver = std::getenv("SDL_AUDIODRIVER");
        if ((driver == nullptr || driver[0] == '\0') && !soundOutputLikely()) {
            error = "no sound device";
            return false;
        }
        // Audio has a subsystem of its own, so a machine without sound still gets its window.
        if (!SDL_WasInit(SDL_INIT_AUDIO)) {
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
                error = SDL_GetError();
                return false;
            }
            ownsSubsystem_ = true;
        }
        if (Mix_OpenAudio(kSampleRate_hz, AUDIO_S16SYS, kAudioChannels, kAudioBufferFrames) != 0) {
            error = Mix_GetError();
            if (ownsSubsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
            ownsSubsystem_ = false;
            return false;
        }
        Mix_AllocateChannels(kMixingChannels);
        int frequency = 0;
        Uint16 format = 0;
        int channels = 0;
        Mix_QuerySpec(&frequency, &format, &channels);
        // The mixer plays raw chunks in the device's format; when the device differs from the
        // tones' format they are converted before they are handed over.
        needsConversion_ =
            frequency != kSampleRate_hz || format != AUDIO_S16SYS || channels != kAudioChannels;
        if (needsConversion_ && SDL_BuildAudioCVT(&cvt_, AUDIO_S16SYS, kAudioChannels, kSampleRate_hz, format,
                                                  static_cast<Uint8>(channels), frequency) < 0) {
            error = SDL_GetError();
            closeMixer();
            return false;
        }
        open_ = true;
        return true;
    }

    void start(const std::int16_t* frames, std::size_t frameCount) override {
        if (!open_) return;
        releaseChunk();
        const std::size_t bytes = frameCount * kAudioChannels * sizeof(std::int16_t);
        Uint8* data = reinterpret_cast<Uint8*>(const_cast<std::int16_t*>(frames));
        Uint32 length = static_cast<Uint32>(bytes);
        if (needsConversion_) {
            converted_.assign(bytes * static_cast<std::size_t>(cvt_.len_mult), 0);
            std::memcpy(converted_.data(), frames, bytes);
            cvt_.buf = converted_.data();
            cvt_.len = static_cast<int>(bytes);
            SDL_ConvertAudio(&cvt_);
            data = converted_.data();
            length = static_cast<Uint32>(cvt_.len_cvt);
        }
        chunk_ = Mix_QuickLoad_RAW(data, length);
        if (chunk_ == nullptr) return;
        Mix_VolumeChunk(chunk_, MIX_MAX_VOLUME);
        channel_ = Mix_PlayChannel(-1, chunk_, 0);
    }

    bool playing() override { return open_ && channel_ >= 0 && Mix_Playing(channel_) != 0; }

    // A driver whose output fails stops the device; its channels then never finish.
    bool broken() override { return open_ && SDL_GetAudioStatus() == SDL_AUDIO_STOPPED; }

    void finish() override { releaseChunk(); }

    void close() override {
        if (!open_) return;
        releaseChunk();
        closeMixer();
        open_ = false;
    }

  private:
    void releaseChunk() {
        if (channel_ >= 0) Mix_HaltChannel(channel_);
        channel_ = -1;
        if (chunk_ != nullptr) Mix_FreeChunk(chunk_);
        chunk_ = nullptr;
        converted_.clear();
    }

    void closeMixer() {
        Mix_CloseAudio();
        if (ownsSubsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        ownsSubsystem_ = false;
    }

    bool open_ = false;
    bool ownsSubsystem_ = false;
    bool needsConversion_ = false;
    SDL_AudioCVT cvt_{};
    std::vector<Uint8> converted_;
    Mix_Chunk* chunk_ = nullptr;
    int channel_ = -1;
};

} // namespace

bool soundOutputLikely(const std::string& deviceDirectory) {
    if (DIR* devices = opendir(deviceDirectory.c_str())) {
        bool playback = false;
        while (const dirent* entry = readdir(devices)) {
            if (std::strncmp(entry->d_name, "pcm", 3) == 0) playback = true;
        }
        closedir(devices);
        if (playback) return true;
    }
    if (exists("/dev/dsp")) return true;
    const char* pulse = std::getenv("PULSE_SERVER");
    if (pulse != nullptr && pulse[0] != '\0') return true;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] != '\0') {
        const std::string dir = runtime;
        if (exists(dir + "/pulse/native") || exists(dir + "/pipewire-0")) return true;
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && exists(std::string(home) + "/.asoundrc"))
        return true;
    return exists("/etc/asound.conf");
}

std::unique_ptr<AudioOutput> makeSdlAudio() {
    return std::make_unique<SdlAudio>();
}

} // namespace rt
