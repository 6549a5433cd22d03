#include "runtime/frame.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "core/math.h"
#include "runtime/files.h"
#include "runtime/keyboard.h"
#include "runtime/process.h"
#include "runtime/screen.h"
#include "runtime/tones.h"

namespace rt {

namespace {

using namespace std::chrono_literals;

std::atomic<std::uint32_t> gPauseHandshake{0};
std::atomic<bool> gLoopPhase{false};
std::atomic<std::uint64_t> gRefreshCount{0};
std::atomic<Frontend*> gActiveFrontend{nullptr};
std::atomic<std::int64_t> gClockTimeOfDay_ms{0};
std::atomic<std::int64_t> gClockTicks_ms{0};
std::atomic<int> gSignalsSeen{0};
std::atomic<int> gFirstSignal{0};
std::atomic<std::thread::id> gProgramThreadId{};
std::atomic<bool> gProgramThreadFinished{false};
std::atomic<bool> gProgramThreadParked{false};

constexpr std::int64_t kDay_ms = 86'400'000;

std::int64_t steadyTicks_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void sleepFor(std::chrono::milliseconds d) {
    std::this_thread::sleep_for(d);
}

// ---- signals ---------------------------------------------------------------------------------

// The first SIGINT, SIGTERM or SIGHUP asks for the orderly shutdown (files closed, then exit code
// 128 + the signal number); a second one while that is under way gives up waiting: the terminal is
// restored and the process ends at once. Every finished line is in its file already; only a line
// still unfinished (the molality prompt's) is not written then.
extern "C" void onTerminationSignal(int signalNumber) {
    if (gSignalsSeen.fetch_add(1) == 0) {
        gFirstSignal.store(signalNumber);
        processFlags().closeRequested.store(1);
        return;
    }
    if (Frontend* frontend = gActiveFrontend.load()) frontend->emergencyRestore();
    _exit(128 + signalNumber);
}

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct SavedSignals {
    struct sigaction termination[std::size(kTerminationSignals)];
    struct sigaction pipe;
    struct sigaction fileSize;
};

// Set by installStartupSignals(): a signal seen before the frame starts is the frame's to act on.
std::atomic<bool> gStartupSignals{false};

void installSignals(SavedSignals& saved) {
    if (!gStartupSignals.exchange(false)) {
        gSignalsSeen.store(0);
        gFirstSignal.store(0);
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kTerminationSignals); ++i) {
        sigaction(kTerminationSignals[i], &action, &saved.termination[i]);
    }
    // A closed reader of standard output or error must not kill the process before its files are
    // closed; the write then fails and is ignored.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &saved.pipe);
    // Nor must a file-size limit (ulimit -f): the write or the audio set-up then fails with EFBIG,
    // which the program reports (an error box, silent tones) instead of dying with a core.
    sigaction(SIGXFSZ, &ignore, &saved.fileSize);
}

} // namespace

void installStartupSignals() {
    SavedSignals unused{};
    installSignals(unused);
    gStartupSignals.store(true);
}

int startupSignal() {
    return gStartupSignals.load() ? gFirstSignal.load() : 0;
}

