// The text screen in an ANSI terminal: code page 437 shown as UTF-8, the 16 colours, the cursor
// where the screen puts it, only changed cells redrawn, raw keyboard input turned into keys.
// The terminal is given back on every way out: orderly shutdown, exit, fatal signals.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/frontend.h"
#include "runtime/scrollback.h"

namespace rt {

// ---- pure pieces (tested on their own) --------------------------------------------------------

// Turns terminal input bytes into key events (the mouse wheel's reports into wheel keys). `pending` holds
// bytes of an escape sequence or a UTF-8 character cut off at the end of a read; with `flush` a lone Escape
// at the end is taken as the Escape key and unfinished sequences are dropped.
std::vector<KeyEvent> parseTerminalInput(std::string& pending, bool flush);

// The bytes that turn a terminal showing `before` (nothing known when null) into `after`.
// Cursor and visibility are set at the end.
std::string renderScreenUpdate(const ScreenImage* before, const ScreenImage& after);

// The SGR sequence for a cell attribute (VGA colour numbers mapped to the 16 ANSI colours).
std::string attributeSequence(std::uint8_t attribute);

// Draws a message box into `image`: caption, text lines and the buttons, centred.
void drawBoxInto(ScreenImage& image, const std::string& caption, const std::string& text, BoxButtons buttons);

// ---- the front end ------------------------------------------------------------------------------

class TerminalFrontend final : public Frontend {
  public:
    TerminalFrontend(int inputFd = 0, int outputFd = 1);
    ~TerminalFrontend() override;

    const char* name() const override { return "terminal"; }
    int start() override;
    void refresh(const ScreenImage& screen) override;
    EventsResult handleEvents() override;
    BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons) override;
    void shutdown() override;
    void emergencyRestore() noexcept override;

  private:
    void writeAll(const std::string& bytes);
    bool terminalLargeEnough(int& columns, int& rows) const;

    int inputFd_;
    int outputFd_;
    bool started_ = false;
    std::atomic<bool> restored_{false};
    std::optional<ScreenImage> painted_; // what the terminal shows now
    bool tooSmallShown_ = false;
    int columns_ = 0; // terminal size at the last refresh
    int rows_ = 0;
    std::string pendingInput_;
    ScrollbackView scrollback_;
    BoxChannel box_;
};

} // namespace rt
