#include "runtime/frontend_terminal.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "runtime/cp437.h"
#include "runtime/screen.h"
#include "runtime/tones.h"

namespace rt {

namespace {

// ---- terminal state for the restore paths ---------------------------------------------------
//
// Kept in plain statics so that a signal handler can put the terminal back with nothing but
// write() and tcsetattr(), both async-signal-safe.

struct termios gSavedTermios {};
std::atomic<bool> gTermiosSaved{false};
std::atomic<bool> gTerminalTaken{false};
int gRestoreFd = 1;
int gRestoreInputFd = 0;
// While the terminal shows the screen, standard error goes to a temporary file (a library's
// message would scroll and garble the picture); it is handed to the real standard error when the
// terminal is given back.
std::atomic<int> gSavedStderr{-1};
std::FILE* gStderrBuffer = nullptr;

// Leaves the alternate screen, shows the cursor in its usual shape, resets the colours, lets
// lines wrap again and gives the mouse back to the terminal.
constexpr char kRestoreSequence[] = "\x1b[0m\x1b[0 q\x1b[?25h\x1b[?7h\x1b[?1006l\x1b[?1000l\x1b[?1049l";
// Mouse reports (SGR form) bring the wheel to the scrollback; as in other full-screen programs,
// Shift with the mouse still selects text in the terminal.
constexpr char kTakeSequence[] = "\x1b[?1049h\x1b[?7l\x1b[?25l\x1b[3 q\x1b[0m\x1b[2J\x1b[?1000h\x1b[?1006h";

// A signal that lands while the output drains (TCSAFLUSH waits for it) must not leave the
// terminal raw: tcsetattr() then fails with EINTR and is simply made again.
void setTerminal(int fd, const struct termios& settings) noexcept {
    const int savedErrno = errno;
    while (tcsetattr(fd, TCSAFLUSH, &settings) != 0 && errno == EINTR) {
    }
    errno = savedErrno;
}

void restoreTerminalNow() noexcept {
    if (!gTerminalTaken.exchange(false)) return;
    ssize_t ignored = write(gRestoreFd, kRestoreSequence, sizeof kRestoreSequence - 1);
    (void)ignored;
    if (gTermiosSaved.load()) setTerminal(gRestoreInputFd, gSavedTermios);
    if (const int saved = gSavedStderr.exchange(-1); saved >= 0) {
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
}

void divertStderr() {
    gStderrBuffer = std::tmpfile();
    if (gStderrBuffer == nullptr) return;
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    if (saved < 0 || dup2(fileno(gStderrBuffer), STDERR_FILENO) < 0) {
        if (saved >= 0) close(saved);
        std::fclose(gStderrBuffer);
        gStderrBuffer = nullptr;
        return;
    }
    gSavedStderr.store(saved);
}

// After the restore: what was written to standard error meanwhile reaches it now.
void replayStderr() {
    if (gStderrBuffer == nullptr) return;
    std::fflush(stderr);
    std::rewind(gStderrBuffer);
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, gStderrBuffer)) > 0) {
        ssize_t ignored = write(STDERR_FILENO, buffer, n);
        (void)ignored;
    }
    std::fclose(gStderrBuffer);
    gStderrBuffer = nullptr;
}

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGABRT};

// Raw settings, to take the terminal again after a stop (SIGTSTP, then SIGCONT).
struct termios gRawTermios {};
std::atomic<bool> gStopPending{false};

// Stopped from outside (kill -TSTP), or by Ctrl+Z, which the raw terminal delivers as a key and
// handleEvents turns into the same request. The signal may land on any thread,
// possibly while the main thread is half-way through a frame, so the handler only takes note;
// the main thread stops the process between two frames (stopForTheShell).
extern "C" void onStopSignal(int) {
    gStopPending.store(true);
}

// On the main thread, between frames: the shell gets its terminal back while the process sleeps.
// Returns after SIGCONT; the caller takes the terminal again and redraws everything.
void stopForTheShell() {
    if (gTerminalTaken.load()) {
        ssize_t ignored = write(gRestoreFd, kRestoreSequence, sizeof kRestoreSequence - 1);
        (void)ignored;
        if (gTermiosSaved.load()) setTerminal(gRestoreInputFd, gSavedTermios);
    }
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    struct sigaction mine {};
    sigaction(SIGTSTP, &standard, &mine);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGTSTP); // the process stops here until SIGCONT
    sigaction(SIGTSTP, &mine, nullptr);
}