namespace {

void restoreSignals(const SavedSignals& saved) {
    for (std::size_t i = 0; i < std::size(kTerminationSignals); ++i) {
        sigaction(kTerminationSignals[i], &saved.termination[i], nullptr);
    }
    sigaction(SIGPIPE, &saved.pipe, nullptr);
    sigaction(SIGXFSZ, &saved.fileSize, nullptr);
}

// ---- threads -----------------------------------------------------------------------------------

void programThreadBody(ProgramMain programMain) {
    ProcessFlags& flags = processFlags();
    gProgramThreadId.store(std::this_thread::get_id());
    core::setupFloatingPoint();
    try {
        programMain();
    } catch (const ProgramThreadStop&) {
        // The normal end of the program thread: a stop path of the statement check.
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Program thread ended: %s\n", e.what());
        flags.exitCode.store(EXIT_FAILURE);
    }
    // The main routine never returns by itself; if it did (or failed), the process ends too.
    flags.threadsDone.fetch_or(1);
    flags.closeRequested.store(1);
    gProgramThreadFinished.store(true);
}

// A floating-point signal has parked the program thread inside its handler (it cannot unwind from
// there). Its fatal box is shown by a thread of its own, as the program thread's boxes are (the
// main loop draws it), and its answer ends the process in order.
std::thread fatalSignalBox(std::uint32_t code) {
    gProgramThreadParked.store(true);
    processFlags().threadsDone.fetch_or(1);
    return std::thread([code] {
        const auto [caption, text] = fatalErrorTexts(code);
        showMessageBox(caption, text, BoxButtons::ok);
        processFlags().exitCode.store(0);
        processFlags().closeRequested.store(1);
    });
}

// The timer thread serves no timed event of the calculator's, so it sleeps until the shutdown
// wakes it (the timeout only guards against a stop that came another way) instead of polling.
std::mutex gTimerMutex;
std::condition_variable gTimerWake;

void timerThreadBody() {
    ProcessFlags& flags = processFlags();
    {
        std::unique_lock lock(gTimerMutex);
        while (flags.stopRequested.load() == 0)
            gTimerWake.wait_for(lock, 250ms);
    }
    flags.threadsDone.fetch_or(2);
}

void wakeTimerThread() {
    { std::lock_guard lock(gTimerMutex); }
    gTimerWake.notify_all();
}

} // namespace

// ---- key rules -----------------------------------------------------------------------------------

KeyOutcome dispatchKey(const KeyEvent& key) {
    ProcessFlags& flags = processFlags();
    if (key.name == KeyName::modifier || key.name == KeyName::wheelUp || key.name == KeyName::wheelDown)
        return KeyOutcome::ignored;

    const bool ctrlC = key.character == 3; // Ctrl+C keeps the promise of the start-up screen
    if (key.name == KeyName::breakKey || (key.ctrl && key.name == KeyName::scrollLock) ||
        (key.ctrl && key.name == KeyName::f15) || ctrlC) {
        flags.closeRequested.store(1);
        return KeyOutcome::closeRequested;
    }
    if (key.name == KeyName::pause || (key.ctrl && key.name == KeyName::numLock)) {
        flags.suspendRequested.fetch_or(1);
        core::errorState().eventFlag.store(1);
        return KeyOutcome::suspended;
    }
    if ((flags.suspendRequested.load() & 1) != 0) {
        flags.suspendRequested.fetch_and(~std::uint32_t{1});
        return KeyOutcome::resumed;
    }
    if (key.name == KeyName::enter && key.alt) return KeyOutcome::toggleFullScreen;
    // Lock keys and the like have neither a character nor a scan code of their own.
    if (key.character == 0 && key.extended == 0) return KeyOutcome::ignored;
    const bool added =
        key.character != 0 ? keyQueue().push(key.character, 0) : keyQueue().push(0, key.extended);
    return added ? KeyOutcome::queued : KeyOutcome::dropped;
}

namespace scan {

std::uint8_t functionKey(int n, Modifiers mods) {
    if (n < 1 || n > 12) return 0;
    if (n <= 10) {
        const int base = mods.alt ? 104 : mods.ctrl ? 94 : mods.shift ? 84 : 59;
        return static_cast<std::uint8_t>(base + n - 1);
    }
    const int base = mods.alt ? 139 : mods.ctrl ? 137 : mods.shift ? 135 : 133;
    return static_cast<std::uint8_t>(base + n - 11);
}

std::uint8_t altCharacter(char c) {
    // Scan codes of the main keyboard rows: digits 1..9, 0 then the letter rows.
    static constexpr const char* kRows[] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"};
    static constexpr int kFirstCode[] = {120, 16, 30, 44};
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (std::size_t row = 0; row < std::size(kRows); ++row) {
        if (const char* at = std::strchr(kRows[row], c); at != nullptr && c != '\0') {
            return static_cast<std::uint8_t>(kFirstCode[row] + (at - kRows[row]));
        }
    }
    return 0;
}

} // namespace scan

