#include "runtime/process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace rt {

namespace {

using E = core::ErrorCode;

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

void programStatementCheck(std::uint32_t line) {
    core::ErrorState& state = core::errorState();
    ProcessFlags& flags = processFlags();
    state.eventFlag.store(0, std::memory_order_relaxed);
    state.repeatStatement.store(0, std::memory_order_relaxed);
    while (flags.suspendRequested.load() != 0 || flags.stopRequested.load() != 0) {
        if (flags.stopRequested.load() != 0) stopProgramThread();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // No timers are ever installed, so the timer dispatch has nothing to do.
    if (core::takeStatementError(line) != 0) reportError();
}

} // namespace

void setMessageBox(MessageBoxFn box) {
    std::lock_guard lock(gHooksMutex);
    gMessageBox = std::move(box);
}

BoxAnswer showMessageBox(const std::string& caption, const std::string& text, BoxButtons buttons) {
    MessageBoxFn box;
    {
        std::lock_guard lock(gHooksMutex);
        box = gMessageBox;
    }
    if (!box) return defaultBox(caption, text, buttons);
    return box(caption, text, buttons);
}

ProcessFlags& processFlags() {
    return gProcessFlags;
}

void installProgramChecks() {
    core::setProcessStatementCheck(&programStatementCheck);
}

std::pair<std::string, std::string> fatalErrorTexts(std::int64_t code) {
    switch (code) {
    case core::codeNumber(E::divisionByZero):
        return {"Critical Error", "Division by zero"};
    case core::codeNumber(E::outOfStackSpace):
        return {"Critical Error", "Out of stack space"};
    case core::codeNumber(E::outOfMemoryFatal):
        return {"Critical Error #1", "Out of memory"};
    case core::codeNumber(E::dynamicLibraryNotFound):
        return {"Critical Error", "Cannot find dynamic library file"};
    case core::codeNumber(E::dynamicLibraryFunctionMissing):
    case core::codeNumber(E::dynamicLibraryFunctionMissing) + 1:
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
        core::raiseError(code);
        return;
    }
    showMessageBox(caption, text, BoxButtons::ok);
    endProcess(0);
}

std::string errorBoxText(std::uint32_t code, std::uint32_t line) {
    std::string text = "Line:" + std::to_string(line) + "\n" + core::errorMessage(code);
    if (!core::isCriticalError(code)) text += "\nContinue?";
    return text;
}

std::string errorBoxCaption(std::uint32_t code) {
    return std::string(core::isCriticalError(code) ? "Critical Error #" : "Unhandled Error #") +
           std::to_string(code);
}

void reportError() {
    core::ErrorState& state = core::errorState();
    const std::uint32_t code = state.pendingError.load(std::memory_order_relaxed);
    const std::uint32_t line = state.statementLine.load(std::memory_order_relaxed);
    const std::string caption = errorBoxCaption(code);
    const std::string text = errorBoxText(code, line);
    if (core::isCriticalError(code)) {
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

void resetProcessForTesting() {
    core::resetErrorStateForTesting();
    ProcessFlags& flags = processFlags();
    flags.suspendRequested = 0;
    flags.stopRequested = 0;
    flags.closeRequested = 0;
    flags.threadsDone = 0;
    flags.exitCode = 0;
    installProgramChecks();
}

} // namespace rt
