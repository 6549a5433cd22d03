#include "core/errors.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace rt {

namespace {

using E = ErrorCode;

struct CodeMessage {
    ErrorCode code;
    const char* message;
};

// The one table of codes and messages. Codes absent here print as "Unprintable error".
constexpr CodeMessage kMessages[] = {
    {E::nextWithoutFor, "NEXT without FOR"},
    {E::syntaxError, "Syntax error"},
    {E::returnWithoutGosub, "RETURN without GOSUB"},
    {E::outOfData, "Out of DATA"},
    {E::illegalFunctionCall, "Illegal function call"},
    {E::overflow, "Overflow"},
    {E::outOfMemory, "Out of memory"},
    {E::labelNotDefined, "Label not defined"},
    {E::subscriptOutOfRange, "Subscript out of range"},
    {E::duplicateDefinition, "Duplicate definition"},
    {E::illegalInDirectMode, "Illegal in direct mode"},
    {E::typeMismatch, "Type mismatch"},
    {E::outOfStringSpace, "Out of string space"},
    {E::stringFormulaTooComplex, "String formula too complex"},
    {E::cannotContinue, "Cannot continue"},
    {E::functionNotDefined, "Function not defined"},
    {E::noResume, "No RESUME"},
    {E::resumeWithoutError, "RESUME without error"},
    {E::deviceTimeout, "Device timeout"},
    {E::deviceFault, "Device fault"},
    {E::forWithoutNext, "FOR without NEXT"},
    {E::outOfPaper, "Out of paper"},
    {E::whileWithoutWend, "WHILE without WEND"},
    {E::wendWithoutWhile, "WEND without WHILE"},
    {E::duplicateLabel, "Duplicate label"},
    {E::subprogramNotDefined, "Subprogram not defined"},
    {E::argumentCountMismatch, "Argument-count mismatch"},
    {E::arrayNotDefined, "Array not defined"},
    {E::variableRequired, "Variable required"},
    {E::fieldOverflow, "FIELD overflow"},
    {E::internalError, "Internal error"},
    {E::badFileNameOrNumber, "Bad file name or number"},
    {E::fileNotFound, "File not found"},
    {E::badFileMode, "Bad file mode"},
    {E::fileAlreadyOpen, "File already open"},
    {E::fieldStatementActive, "FIELD statement active"},
    {E::deviceIoError, "Device I/O error"},
    {E::fileAlreadyExists, "File already exists"},
    {E::badRecordLength, "Bad record length"},
    {E::diskFull, "Disk full"},
    {E::inputPastEndOfFile, "Input past end of file"},
    {E::badRecordNumber, "Bad record number"},
    {E::badFileName, "Bad file name"},
    {E::tooManyFiles, "Too many files"},
    {E::deviceUnavailable, "Device unavailable"},
    {E::communicationBufferOverflow, "Communication-buffer overflow"},
    {E::permissionDenied, "Permission denied"},
    {E::diskNotReady, "Disk not ready"},
    {E::diskMediaError, "Disk-media error"},
    {E::featureUnavailable, "Feature unavailable"},
    {E::renameAcrossDisks, "Rename across disks"},
    {E::pathFileAccessError, "Path/File access error"},
    {E::pathNotFound, "Path not found"},
    {E::invalidHandle, "Invalid handle"},
    {E::memoryRegionOutOfRange, "Memory region out of range"},
    {E::invalidSize, "Invalid size"},
    {E::sourceMemoryRegionOutOfRange, "Source memory region out of range"},
    {E::destinationMemoryRegionOutOfRange, "Destination memory region out of range"},
    {E::sourceAndDestinationMemoryRegionsOutOfRange, "Source and destination memory regions out of range"},
    {E::sourceMemoryHasBeenFreed, "Source memory has been freed"},
    {E::destinationMemoryHasBeenFreed, "Destination memory has been freed"},
    {E::memoryAlreadyFreed, "Memory already freed"},
    {E::memoryHasBeenFreed, "Memory has been freed"},
    {E::memoryNotInitialized, "Memory not initialized"},
    {E::sourceMemoryNotInitialized, "Source memory not initialized"},
    {E::destinationMemoryNotInitialized, "Destination memory not initialized"},
    {E::sourceAndDestinationMemoryNotInitialized, "Source and destination memory not initialized"},
    {E::sourceAndDestinationMemoryHaveBeenFreed, "Source and destination memory have been freed"},
};

ProcessFlags gProcessFlags;

// The box and the process end are installed once by the frame before the program thread starts
// (or by a test before it runs); the mutex only guards against a test swapping them while a
// worker thread reads them.
std::mutex gHooksMutex;
MessageBoxFn gMessageBox;
ProcessEndFn gProcessEnd;

BoxAnswer defaultBox(const std::string& caption, const std::string& text, BoxButtons buttons) {
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), text.c_str());
    return buttons == BoxButtons::ok ? BoxAnswer::ok : BoxAnswer::no;
}

MessageBoxFn currentBox();

} // namespace

namespace detail {
ErrorState processErrorState;
constinit thread_local ErrorState* currentErrorState = nullptr;
} // namespace detail

namespace {

MessageBoxFn currentBox() {
    if (const auto& own = errorState().box) return own;
    std::lock_guard lock(gHooksMutex);
    return gMessageBox;
}

} // namespace