std::array<std::uint32_t, 16> defaultTextPalette() {
    const std::array<std::uint32_t, 256> all = defaultPalette();
    std::array<std::uint32_t, 16> text{};
    std::copy_n(all.begin(), text.size(), text.begin());
    return text;
}

ScreenImage captureScreen() {
    const Screen& s = screen();
    ScreenImage image;
    image.columns = Screen::kColumns;
    image.rows = Screen::kRows;
    image.cells.resize(static_cast<std::size_t>(image.columns * image.rows));
    for (int row = 1; row <= image.rows; ++row) {
        for (int column = 1; column <= image.columns; ++column)
            image.at(row, column) = s.cell(row, column);
    }
    image.cursorRow = s.cursorRow();
    image.cursorColumn = s.cursorColumn();
    image.cursorVisible = s.cursorVisible();
    image.pendingWrap = s.pendingWrap();
    image.cursorStart = s.cursorStart();
    image.cursorStop = s.cursorStop();
    for (int i = 0; i < 16; ++i)
        image.palette[static_cast<std::size_t>(i)] = s.paletteEntry(i);
    return image;
}

// ---- message-box hand-over ---------------------------------------------------------------------

BoxAnswer BoxChannel::ask(const std::string& caption, const std::string& text, BoxButtons buttons) {
    const BoxAnswer refusal = buttons == BoxButtons::ok ? BoxAnswer::ok : BoxAnswer::no;
    std::unique_lock lock(mutex_);
    request_ = Request{caption, text, buttons};
    open_ = true;
    done_ = false;
    while (!done_) {
        if (processFlags().stopRequested.load() != 0) {
            open_ = false;
            return refusal;
        }
        answered_.wait_for(lock, 10ms);
    }
    open_ = false;
    return answer_;
}

bool BoxChannel::pending(Request* out) const {
    std::lock_guard lock(mutex_);
    if (!open_ || done_) return false;
    if (out != nullptr) *out = request_;
    return true;
}

void BoxChannel::answer(BoxAnswer answer) {
    {
        std::lock_guard lock(mutex_);
        if (!open_ || done_) return;
        answer_ = answer;
        done_ = true;
    }
    answered_.notify_all();
}

// ---- command line --------------------------------------------------------------------------------

namespace {

// A whole number from 1 to kMaxWindowScale, written in plain digits; 0 for anything else.
int parseScale(const std::string& text) {
    if (text.empty() || text.size() > 2) return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value <= kMaxWindowScale ? value : 0;
}

} // namespace

