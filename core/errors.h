// Numbered runtime errors, the statement check and the stop paths of the program thread.
//
// A failure inside a runtime service never unwinds: it is raised into a pending slot and the
// statement completes with a substitute value. The calculator calls statementEnd() after every
// statement; when something is pending, the statement check reports it in a message box and
// either goes on or stops the program thread.
//
// State is split in two:
//   * ProcessFlags: one per process, shared by the main, program and timer threads
//     (suspendRequested, stopRequested, closeRequested, threadsDone, exitCode).
//   * ErrorState: pendingError, eventFlag, statementLine, repeatStatement and the message box
//     that reports them. The calculator's program thread uses the process-wide instance;
//     a tool that runs the model on several threads gives each worker its own (ErrorScope),
//     so that one state point's error never leaks into another's.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace rt {

// ---- the table of codes and messages -------------------------------------------------------

// Every code of the runtime, by the name of its message. The table of messages is keyed by these
// names; code never raises a bare number. The numbers are the ones users read in error boxes.
enum class ErrorCode : std::uint32_t {
    nextWithoutFor = 1,
    syntaxError = 2,
    returnWithoutGosub = 3,
    outOfData = 4,
    illegalFunctionCall = 5,
    overflow = 6,
    outOfMemory = 7,
    labelNotDefined = 8,
    subscriptOutOfRange = 9,
    duplicateDefinition = 10,
    illegalInDirectMode = 12,
    typeMismatch = 13,
    outOfStringSpace = 14,
    stringFormulaTooComplex = 16,
    cannotContinue = 17,
    functionNotDefined = 18,
    noResume = 19,
    resumeWithoutError = 20,
    deviceTimeout = 24,
    deviceFault = 25,
    forWithoutNext = 26,
    outOfPaper = 27,
    whileWithoutWend = 29,
    wendWithoutWhile = 30,
    duplicateLabel = 33,
    subprogramNotDefined = 35,
    argumentCountMismatch = 37,
    arrayNotDefined = 38,
    variableRequired = 40,
    fieldOverflow = 50,
    internalError = 51,
    badFileNameOrNumber = 52,
    fileNotFound = 53,
    badFileMode = 54,
    fileAlreadyOpen = 55,
    fieldStatementActive = 56,
    deviceIoError = 57,
    fileAlreadyExists = 58,
    badRecordLength = 59,
    diskFull = 61,
    inputPastEndOfFile = 62,
    badRecordNumber = 63,
    badFileName = 64,
    tooManyFiles = 67,
    deviceUnavailable = 68,
    communicationBufferOverflow = 69,
    permissionDenied = 70,
    diskNotReady = 71,
    diskMediaError = 72,
    featureUnavailable = 73,
    renameAcrossDisks = 74,
    pathFileAccessError = 75,
    pathNotFound = 76,
    invalidHandle = 258,
    memoryRegionOutOfRange = 300,
    invalidSize = 301,
    sourceMemoryRegionOutOfRange = 302,
    destinationMemoryRegionOutOfRange = 303,
    sourceAndDestinationMemoryRegionsOutOfRange = 304,
    sourceMemoryHasBeenFreed = 305,
    destinationMemoryHasBeenFreed = 306,
    memoryAlreadyFreed = 307,
    memoryHasBeenFreed = 308,
    memoryNotInitialized = 309,
    sourceMemoryNotInitialized = 310,
    destinationMemoryNotInitialized = 311,
    sourceAndDestinationMemoryNotInitialized = 312,
    sourceAndDestinationMemoryHaveBeenFreed = 313,
    // Fatal-only conditions: they end the process with a box of their own (fatalErrorTexts).
    divisionByZero = 11,
    outOfStackSpace = 256,
    outOfMemoryFatal = 257,
    dynamicLibraryNotFound = 259,
    dynamicLibraryFunctionMissing = 260,
    // 502..518 report "Critical Error #(code - 500)" "Out of memory"; the line editor's screen copy
    // is #16.
    screenCopyOutOfMemory = 516,
};

