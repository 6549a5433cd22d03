// The process frame: start-up, the program and timer threads, the main loop and the orderly
// shutdown.
//
// The main thread owns the front end: it paints the text screen, turns events into keys, serves
// the tone queue and, when the program is to end, stops the other threads, closes every file and
// returns the exit code. The program thread runs the calculator's main routine; the timer thread
// only has to run and report its end. They meet through the polled flags of errors.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/frontend.h"

namespace rt {

using ProgramMain = void (*)();

// ---- choosing the front end ----------------------------------------------------------------

enum class FrontendKind : std::uint8_t { automatic, window, terminal, headless };

// What the headless front end does with an error box, which nobody is there to read:
//   stop     the first box ends the run in order, with exit status 3 (the default);
//   proceed  every box is answered Yes (OK) without taking a byte of the input (--on-error continue);
//   keys     the next input byte answers, as a user at the keyboard would.
enum class ErrorBoxPolicy : std::uint8_t { stop, proceed, keys };

// Exit status of a headless run that an error box stopped.
inline constexpr int kExitStoppedAtErrorBox = 3;
// Exit status for a command line the program will not run.
inline constexpr int kExitUsage = 2;

// The largest --scale: 16 x 640 x 400 is already beyond any display.
inline constexpr int kMaxWindowScale = 16;

struct FrontendOptions {
    FrontendKind kind = FrontendKind::automatic;
    std::string transcriptPath; // --transcript FILE (headless); "-" is standard output
    ErrorBoxPolicy onError = ErrorBoxPolicy::stop;
    bool onErrorGiven = false;
    int scale = 0;        // --scale N (window): 1..kMaxWindowScale, 0 from the display size
    bool help = false;    // --help, -h: print the usage and the keys, exit 0
    bool version = false; // --version: print the version, exit 0
    std::string error;    // non-empty: the command line was not understood
};

// Reads --window, --terminal, --headless, --scale N, --transcript FILE, --on-error
// stop|continue|keys (also in the form --option=value), --help and --version. The calculator itself
// reads no option; unknown arguments are an error so that a typo never starts the wrong front end
// silently.
FrontendOptions parseFrontendOptions(int argc, const char* const* argv);

// The process entry: chooses the front end (without a flag: the window when a display is set and
// the window starts, else the terminal when standard input and output are terminals, else
// headless), runs the frame and returns the exit code. Lives with the front ends (they are linked
// into the programs, not into the runtime core).
struct ProgramText {
    const char* name; // before the version, and the program's name when argv[0] is missing
    const char* version;
    const char* help; // printed by --help after the usage line
    // The file the program appends its reports to, which no transcript may name (nullptr: none).
    const char* reportFile;
};
int runProcess(int argc, char** argv, ProgramMain programMain, const ProgramText& text);

// The handlers of SIGINT, SIGTERM and SIGHUP (SIGPIPE and SIGXFSZ ignored) from the first
// instruction of the process on, so that no signal during the start-up (a window or a terminal
// being set up) ends it by the default action; the frame then acts on a signal seen meanwhile.
void installStartupSignals();
// The first such signal seen since installStartupSignals(), while the frame has not yet started.
int startupSignal();

// ---- the frame -----------------------------------------------------------------------------

// Runs the whole process life on `frontend`, whose start() has already succeeded: installs the
// message box, the process-end handler and the signal handlers, starts the program thread (which
// sets up the floating-point unit, then calls programMain) and the timer thread, runs the main
// loop until closeRequested or a close from the front end, and shuts down in order. Returns the
// exit code: 128 + the signal number after SIGINT, SIGTERM or SIGHUP, as shells expect. Restores every hook
// it installed, so tests can run it more than once per process.
int runFrame(Frontend& frontend, ProgramMain programMain);

// Program thread asks the main thread to hold still: 0 idle, 1 requested, 2 acknowledged (the
// main loop waits in 1 ms steps while it stays 2).
std::atomic<std::uint32_t>& pauseHandshake();

// Toggled on every pass of the main loop: 1 on refresh passes, 0 on event passes.
bool loopPhase();

// Number of completed screen refreshes; a thread that wants the picture to catch up waits until
// it grows.
std::uint64_t refreshCount();

// The front end of the running frame, or none.
Frontend* activeFrontend();

// Local time of day at start-up in milliseconds and the steady tick count (ms) taken with it;
// timeOfDay_ms() derives the time of day now as (ticks now - start ticks + clockBase) mod 86.4e6.
struct ClockBase {
    std::int64_t timeOfDay_ms = 0;
    std::int64_t ticks_ms = 0;
};
ClockBase clockBase();
void synchroniseClock();
std::int64_t timeOfDay_ms();

// A copy of the visible text screen for the front ends.
ScreenImage captureScreen();

// Restores the terminal (if a front end took it) and ends the process at once with `code`,
// closing every file first. For paths that cannot take the orderly shutdown.
[[noreturn]] void abandonProcess(int code);

} // namespace rt