FrontendOptions parseFrontendOptions(int argc, const char* const* argv) {
    FrontendOptions options;
    auto setKind = [&](FrontendKind kind, const char* arg) {
        if (options.kind != FrontendKind::automatic && options.kind != kind) {
            options.error = std::string("conflicting front-end option ") + arg;
        }
        options.kind = kind;
    };
    // An option that takes a value, as "--name VALUE" or "--name=VALUE": true when `arg` is that
    // option, with the value (empty when none follows) in `value`.
    int i = 1;
    std::string value;
    auto valued = [&](const std::string& arg, std::string_view name) {
        if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
            value = arg.substr(name.size() + 1);
            return true;
        }
        if (arg != name) return false;
        value = i + 1 < argc && argv[i + 1] != nullptr ? argv[++i] : "";
        return true;
    };
    for (; i < argc && options.error.empty(); ++i) {
        const std::string arg = argv[i] != nullptr ? argv[i] : "";
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--window") {
            setKind(FrontendKind::window, argv[i]);
        } else if (arg == "--terminal") {
            setKind(FrontendKind::terminal, argv[i]);
        } else if (arg == "--headless") {
            setKind(FrontendKind::headless, argv[i]);
        } else if (valued(arg, "--transcript")) {
            options.transcriptPath = value;
            if (value.empty()) options.error = "--transcript needs a file name";
        } else if (valued(arg, "--scale")) {
            options.scale = parseScale(value);
            if (options.scale == 0) {
                options.error = "invalid --scale value '" + value + "' (a whole number from 1 to " +
                                std::to_string(kMaxWindowScale) + ")";
            }
        } else if (valued(arg, "--on-error")) {
            options.onErrorGiven = true;
            if (value == "stop") {
                options.onError = ErrorBoxPolicy::stop;
            } else if (value == "continue") {
                options.onError = ErrorBoxPolicy::proceed;
            } else if (value == "keys") {
                options.onError = ErrorBoxPolicy::keys;
            } else {
                options.error = "--on-error takes stop, continue or keys, not '" + value + "'";
            }
        } else {
            options.error = "unknown option " + arg;
        }
    }
    const bool headlessOnly = !options.transcriptPath.empty() || options.onErrorGiven;
    if (options.error.empty() && headlessOnly && options.kind != FrontendKind::headless &&
        options.kind != FrontendKind::automatic) {
        options.error = std::string(options.transcriptPath.empty() ? "--on-error" : "--transcript") +
                        " works with the headless front end only";
    }
    if (options.error.empty() && options.scale != 0 && options.kind != FrontendKind::window &&
        options.kind != FrontendKind::automatic) {
        options.error = "--scale works with the window only";
    }
    return options;
}

// ---- clock ---------------------------------------------------------------------------------------

// The clock is read with sub-second resolution, so the time of day is exact to the millisecond
// without waiting for the seconds to change.
void synchroniseClock() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t ticks = steadyTicks_ms();
    std::tm local{};
    const time_t seconds = now.tv_sec;
    std::int64_t timeOfDay = 0;
    if (localtime_r(&seconds, &local) != nullptr) {
        timeOfDay =
            (local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec) * 1000LL + now.tv_nsec / 1'000'000;
    }
    gClockTimeOfDay_ms.store(timeOfDay);
    gClockTicks_ms.store(ticks);
}

ClockBase clockBase() {
    return {gClockTimeOfDay_ms.load(), gClockTicks_ms.load()};
}

std::int64_t timeOfDay_ms() {
    const std::int64_t elapsed = steadyTicks_ms() - gClockTicks_ms.load();
    return ((elapsed + gClockTimeOfDay_ms.load()) % kDay_ms + kDay_ms) % kDay_ms;
}

// ---- small shared state --------------------------------------------------------------------------

std::atomic<std::uint32_t>& pauseHandshake() {
    return gPauseHandshake;
}
bool loopPhase() {
    return gLoopPhase.load();
}
std::uint64_t refreshCount() {
    return gRefreshCount.load();
}
Frontend* activeFrontend() {
    return gActiveFrontend.load();
}

[[noreturn]] void abandonProcess(int code) {
    closeAllFiles();
    if (Frontend* frontend = gActiveFrontend.load()) frontend->emergencyRestore();
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(code);
}

// ---- the frame -----------------------------------------------------------------------------------

