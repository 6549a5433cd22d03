// Numbered errors and the per-thread error state.
//
// A failure inside a checked function never unwinds: it is raised into a pending slot and the
// statement completes with a substitute value. Every statement ends with statementEnd(); when
// something is pending there, the statement check takes it. On a private state (a library call,
// a worker of a tool, a test) the check records the first error and its statement, offers each
// error to the state's observer, clears it and the run goes on. The process-wide state is the
// calculator's program thread: the console runtime installs a check of its own there (stop and
// suspend requests, the error box).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace core {

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
    // Fatal-only conditions: the console runtime ends the process with a box of their own.
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

// ---- per-thread error state ------------------------------------------------------------------

// Called with every error that meets a statement end on a private state, before it is cleared.
using ErrorObserver = std::function<void(std::uint32_t code, std::uint32_t statement)>;

struct ErrorState {
    std::atomic<std::uint32_t> pendingError{0};
    std::atomic<std::uint32_t> eventFlag{0};
    std::atomic<std::uint32_t> statementLine{0};
    std::atomic<std::uint32_t> repeatStatement{0};
    // The first error met at a statement end since clear(), and that statement: what a caller of
    // the library reports for a point. An error still pending when the run ends met no statement
    // end; read it with firstOrPending().
    std::atomic<std::uint32_t> firstError{0};
    std::atomic<std::uint32_t> firstStatement{0};
    ErrorObserver observer;

    // Forgets every error and the record: the state of a new point.
    void clear();
    // The first recorded error, else the one still pending, else 0.
    std::uint32_t firstOrPending() const;
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

// Runs after a statement that left eventFlag set.
void statementCheck(std::uint32_t line);

// Called after every statement with the statement's number.
inline void statementEnd(std::uint32_t line) {
    if (errorState().eventFlag.load(std::memory_order_relaxed) != 0) statementCheck(line);
}

// Takes the calling thread's pending error at statement `line`: notes the line and, when it is
// the first since clear(), the record. Returns the code, 0 when nothing is pending. Each check
// calls it; the error stays pending for the check to report or clear.
std::uint32_t takeStatementError(std::uint32_t line);

// The check of the process-wide state; nullptr: the process-wide state is checked as a private one.
using StatementCheckFn = void (*)(std::uint32_t line);
void setProcessStatementCheck(StatementCheckFn check);

// Clears the calling thread's error state (tests, and a tool that runs many sessions in one process).
void resetErrorStateForTesting();

} // namespace core