extern "C" void onFatalSignal(int signalNumber) {
    restoreTerminalNow();
    // SA_RESETHAND put the default action back: raising again ends the process as it would have.
    raise(signalNumber);
}

extern "C" void restoreAtExit() {
    restoreTerminalNow();
}

// ---- colours --------------------------------------------------------------------------------

// VGA colour numbers run blue-green-red; ANSI numbers run red-green-blue.
constexpr int kAnsiOfVga[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// ---- key decoding ---------------------------------------------------------------------------

struct Modifiers {
    bool shift = false;
    bool alt = false;
    bool ctrl = false;
};

// xterm encodes modifiers as 1 + (shift 1, alt 2, ctrl 4).
Modifiers modifiersOf(int parameter) {
    Modifiers m;
    if (parameter < 2) return m;
    const int bits = parameter - 1;
    m.shift = (bits & 1) != 0;
    m.alt = (bits & 2) != 0;
    m.ctrl = (bits & 4) != 0;
    return m;
}

KeyEvent extendedKey(std::uint8_t code, Modifiers m = {}) {
    KeyEvent key;
    key.extended = code;
    key.ctrl = m.ctrl;
    key.alt = m.alt;
    key.shift = m.shift;
    return key;
}

// Mouse button numbers of a report: 64 and 65 are the wheel, with 4, 8 and 16 for the modifiers.
std::optional<KeyEvent> mouseKey(int button) {
    KeyEvent key;
    switch (button & ~(4 | 8 | 16)) {
    case 64:
        key.name = KeyName::wheelUp;
        return key;
    case 65:
        key.name = KeyName::wheelDown;
        return key;
    default:
        return std::nullopt; // clicks and moves mean nothing here
    }
}

// A cursor-block key with its plain, Ctrl and Alt scan codes.
KeyEvent cursorKey(std::uint8_t plain, std::uint8_t ctrl, std::uint8_t alt, Modifiers m) {
    return extendedKey(m.alt ? alt : m.ctrl ? ctrl : plain, m);
}

std::optional<KeyEvent> cursorLetter(char final, Modifiers m) {
    switch (final) {
    case 'A':
        return cursorKey(scan::up, scan::ctrlUp, scan::altUp, m);
    case 'B':
        return cursorKey(scan::down, scan::ctrlDown, scan::altDown, m);
    case 'C':
        return cursorKey(scan::right, scan::ctrlRight, scan::altRight, m);
    case 'D':
        return cursorKey(scan::left, scan::ctrlLeft, scan::altLeft, m);
    case 'H':
        return cursorKey(scan::home, scan::ctrlHome, scan::altHome, m);
    case 'F':
        return cursorKey(scan::end, scan::ctrlEnd, scan::altEnd, m);
    case 'P':
        return extendedKey(scan::functionKey(1, {m.shift, m.ctrl, m.alt}), m);
    case 'Q':
        return extendedKey(scan::functionKey(2, {m.shift, m.ctrl, m.alt}), m);
    case 'R':
        return extendedKey(scan::functionKey(3, {m.shift, m.ctrl, m.alt}), m);
    case 'S':
        return extendedKey(scan::functionKey(4, {m.shift, m.ctrl, m.alt}), m);
    default:
        return std::nullopt;
    }
}

std::optional<KeyEvent> tildeKey(int number, Modifiers m) {
    const scan::Modifiers sm{m.shift, m.ctrl, m.alt};
    switch (number) {
    case 1:
    case 7:
        return cursorKey(scan::home, scan::ctrlHome, scan::altHome, m);
    case 4:
    case 8:
        return cursorKey(scan::end, scan::ctrlEnd, scan::altEnd, m);
    case 2:
        return cursorKey(scan::insert, scan::ctrlInsert, scan::altInsert, m);
    case 3:
        return cursorKey(scan::del, scan::ctrlDelete, scan::altDelete, m);
    case 5:
        return cursorKey(scan::pageUp, scan::ctrlPageUp, scan::altPageUp, m);
    case 6:
        return cursorKey(scan::pageDown, scan::ctrlPageDown, scan::altPageDown, m);
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
        return extendedKey(scan::functionKey(number - 10, sm), m);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
        return extendedKey(scan::functionKey(number - 11, sm), m);
    case 23:
    case 24:
        return extendedKey(scan::functionKey(number - 12, sm), m);
    case 28: { // F15 on VT220-style keyboards; with Ctrl it ends the program
        KeyEvent key = extendedKey(0, m);
        key.name = KeyName::f15;
        return key;
    }
    default:
        return std::nullopt;
    }
}

KeyEvent characterKey(std::uint8_t code) {
    KeyEvent key;
    key.character = code;
    if (code == 13) key.name = KeyName::enter;
    if (code >= 1 && code <= 26 && code != 8 && code != 9 && code != 10 && code != 13) key.ctrl = true;
    return key;
}

std::size_t utf8Length(std::uint8_t lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 0;
    if (lead >= 0xC0) return 2;
    return 0;
}

void putText(ScreenImage& image, int row, int column, const std::string& text, std::uint8_t attribute) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int c = column + static_cast<int>(i);
        if (row < 1 || row > image.rows || c < 1 || c > image.columns) continue;
        image.at(row, c) = ScreenCell{static_cast<std::uint8_t>(text[i]), attribute};
    }
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char ch : text) {
        if (ch == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (ch != '\r') {
            line += ch;
        }
    }
    lines.push_back(line);
    return lines;
}

} // namespace

