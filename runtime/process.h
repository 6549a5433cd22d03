// Process control of the console runtime: the flags the main, program and timer threads share,
// message boxes, the report of a pending error, the stop of the program thread and the end of the
// process.
//
// The calculator's program thread runs on the process-wide error state (core/errors.h). Once
// installProgramChecks() has run, a statement check there first honours the suspend and stop
// requests, then reports a pending error in a box: Yes goes on, No ends the program, and a
// critical code ends the process after its OK box.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "core/errors.h"

namespace rt {

// ---- message boxes ---------------------------------------------------------------------------

enum class BoxButtons { yesNo, ok };
enum class BoxAnswer { yes, no, ok };

// Shows a box and returns the user's answer. Each front end (window, terminal, headless)
// installs one; tests install a double that records the box and gives a scripted answer.
using MessageBoxFn =
    std::function<BoxAnswer(const std::string& caption, const std::string& text, BoxButtons buttons)>;

// The box of the process. Default: writes caption and text to standard error and answers No (or OK).
void setMessageBox(MessageBoxFn box);
BoxAnswer showMessageBox(const std::string& caption, const std::string& text, BoxButtons buttons);

// ---- process-wide flags ----------------------------------------------------------------------

struct ProcessFlags {
    std::atomic<std::uint32_t> suspendRequested{0}; // bit 1: Pause key; bit 2: waiting for a tone
    std::atomic<std::uint8_t> stopRequested{0};     // set by the main thread: shutting down
    std::atomic<std::uint8_t> closeRequested{0};    // set by the program thread: main loop ends
    std::atomic<std::uint32_t> threadsDone{0};      // bit 1: program thread, bit 2: timer thread
    std::atomic<std::int32_t> exitCode{0};
};
ProcessFlags& processFlags();

// ---- the program thread's statement check ----------------------------------------------------

// Makes the process-wide error state the program thread's (see the top of this file). Idempotent.
void installProgramChecks();

// Shows the pending error; clears it when the user goes on.
void reportError();

// The box texts of reportError, exposed for the front ends and the tests.
std::string errorBoxText(std::uint32_t code, std::uint32_t line);
std::string errorBoxCaption(std::uint32_t code);

// Conditions after which the process cannot go on: OK box, then exit code 0. Codes without a
// fatal case of their own go to raiseError.
void fatalError(std::int64_t code);
inline void fatalError(core::ErrorCode code) {
    fatalError(static_cast<std::int64_t>(code));
}
// The caption and text fatalError shows for `code`; empty caption when the code has no fatal case.
std::pair<std::string, std::string> fatalErrorTexts(std::int64_t code);

// Thrown by stopProgramThread and caught only at the top of the program thread (frame), where the
// thread then ends. It never crosses the numbered-error channel: no runtime service catches it.
struct ProgramThreadStop {};

// Sets bit 1 of threadsDone, waits in 16 ms steps for stopRequested, then ends the program
// thread by throwing ProgramThreadStop. Does not return.
[[noreturn]] void stopProgramThread();

// How the process ends after a critical or fatal error box. The frame installs a handler that
// closes every file and exits; tests install one that throws. The default closes nothing and
// calls std::exit.
using ProcessEndFn = std::function<void(int exitCode)>;
void setProcessEnd(ProcessEndFn end);
[[noreturn]] void endProcess(int exitCode);

// Clears every flag of the process and the calling thread's error state, and installs the program
// thread's checks (tests, and a tool that runs many sessions in one process).
void resetProcessForTesting();

} // namespace rt