constexpr std::uint32_t codeNumber(ErrorCode code) {
    return static_cast<std::uint32_t>(code);
}

// The message of a code, or "Unprintable error" for codes without one.
const char* errorMessage(std::uint32_t code);
inline const char* errorMessage(ErrorCode code) {
    return errorMessage(codeNumber(code));
}
// Codes 300..313 end the program after the report instead of offering to continue.
constexpr bool isCriticalError(std::uint32_t code) {
    return code >= codeNumber(ErrorCode::memoryRegionOutOfRange) &&
           code <= codeNumber(ErrorCode::sourceAndDestinationMemoryHaveBeenFreed);
}

// ---- message boxes ---------------------------------------------------------------------------

enum class BoxButtons { yesNo, ok };
enum class BoxAnswer { yes, no, ok };

// Shows a box and returns the user's answer. Each front end (window, terminal, headless)
// installs one; tests install a double that records the box and gives a scripted answer.
using MessageBoxFn =
    std::function<BoxAnswer(const std::string& caption, const std::string& text, BoxButtons buttons)>;

// The box every ErrorState uses unless it has one of its own. Default: writes caption and
// text to standard error and answers No (or OK).
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

// ---- per-thread error state ------------------------------------------------------------------

struct ErrorState {
    std::atomic<std::uint32_t> pendingError{0};
    std::atomic<std::uint32_t> eventFlag{0};
    std::atomic<std::uint32_t> statementLine{0};
    std::atomic<std::uint32_t> repeatStatement{0};
    // When set, replaces the process-wide message box for this state.
    MessageBoxFn box;
};

namespace detail {
extern ErrorState processErrorState;
extern constinit thread_local ErrorState* currentErrorState; // set by ErrorScope
} // namespace detail

// The error state of the calling thread: the process-wide one unless an ErrorScope is active.
// Inline: the model asks for it at every statement.
inline ErrorState& errorState() {
    return detail::currentErrorState != nullptr ? *detail::currentErrorState : detail::processErrorState;
}

// Makes `state` the calling thread's error state for the scope's lifetime.
class ErrorScope {
  public:
    explicit ErrorScope(ErrorState& state);
    ~ErrorScope();
    ErrorScope(const ErrorScope&) = delete;
    ErrorScope& operator=(const ErrorScope&) = delete;

  private:
    ErrorState* previous_;
};

// ---- operations ------------------------------------------------------------------------------

// First error of a statement wins; a code of 0 or less becomes illegalFunctionCall. The numeric
// form serves codes that arrive as numbers (a mapped errno, a code read back from the state).
void raiseError(std::int64_t code);
inline void raiseError(ErrorCode code) {
    raiseError(static_cast<std::int64_t>(code));
}

// Conditions after which the process cannot go on: OK box, then exit code 0. Codes without a
// fatal case of their own go to raiseError.
void fatalError(std::int64_t code);
inline void fatalError(ErrorCode code) {
    fatalError(static_cast<std::int64_t>(code));
}

// The box texts of reportError, exposed for the front ends and the tests.
std::string errorBoxText(std::uint32_t code, std::uint32_t line);
std::string errorBoxCaption(std::uint32_t code);
// The caption and text fatalError shows for `code`; empty caption when the code has no fatal case.
std::pair<std::string, std::string> fatalErrorTexts(std::int64_t code);

// Runs after a statement that left eventFlag set: stop/suspend handling, then the report.
void statementCheck(std::uint32_t line);

// Called after every statement of the calculator with the statement's number.
inline void statementEnd(std::uint32_t line) {
    if (errorState().eventFlag.load(std::memory_order_relaxed) != 0) statementCheck(line);
}

// Shows the pending error; clears it when the user goes on.
void reportError();

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

// Clears every flag of the process and the calling thread's error state (tests, and a tool that
// runs many sessions in one process).
void resetErrorStateForTesting();

} // namespace rt