std::vector<KeyEvent> parseTerminalInput(std::string& pending, bool flush) {
    std::vector<KeyEvent> keys;
    std::size_t i = 0;
    const std::size_t size = pending.size();
    auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(pending[k]); };
    while (i < size) {
        const std::uint8_t b = at(i);
        if (b == 0x1B) {
            if (i + 1 >= size) {
                if (!flush) break; // maybe the start of a sequence still on its way
                keys.push_back(characterKey(27));
                ++i;
                continue;
            }
            const std::uint8_t next = at(i + 1);
            if (next == '[' || next == 'O') {
                std::size_t j = i + 2;
                while (j < size && at(j) >= 0x20 && at(j) <= 0x3F)
                    ++j;
                if (j >= size) {
                    if (!flush) break;
                    i = size; // an unfinished sequence is noise, not keys
                    continue;
                }
                std::vector<int> parameters;
                int value = -1;
                for (std::size_t k = i + 2; k < j; ++k) {
                    const std::uint8_t p = at(k);
                    if (p >= '0' && p <= '9') {
                        value = (value < 0 ? 0 : value) * 10 + (p - '0');
                        if (value > 9999) value = 9999;
                    } else if (p == ';') {
                        parameters.push_back(value < 0 ? 1 : value);
                        value = -1;
                    }
                }
                if (value >= 0) parameters.push_back(value);
                const char final = static_cast<char>(at(j));
                const Modifiers m = modifiersOf(parameters.size() >= 2 ? parameters[1] : 1);
                std::optional<KeyEvent> key;
                if (next == '[' && final == 'M' && j == i + 2) {
                    // The old mouse report: three bytes of button, column and row follow.
                    if (j + 3 >= size) {
                        if (!flush) break;
                        i = size;
                        continue;
                    }
                    key = mouseKey(at(j + 1) - 32);
                    if (key) keys.push_back(*key);
                    i = j + 4;
                    continue;
                }
                if (next == '[' && at(i + 2) == '<') {
                    if (final == 'M' && !parameters.empty()) key = mouseKey(parameters[0]);
                } else if (final == '~') {
                    key = tildeKey(parameters.empty() ? 0 : parameters[0], m);
                } else if (final == 'Z' && next == '[') {
                    key = extendedKey(scan::shiftTab);
                } else {
                    key = cursorLetter(final, m);
                }
                if (key) keys.push_back(*key);
                i = j + 1;
                continue;
            }
            if (next == 0x1B) { // Escape pressed twice
                keys.push_back(characterKey(27));
                ++i;
                continue;
            }
            // Escape before a character: that character with Alt.
            if (const std::uint8_t code = scan::altCharacter(static_cast<char>(next)); code != 0) {
                KeyEvent key = extendedKey(code);
                key.alt = true;
                keys.push_back(key);
            } else if (next == 13) {
                KeyEvent key = characterKey(13);
                key.alt = true;
                keys.push_back(key);
            }
            i += 2;
            continue;
        }
        if (b < 0x80) {
            keys.push_back(characterKey(b == 0x7F ? 8 : b)); // terminals send DEL for Backspace
            ++i;
            continue;
        }
        const std::size_t length = utf8Length(b);
        if (length == 0) { // a stray continuation byte
            ++i;
            continue;
        }
        if (i + length > size) {
            if (!flush) break;
            i = size;
            continue;
        }
        char32_t c = b & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
        bool valid = true;
        for (std::size_t k = 1; k < length; ++k) {
            if ((at(i + k) & 0xC0) != 0x80) valid = false;
            c = (c << 6) | (at(i + k) & 0x3F);
        }
        i += valid ? length : 1;
        if (!valid) continue;
        if (const int code = unicodeToCp437(c); code > 0)
            keys.push_back(characterKey(static_cast<std::uint8_t>(code)));
    }
    pending.erase(0, i);
    return keys;
}

