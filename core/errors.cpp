#include "core/errors.h"

namespace core {

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

std::atomic<StatementCheckFn> gProcessCheck{nullptr};

} // namespace

namespace detail {
ErrorState processErrorState;
constinit thread_local ErrorState* currentErrorState = nullptr;
} // namespace detail

const char* errorMessage(std::uint32_t code) {
    for (const auto& entry : kMessages) {
        if (codeNumber(entry.code) == code) return entry.message;
    }
    return "Unprintable error";
}

void ErrorState::clear() {
    pendingError.store(0, std::memory_order_relaxed);
    eventFlag.store(0, std::memory_order_relaxed);
    statementLine.store(0, std::memory_order_relaxed);
    repeatStatement.store(0, std::memory_order_relaxed);
    firstError.store(0, std::memory_order_relaxed);
    firstStatement.store(0, std::memory_order_relaxed);
}

std::uint32_t ErrorState::firstOrPending() const {
    const std::uint32_t first = firstError.load(std::memory_order_relaxed);
    return first != 0 ? first : pendingError.load(std::memory_order_relaxed);
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

std::uint32_t takeStatementError(std::uint32_t line) {
    ErrorState& state = errorState();
    const std::uint32_t code = state.pendingError.load(std::memory_order_relaxed);
    if (code == 0) return 0;
    state.statementLine.store(line, std::memory_order_relaxed);
    if (state.firstError.load(std::memory_order_relaxed) == 0) {
        state.firstError.store(code, std::memory_order_relaxed);
        state.firstStatement.store(line, std::memory_order_relaxed);
    }
    return code;
}

void setProcessStatementCheck(StatementCheckFn check) {
    gProcessCheck.store(check);
}

void statementCheck(std::uint32_t line) {
    ErrorState& state = errorState();
    if (&state == &detail::processErrorState) {
        if (const StatementCheckFn check = gProcessCheck.load()) {
            check(line);
            return;
        }
    }
    state.eventFlag.store(0, std::memory_order_relaxed);
    state.repeatStatement.store(0, std::memory_order_relaxed);
    const std::uint32_t code = takeStatementError(line);
    if (code == 0) return;
    if (state.observer) state.observer(code, line);
    state.pendingError.store(0, std::memory_order_relaxed);
}

void resetErrorStateForTesting() {
    errorState().clear();
}

} // namespace core
