// The headless front end, for scripts and tests: keys come from a byte stream (standard input),
// error boxes go to standard error, and an optional transcript keeps every screen row.
//
// Keys: one byte per key with its character code; LF, CR and CR LF are each one Enter. A byte is
// read only when the calculator finds the key queue empty and waits for a key, so scripted
// type-ahead is never dropped and an error box reads its answer from the byte after the last key
// the calculator took. When the input has ended and the calculator waits for a key again, the
// program shuts down as if its window were closed. Byte 3 (Ctrl+C) ends the program in order.
//
// Error boxes: caption and text on standard error (UTF-8); then, by the error-box policy (frame.h):
// stop ends the run (exit status 3), proceed answers Yes, keys takes the next input byte as the
// answer: y, Y or Enter = Yes; n, N or Escape = No; other bytes are skipped; end of input = No.
// OK boxes read nothing.
//
// Transcript: every row that scrolls off the top of the screen, and the 25 rows of the final
// screen at exit, in UTF-8 with trailing blanks removed, one line (LF) per row; "-" writes it to
// standard output. A transcript naming the report file itself is refused at the start (status 2).
//
// Nobody reads the boxes of a script, so the exit status tells: 3 after a box stopped the run,
// 1 when the transcript or the output file lost text (a message on standard error says which),
// otherwise the frame's.
#pragma once

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>

#include "runtime/frame.h"
#include "runtime/frontend.h"

namespace rt {

class KeyQueue;
class Screen;

class HeadlessFrontend final : public Frontend {
  public:
    // Reads keys from `inputFd`, writes boxes to `errorFd`; `transcriptPath` empty: no transcript.
    // The queue and screen default to the process-wide ones.
    explicit HeadlessFrontend(int inputFd = 0, int errorFd = 2, std::string transcriptPath = {},
                              KeyQueue* queue = nullptr, Screen* screen = nullptr);
    ~HeadlessFrontend() override;

    void setErrorPolicy(ErrorBoxPolicy policy) { policy_ = policy; }
    // The file the program appends its reports to: a transcript naming that same file is refused.
    void setReportFile(std::string path) { reportPath_ = std::move(path); }

    const char* name() const override { return "headless"; }
    int start() override;
    void refresh(const ScreenImage& screen) override;
    EventsResult handleEvents() override;
    bool audible() const override { return false; }
    BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons) override;
    void shutdown() override;

    // One transcript line: the row's characters in UTF-8 without trailing blanks.
    static std::string transcriptLine(const ScreenCell* row, int columns);

  private:
    enum class Next { byte, none, end };
    // Program thread only: the next input byte, waiting at most `wait_ms` for it to arrive.
    Next nextByte(std::uint8_t& byte, int wait_ms);
    // Program thread: the key queue found empty; feed it the next key if the input has one.
    void feedNextKey();
    void writeTranscriptLine(const std::string& line);

    void noteTranscriptFailure();
    int openTranscript();

    int inputFd_;
    int errorFd_;
    std::string transcriptPath_;
    std::string reportPath_;
    ErrorBoxPolicy policy_ = ErrorBoxPolicy::stop;
    std::atomic<bool> stoppedAtBox_{false};
    int transcriptError_ = 0; // errno of the first failed transcript write
    std::int64_t fileFailuresAtStart_ = 0;
    KeyQueue* queue_;
    Screen* screen_;
    std::FILE* transcript_ = nullptr;
    bool started_ = false;
    bool shutDown_ = false;

    // Program thread only.
    bool skipLineFeed_ = false; // the byte before was CR: a LF right after it is part of the Enter
    bool inputEnded_ = false;

    std::atomic<bool> closeWanted_{false}; // input ended while the calculator waits for a key
    std::optional<ScreenImage> last_;      // main thread: the most recent screen
};

} // namespace rt