std::string attributeSequence(std::uint8_t attribute) {
    const int foreground = attribute & 0x0F;
    const int background = (attribute >> 4) & 0x07;
    const bool blink = (attribute & 0x80) != 0;
    std::string s = "\x1b[0;";
    if (blink) s += "5;";
    s += std::to_string(foreground >= 8 ? 90 + kAnsiOfVga[foreground - 8] : 30 + kAnsiOfVga[foreground]);
    s += ';';
    s += std::to_string(40 + kAnsiOfVga[background]);
    s += 'm';
    return s;
}

std::string renderScreenUpdate(const ScreenImage* before, const ScreenImage& after) {
    const bool full = before == nullptr || before->columns != after.columns || before->rows != after.rows ||
                      before->palette != after.palette;
    std::string out;
    int atRow = -1;
    int atColumn = -1;
    int attribute = -1;
    bool wrote = false;
    if (full) out += "\x1b[0m\x1b[2J";
    for (int row = 1; row <= after.rows; ++row) {
        for (int column = 1; column <= after.columns; ++column) {
            const ScreenCell cell = after.at(row, column);
            if (!full && before->at(row, column) == cell) continue;
            if (!wrote) out += "\x1b[?25l"; // no flicker of the cursor across the update
            wrote = true;
            if (row != atRow || column != atColumn) {
                out += "\x1b[" + std::to_string(row) + ';' + std::to_string(column) + 'H';
            }
            if (cell.attribute != attribute) {
                out += attributeSequence(cell.attribute);
                attribute = cell.attribute;
            }
            appendUtf8(out, cp437ToUnicode(cell.character));
            atRow = row;
            atColumn = column + 1;
        }
    }
    const bool cursorChanged = full || wrote || before->cursorVisible != after.cursorVisible ||
                               before->cursorRow != after.cursorRow ||
                               before->cursorColumn != after.cursorColumn ||
                               before->pendingWrap != after.pendingWrap;
    if (cursorChanged) {
        if (after.cursorVisible) {
            int row = after.cursorRow;
            int column = after.cursorColumn;
            if (after.pendingWrap == 2) {
                row = std::min(row + 1, after.rows);
                column = 1;
            }
            out += "\x1b[" + std::to_string(row) + ';' + std::to_string(column) + "H\x1b[?25h";
        } else {
            out += "\x1b[?25l";
        }
    }
    return out;
}

void drawBoxInto(ScreenImage& image, const std::string& caption, const std::string& text,
                 BoxButtons buttons) {
    constexpr std::uint8_t kBoxAttribute = 0x1F; // bright white on blue
    const std::vector<std::string> lines = splitLines(text);
    const std::string buttonText = buttons == BoxButtons::yesNo ? "[Y]es    [N]o" : "[OK]";
    std::size_t inner = std::max(caption.size() + 2, buttonText.size());
    for (const std::string& line : lines)
        inner = std::max(inner, line.size());
    inner = std::min<std::size_t>(inner + 2, static_cast<std::size_t>(image.columns - 4));
    const int width = static_cast<int>(inner) + 2;
    const int height = static_cast<int>(lines.size()) + 4;
    const int left = std::max(1, (image.columns - width) / 2 + 1);
    const int top = std::max(1, (image.rows - height) / 2 + 1);

    std::string border(inner, static_cast<char>(0xCD));
    const std::string title = " " + caption.substr(0, inner - 2) + " ";
    border.replace((inner - title.size()) / 2, title.size(), title);
    putText(image, top, left, std::string(1, static_cast<char>(0xC9)) + border + static_cast<char>(0xBB),
            kBoxAttribute);
    auto bodyRow = [&](int row, const std::string& content, bool centre) {
        std::string padded(inner, ' ');
        const std::string clipped = content.substr(0, inner - 2);
        const std::size_t start = centre ? (inner - clipped.size()) / 2 : 1;
        padded.replace(start, clipped.size(), clipped);
        putText(image, row, left, std::string(1, static_cast<char>(0xBA)) + padded + static_cast<char>(0xBA),
                kBoxAttribute);
    };
    int row = top + 1;
    for (const std::string& line : lines)
        bodyRow(row++, line, false);
    bodyRow(row++, "", false);
    bodyRow(row++, buttonText, true);
    putText(image, row, left,
            std::string(1, static_cast<char>(0xC8)) + std::string(inner, static_cast<char>(0xCD)) +
                static_cast<char>(0xBC),
            kBoxAttribute);
    image.cursorVisible = false;
}