const char* errorMessage(std::uint32_t code) {
    for (const auto& entry : kMessages) {
        if (codeNumber(entry.code) == code) return entry.message;
    }
    return "Unprintable error";
}

void setMessageBox(MessageBoxFn box) {
    std::lock_guard lock(gHooksMutex);
    gMessageBox = std::move(box);
}

BoxAnswer showMessageBox(const std::string& caption, const std::string& text, BoxButtons buttons) {
    MessageBoxFn box = currentBox();
    if (!box) return defaultBox(caption, text, buttons);
    return box(caption, text, buttons);
}

ProcessFlags& processFlags() {
    return gProcessFlags;
}

ErrorScope::ErrorScope(ErrorState& state) : previous_(detail::currentErrorState) {
    detail::currentErrorState = &state;
}
ErrorScope::~ErrorScope() {
    detail::currentErrorState = previous_;
}

void raiseError(std::int64_t code) {
    ErrorState& state = errorState();
    if (state.pendingError.load(std::memory_order_relaxed) != 0) return;
    if (code <= 0) code = codeNumber(ErrorCode::illegalFunctionCall);
    // Codes travel as unsigned 32-bit numbers; anything wider keeps its low word, as the
    // 32-bit slot would.
    state.pendingError.store(static_cast<std::uint32_t>(code), std::memory_order_relaxed);
    state.eventFlag.store(1, std::memory_order_relaxed);
}

std::pair<std::string, std::string> fatalErrorTexts(std::int64_t code) {
    switch (code) {
    case codeNumber(E::divisionByZero):
        return {"Critical Error", "Division by zero"};
    case codeNumber(E::outOfStackSpace):
        return {"Critical Error", "Out of stack space"};
    case codeNumber(E::outOfMemoryFatal):
        return {"Critical Error #1", "Out of memory"};
    case codeNumber(E::dynamicLibraryNotFound):
        return {"Critical Error", "Cannot find dynamic library file"};
    case codeNumber(E::dynamicLibraryFunctionMissing):
    case codeNumber(E::dynamicLibraryFunctionMissing) + 1:
        return {"Critical Error", "Sub/Function does not exist in dynamic library"};
    default:
        break;
    }
    if (code >= 502 && code <= 518) {
        return {"Critical Error #" + std::to_string(code - 500), "Out of memory"};
    }
    return {};
}

void fatalError(std::int64_t code) {
    auto [caption, text] = fatalErrorTexts(code);
    if (caption.empty()) {
        raiseError(code);
        return;
    }
    showMessageBox(caption, text, BoxButtons::ok);
    endProcess(0);
}

std::string errorBoxText(std::uint32_t code, std::uint32_t line) {
    std::string text = "Line:" + std::to_string(line) + "\n" + errorMessage(code);
    if (!isCriticalError(code)) text += "\nContinue?";
    return text;
}

std::string errorBoxCaption(std::uint32_t code) {
    return std::string(isCriticalError(code) ? "Critical Error #" : "Unhandled Error #") +
           std::to_string(code);
}

void reportError() {
    ErrorState& state = errorState();
    const std::uint32_t code = state.pendingError.load(std::memory_order_relaxed);
    const std::uint32_t line = state.statementLine.load(std::memory_order_relaxed);
    const std::string caption = errorBoxCaption(code);
    const std::string text = errorBoxText(code, line);
    if (isCriticalError(code)) {
        showMessageBox(caption, text, BoxButtons::ok);
        endProcess(0);
    }
    if (showMessageBox(caption, text, BoxButtons::yesNo) == BoxAnswer::yes) {
        state.pendingError.store(0, std::memory_order_relaxed);
        return;
    }
    processFlags().closeRequested.store(1);
    stopProgramThread();
}

void statementCheck(std::uint32_t line) {
    ErrorState& state = errorState();
    ProcessFlags& flags = processFlags();
    state.eventFlag.store(0, std::memory_order_relaxed);
    state.repeatStatement.store(0, std::memory_order_relaxed);
    while (flags.suspendRequested.load() != 0 || flags.stopRequested.load() != 0) {
        if (flags.stopRequested.load() != 0) stopProgramThread();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (state.pendingError.load(std::memory_order_relaxed) == 0) {
        return; // no timers are ever installed, so the timer dispatch has nothing to do
    }
    state.statementLine.store(line, std::memory_order_relaxed);
    reportError();
}

void stopProgramThread() {
    ProcessFlags& flags = processFlags();
    flags.threadsDone.fetch_or(1);
    while (flags.stopRequested.load() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    throw ProgramThreadStop{};
}

void setProcessEnd(ProcessEndFn end) {
    std::lock_guard lock(gHooksMutex);
    gProcessEnd = std::move(end);
}

void endProcess(int exitCode) {
    ProcessEndFn end;
    {
        std::lock_guard lock(gHooksMutex);
        end = gProcessEnd;
    }
    if (end) end(exitCode);
    std::exit(exitCode);
}

void resetErrorStateForTesting() {
    ErrorState& state = errorState();
    state.pendingError = 0;
    state.eventFlag = 0;
    state.statementLine = 0;
    state.repeatStatement = 0;
    ProcessFlags& flags = processFlags();
    flags.suspendRequested = 0;
    flags.stopRequested = 0;
    flags.closeRequested = 0;
    flags.threadsDone = 0;
    flags.exitCode = 0;
}

} // namespace rt