int runFrame(Frontend& frontend, ProgramMain programMain) {
    ProcessFlags& flags = processFlags();
    gActiveFrontend.store(&frontend);
    gPauseHandshake.store(0);
    gProgramThreadFinished.store(false);
    gProgramThreadParked.store(false);
    gLoopPhase.store(false);

    synchroniseClock();

    setMessageBox([&frontend](const std::string& caption, const std::string& text, BoxButtons buttons) {
        return frontend.messageBox(caption, text, buttons);
    });
    // The program thread's statements stop, suspend and report through this frame.
    installProgramChecks();
    // Character 7 sounds the bell (a queued tone, then 250 ms) on every front end.
    setBellHandler(bell);
    // A critical or fatal error box ends the process. On the program thread that goes through the
    // orderly path (files closed by the main thread, exit code kept); elsewhere at once.
    setProcessEnd([](int code) {
        ProcessFlags& f = processFlags();
        f.exitCode.store(code);
        if (std::this_thread::get_id() == gProgramThreadId.load()) {
            f.closeRequested.store(1);
            stopProgramThread();
        }
        abandonProcess(code);
    });
    SavedSignals savedSignals{};
    installSignals(savedSignals);

    // Without a device and without a screen to pace, silent tones keep their order but take no time.
    toneGenerator().setPaced(frontend.audible());
    if (!frontend.audible()) toneGenerator().setOutput(makeSilentAudio(false));

    std::thread programThread;
    std::thread timerThread;
    try {
        programThread = std::thread(programThreadBody, programMain);
        timerThread = std::thread(timerThreadBody);
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "Unable to create thread: %s\n", e.what());
        flags.exitCode.store(EXIT_FAILURE);
        flags.closeRequested.store(1);
    }

    // Main loop.
    std::thread fatalBox;
    std::optional<ScreenImage> captured;
    std::uint64_t capturedChange = 0;
    for (;;) {
        if (const std::uint32_t fatal = core::takeFatalSignal(); fatal != 0 && !fatalBox.joinable())
            fatalBox = fatalSignalBox(fatal);
        if (gPauseHandshake.load() == 1) {
            gPauseHandshake.store(2);
            while (gPauseHandshake.load() == 2 && flags.closeRequested.load() == 0)
                sleepFor(1ms);
        }
        if (frontend.hidden()) {
            if (flags.closeRequested.load() != 0) break;
            sleepFor(64ms);
            if (frontend.handleEvents() == EventsResult::closeWindow) break;
            continue;
        }
        // One sleep per pass: every wake-up of an idle program costs the machine more than the work
        // of the pass itself.
        sleepFor(16ms);
        if (flags.closeRequested.load() != 0) break;
        serviceToneQueue();
        // Unpaced tones are over as soon as they start: play the whole queue in this pass.
        for (int n = 0; !frontend.audible() && n < kToneSlots && toneGenerator().pendingCount() > 0; ++n)
            serviceToneQueue();
        const bool phase = !gLoopPhase.load();
        gLoopPhase.store(phase);
        if (phase) {
            // An idle screen is copied once, not on every pass; the count is read first, so a
            // change made during the copy is copied again next time.
            if (const std::uint64_t change = screen().changeCount(); !captured || change != capturedChange) {
                capturedChange = change;
                captured = captureScreen();
            }
            frontend.refresh(*captured);
            gRefreshCount.fetch_add(1);
        } else if (frontend.handleEvents() == EventsResult::closeWindow) {
            break;
        }
    }

    // Shutdown.
    flags.stopRequested.store(1);
    core::errorState().eventFlag.store(1);
    wakeTimerThread();
    if (fatalBox.joinable()) fatalBox.join(); // its box returns once stopRequested is set
    if (programThread.joinable()) {
        while (!gProgramThreadFinished.load() && !gProgramThreadParked.load())
            sleepFor(1ms);
        if (gProgramThreadParked.load()) {
            programThread.detach();
        } else {
            programThread.join();
        }
    } else {
        flags.threadsDone.fetch_or(1);
    }
    if (!timerThread.joinable()) flags.threadsDone.fetch_or(2);
    while (flags.threadsDone.load() != 3)
        sleepFor(16ms);
    if (timerThread.joinable()) timerThread.join();

    // The last picture: the terminal shows it once more, the transcript keeps it.
    frontend.refresh(captureScreen());
    closeAllFiles();
    toneGenerator().shutdown();
    frontend.shutdown();

    restoreSignals(savedSignals);
    setProcessEnd(nullptr);
    setMessageBox(nullptr);
    setBellHandler(nullptr);
    gActiveFrontend.store(nullptr);
    gProgramThreadId.store(std::thread::id{});
    gProgramThreadFinished.store(false);
    gProgramThreadParked.store(false);
    toneGenerator().setPaced(true);
    if (const int signalNumber = gFirstSignal.load(); signalNumber != 0) return 128 + signalNumber;
    return flags.exitCode.load();
}

} // namespace rt