// ---- the front end ------------------------------------------------------------------------------

TerminalFrontend::TerminalFrontend(int inputFd, int outputFd) : inputFd_(inputFd), outputFd_(outputFd) {}

TerminalFrontend::~TerminalFrontend() {
    shutdown();
}

int TerminalFrontend::start() {
    if (!isatty(inputFd_) || !isatty(outputFd_)) {
        std::fprintf(stderr, "The terminal front end needs a terminal on standard input and output.\n");
        return EXIT_FAILURE;
    }
    struct termios raw {};
    if (tcgetattr(inputFd_, &raw) != 0) {
        std::fprintf(stderr, "Unable to read the terminal settings: %s\n", std::strerror(errno));
        return EXIT_FAILURE;
    }
    gSavedTermios = raw;
    gTermiosSaved.store(true);
    gRestoreFd = outputFd_;
    gRestoreInputFd = inputFd_;

    // Every key reaches the program as typed: no echo, no line editing, no signals from Ctrl+C
    // or Ctrl+Z (Ctrl+C is a key of the program's own), no flow control, no CR/LF translation.
    raw.c_iflag &= static_cast<tcflag_t>(~(BRKINT | ICRNL | INPCK | ISTRIP | IXON | INLCR | IGNCR));
    raw.c_oflag &= static_cast<tcflag_t>(~OPOST);
    raw.c_cflag |= CS8;
    raw.c_lflag &= static_cast<tcflag_t>(~(ECHO | ICANON | IEXTEN | ISIG));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(inputFd_, TCSAFLUSH, &raw) != 0) {
        std::fprintf(stderr, "Unable to set up the terminal: %s\n", std::strerror(errno));
        return EXIT_FAILURE;
    }
    gRawTermios = raw;
    gTerminalTaken.store(true);
    started_ = true;

    static bool exitHookInstalled = false;
    if (!exitHookInstalled) {
        std::atexit(restoreAtExit);
        exitHookInstalled = true;
    }
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kFatalSignals)
        sigaction(signalNumber, &action, nullptr);
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, nullptr);

    writeAll(kTakeSequence);
    divertStderr();
    toneGenerator().setOutput(makeSdlAudio());
    scrollback_.attach(rt::screen());
    return 0;
}

