#include "runtime/errors.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace rt {

namespace {

struct CodeMessage {
    std::uint32_t code;
    const char* message;
};

// The one table of codes and messages. Codes absent here print as "Unprintable error".
constexpr CodeMessage kMessages[] = {
    {1, "NEXT without FOR"},
    {2, "Syntax error"},
    {3, "RETURN without GOSUB"},
    {4, "Out of DATA"},
    {5, "Illegal function call"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {8, "Label not defined"},
    {9, "Subscript out of range"},
    {10, "Duplicate definition"},
    {12, "Illegal in direct mode"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {16, "String formula too complex"},
    {17, "Cannot continue"},
    {18, "Function not defined"},
    {19, "No RESUME"},
    {20, "RESUME without error"},
    {24, "Device timeout"},
    {25, "Device fault"},
    {26, "FOR without NEXT"},
    {27, "Out of paper"},
    {29, "WHILE without WEND"},
    {30, "WEND without WHILE"},
    {33, "Duplicate label"},
    {35, "Subprogram not defined"},
    {37, "Argument-count mismatch"},
    {38, "Array not defined"},
    {40, "Variable required"},
    {50, "FIELD overflow"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {56, "FIELD statement active"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {59, "Bad record length"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {63, "Bad record number"},
    {64, "Bad file name"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {69, "Communication-buffer overflow"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {72, "Disk-media error"},
    {73, "Feature unavailable"},
    {74, "Rename across disks"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {258, "Invalid handle"},
    {300, "Memory region out of range"},
    {301, "Invalid size"},
    {302, "Source memory region out of range"},
    {303, "Destination memory region out of range"},
    {304, "Source and destination memory regions out of range"},
    {305, "Source memory has been freed"},
    {306, "Destination memory has been freed"},
    {307, "Memory already freed"},
    {308, "Memory has been freed"},
    {309, "Memory not initialized"},
    {310, "Source memory not initialized"},
    {311, "Destination memory not initialized"},
    {312, "Source and destination memory not initialized"},
    {313, "Source and destination memory have been freed"},
};

ProcessFlags gProcessFlags;
ErrorState gProcessErrorState;
thread_local ErrorState* tCurrentState = nullptr;

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

MessageBoxFn currentBox() {
    if (const auto& own = errorState().box) return own;
    std::lock_guard lock(gHooksMutex);
    return gMessageBox;
}

} // namespace

const char* errorMessage(std::uint32_t code) {
    for (const auto& entry : kMessages) {
        if (entry.code == code) return entry.message;
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

ErrorState& errorState() {
    return tCurrentState != nullptr ? *tCurrentState : gProcessErrorState;
}

ErrorScope::ErrorScope(ErrorState& state) : previous_(tCurrentState) {
    tCurrentState = &state;
}
ErrorScope::~ErrorScope() {
    tCurrentState = previous_;
}

void raiseError(std::int64_t code) {
    ErrorState& state = errorState();
    if (state.pendingError.load(std::memory_order_relaxed) != 0) return;
    if (code <= 0) code = 5;
    // Codes travel as unsigned 32-bit numbers; anything wider keeps its low word, as the
    // 32-bit slot would.
    state.pendingError.store(static_cast<std::uint32_t>(code), std::memory_order_relaxed);
    state.eventFlag.store(1, std::memory_order_relaxed);
}

std::pair<std::string, std::string> fatalErrorTexts(std::int64_t code) {
    switch (code) {
    case 11:
        return {"Critical Error", "Division by zero"};
    case 256:
        return {"Critical Error", "Out of stack space"};
    case 257:
        return {"Critical Error #1", "Out of memory"};
    case 259:
        return {"Critical Error", "Cannot find dynamic library file"};
    case 260:
    case 261:
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