bool TerminalFrontend::terminalLargeEnough(int& columns, int& rows) const {
    struct winsize size {};
    if (ioctl(outputFd_, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
        columns = 80;
        rows = 25;
        return true; // size unknown: assume the classic screen
    }
    columns = size.ws_col;
    rows = size.ws_row;
    return columns >= 80 && rows >= 25;
}

void TerminalFrontend::refresh(const ScreenImage& screen) {
    if (!started_ || restored_.load()) return;
    if (gStopPending.exchange(false)) {
        stopForTheShell();
        if (gTerminalTaken.load()) {
            setTerminal(inputFd_, gRawTermios);
            writeAll(kTakeSequence);
        }
        painted_.reset();
        tooSmallShown_ = false;
    }
    int columns = 0;
    int rows = 0;
    const bool largeEnough = terminalLargeEnough(columns, rows);
    if (columns != columns_ || rows != rows_) {
        // A resized terminal may have lost or moved what it showed.
        columns_ = columns;
        rows_ = rows;
        painted_.reset();
        tooSmallShown_ = false;
    }
    if (!largeEnough) {
        if (!tooSmallShown_) {
            // Short lines: a narrow terminal must still show all of it.
            const std::string message = "\x1b[0m\x1b[2J\x1b[H\x1b[?25lThe calculator needs a terminal\r\n"
                                        "of 80 columns and 25 rows;\r\nthis one has " +
                                        std::to_string(columns) + " x " + std::to_string(rows) +
                                        ".\r\nEnlarge it to go on;\r\nCtrl+C ends the program.";
            writeAll(message);
            tooSmallShown_ = true;
        }
        painted_.reset();
        return;
    }
    tooSmallShown_ = false;

    BoxChannel::Request request;
    const ScreenImage* shown = &screen;
    ScreenImage composed;
    if (box_.pending(&request)) {
        scrollback_.returnToLive();
        composed = screen;
        drawBoxInto(composed, request.caption, request.text, request.buttons);
        shown = &composed;
    } else if (scrollback_.active()) {
        composed = scrollback_.compose(screen);
        shown = &composed;
    }
    const std::string update = renderScreenUpdate(painted_ ? &*painted_ : nullptr, *shown);
    if (!update.empty()) writeAll(update);
    painted_ = *shown;
}

EventsResult TerminalFrontend::handleEvents() {
    if (!started_) return EventsResult::running;
    bool hungUp = false;
    bool gotBytes = false;
    for (;;) {
        struct pollfd fd {
            inputFd_, POLLIN, 0
        };
        if (poll(&fd, 1, 0) <= 0 || (fd.revents & (POLLIN | POLLHUP)) == 0) break;
        char buffer[256];
        const ssize_t n = read(inputFd_, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            hungUp = true;
            break;
        }
        if (n < 0) break;
        pendingInput_.append(buffer, static_cast<std::size_t>(n));
        gotBytes = true;
    }
    // An Escape alone at the end of a read is the Escape key once no further byte followed it
    // within one pass.
    const bool flush = !gotBytes && !pendingInput_.empty();
    for (const KeyEvent& key : parseTerminalInput(pendingInput_, flush || hungUp)) {
        if (key.character == 26) {
            // Ctrl+Z: the raw terminal sends no SIGTSTP, so the stop is asked for here and made,
            // as for a stop signal, between two frames.
            gStopPending.store(true);
            continue;
        }
        if (!box_.pending() && scrollback_.takeKey(key)) continue;
        const bool endsProgram = key.character == 3 || key.name == KeyName::breakKey ||
                                 (key.ctrl && (key.name == KeyName::f15 || key.name == KeyName::scrollLock));
        if (!endsProgram && box_.pending()) {
            BoxChannel::Request request;
            box_.pending(&request);
            const std::uint8_t c = key.character;
            if (request.buttons == BoxButtons::ok) {
                if (c == 13 || c == 27 || c == ' ' || c == 'o' || c == 'O') box_.answer(BoxAnswer::ok);
            } else if (c == 'y' || c == 'Y' || c == 13) {
                box_.answer(BoxAnswer::yes);
            } else if (c == 'n' || c == 'N' || c == 27) {
                box_.answer(BoxAnswer::no);
            }
            continue;
        }
        dispatchKey(key);
    }
    // A terminal that went away cannot answer any more: end as if the window were closed.
    return hungUp ? EventsResult::closeWindow : EventsResult::running;
}

BoxAnswer TerminalFrontend::messageBox(const std::string& caption, const std::string& text,
                                       BoxButtons buttons) {
    if (!started_ || restored_.load()) {
        std::fprintf(stderr, "%s\n%s\n", cp437TextToUtf8(caption).c_str(), cp437TextToUtf8(text).c_str());
        return buttons == BoxButtons::ok ? BoxAnswer::ok : BoxAnswer::no;
    }
    return box_.ask(caption, text, buttons);
}

void TerminalFrontend::shutdown() {
    if (!started_ || restored_.exchange(true)) return;
    scrollback_.detach();
    restoreTerminalNow();
    replayStderr();
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (int signalNumber : kFatalSignals)
        sigaction(signalNumber, &standard, nullptr);
    sigaction(SIGTSTP, &standard, nullptr);
}

void TerminalFrontend::emergencyRestore() noexcept {
    restoreTerminalNow();
}

void TerminalFrontend::writeAll(const std::string& bytes) {
    std::size_t done = 0;
    int idlePolls = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(outputFd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            idlePolls = 0;
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            // A terminal that stops reading must not hold the main loop for ever.
            if (++idlePolls > 200) return;
            struct pollfd fd {
                outputFd_, POLLOUT, 0
            };
            poll(&fd, 1, 10);
        } else {
            return; // the terminal is gone; nothing more can be shown
        }
    }
}

} // namespace rt
