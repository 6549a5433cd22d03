#include "runtime/frontend_headless.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/cp437.h"
#include "runtime/files.h"
#include "runtime/keyboard.h"
#include "runtime/process.h"
#include "runtime/screen.h"

namespace rt {

namespace {

void writeAllTo(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return; // the reader went away; the box still gets its answer from the input
        }
    }
}

} // namespace

HeadlessFrontend::HeadlessFrontend(int inputFd, int errorFd, std::string transcriptPath, KeyQueue* queue,
                                   Screen* screen)
    : inputFd_(inputFd), errorFd_(errorFd), transcriptPath_(std::move(transcriptPath)),
      queue_(queue != nullptr ? queue : &keyQueue()), screen_(screen != nullptr ? screen : &rt::screen()) {}

HeadlessFrontend::~HeadlessFrontend() {
    shutdown();
}

// Opened without truncating first: a transcript that turns out to be the report file (under
// another name or through a link) is refused with the reports still in it. O_NONBLOCK only for
// the open itself, as for the report file: a FIFO without a reader fails instead of hanging.
int HeadlessFrontend::openTranscript() {
    int fd = -1;
    if (transcriptPath_ == "-") {
        fd = STDOUT_FILENO;
    } else {
        do {
            fd = ::open(transcriptPath_.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            writeAllTo(errorFd_,
                       "Unable to open transcript " + transcriptPath_ + ": " + std::strerror(errno) + "\n");
            return EXIT_FAILURE;
        }
    }
    struct stat transcript {
    }, report{};
    if (!reportPath_.empty() && ::fstat(fd, &transcript) == 0 && ::stat(reportPath_.c_str(), &report) == 0 &&
        transcript.st_dev == report.st_dev && transcript.st_ino == report.st_ino) {
        if (fd != STDOUT_FILENO) ::close(fd);
        writeAllTo(errorFd_, "co2calc: --transcript " + transcriptPath_ + " is the report file " +
                                 reportPath_ + "; the transcript would overwrite its reports\n");
        return kExitUsage;
    }
    if (fd == STDOUT_FILENO) {
        transcript_ = stdout;
        return 0;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    const bool ready = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 &&
                       (!S_ISREG(transcript.st_mode) || ::ftruncate(fd, 0) == 0);
    if (ready) transcript_ = ::fdopen(fd, "wb");
    if (transcript_ == nullptr) {
        const int error = errno;
        ::close(fd);
        writeAllTo(errorFd_,
                   "Unable to open transcript " + transcriptPath_ + ": " + std::strerror(error) + "\n");
        return EXIT_FAILURE;
    }
    return 0;
}

int HeadlessFrontend::start() {
    fileFailuresAtStart_ = files().failures();
    if (!transcriptPath_.empty()) {
        if (const int code = openTranscript(); code != 0) return code;
        screen_->setScrollOffHandler(
            [this](const ScreenCell* row) { writeTranscriptLine(transcriptLine(row, Screen::kColumns)); });
    }
    // Keys are fed on the program thread, at the moment the calculator finds the queue empty:
    // that is what makes the feeding exact (no key ever waits in the queue while the calculator
    // computes, so an error box reads the byte right after the last key taken).
    queue_->setStarvedHandler([this] { feedNextKey(); });
    started_ = true;
    return 0;
}

void HeadlessFrontend::refresh(const ScreenImage& screen) {
    last_ = screen;
}

EventsResult HeadlessFrontend::handleEvents() {
    return closeWanted_.load() ? EventsResult::closeWindow : EventsResult::running;
}

HeadlessFrontend::Next HeadlessFrontend::nextByte(std::uint8_t& byte, int wait_ms) {
    for (;;) {
        if (inputEnded_) return Next::end;
        struct pollfd fd {
            inputFd_, POLLIN, 0
        };
        const int ready = poll(&fd, 1, wait_ms);
        if (ready < 0 && errno == EINTR) return Next::none;
        if (ready == 0) return Next::none;
        char c = 0;
        const ssize_t n = read(inputFd_, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return Next::none;
        if (n <= 0) {
            inputEnded_ = true;
            return Next::end;
        }
        byte = static_cast<std::uint8_t>(c);
        // LF, CR and CR LF are each one Enter.
        if (byte == 10 && skipLineFeed_) {
            skipLineFeed_ = false;
            continue;
        }
        skipLineFeed_ = byte == 13;
        if (byte == 10) byte = 13;
        return Next::byte;
    }
}

void HeadlessFrontend::feedNextKey() {
    if (closeWanted_.load() || processFlags().closeRequested.load() != 0) return;
    std::uint8_t byte = 0;
    switch (nextByte(byte, 0)) {
    case Next::none:
        return;
    case Next::end:
        closeWanted_.store(true);
        return;
    case Next::byte:
        break;
    }
    KeyEvent key;
    key.character = byte;
    if (byte == 13) key.name = KeyName::enter;
    if (byte >= 1 && byte <= 26 && byte != 8 && byte != 9 && byte != 13) key.ctrl = true;
    if (byte == 0) {
        // A NUL byte has no key of its own: it enters the queue as the character code 0.
        queue_->push(0, 0);
        return;
    }
    dispatchKey(key);
}

BoxAnswer HeadlessFrontend::messageBox(const std::string& caption, const std::string& text,
                                       BoxButtons buttons) {
    writeAllTo(errorFd_, cp437TextToUtf8(caption) + "\n" + cp437TextToUtf8(text) + "\n");
    const BoxAnswer refusal = buttons == BoxButtons::ok ? BoxAnswer::ok : BoxAnswer::no;
    switch (policy_) {
    case ErrorBoxPolicy::stop:
        stoppedAtBox_.store(true);
        processFlags().exitCode.store(kExitStoppedAtErrorBox);
        return refusal;
    case ErrorBoxPolicy::proceed:
        return buttons == BoxButtons::ok ? BoxAnswer::ok : BoxAnswer::yes;
    case ErrorBoxPolicy::keys:
        break;
    }
    if (buttons == BoxButtons::ok) return BoxAnswer::ok;
    for (;;) {
        if (processFlags().stopRequested.load() != 0) return BoxAnswer::no;
        std::uint8_t byte = 0;
        switch (nextByte(byte, 10)) {
        case Next::none:
            continue;
        case Next::end:
            return BoxAnswer::no;
        case Next::byte:
            break;
        }
        if (byte == 'y' || byte == 'Y' || byte == 13) return BoxAnswer::yes;
        if (byte == 'n' || byte == 'N' || byte == 27) return BoxAnswer::no;
    }
}

std::string HeadlessFrontend::transcriptLine(const ScreenCell* row, int columns) {
    int length = columns;
    while (length > 0 && (row[length - 1].character == ' ' || row[length - 1].character == 0))
        --length;
    std::string line;
    for (int i = 0; i < length; ++i)
        appendUtf8(line, cp437ToUnicode(row[i].character));
    return line;
}

void HeadlessFrontend::writeTranscriptLine(const std::string& line) {
    if (transcript_ == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), transcript_);
    std::fputc('\n', transcript_);
    if (std::fflush(transcript_) != 0 || std::ferror(transcript_)) noteTranscriptFailure();
}

void HeadlessFrontend::noteTranscriptFailure() {
    if (transcriptError_ == 0) transcriptError_ = errno != 0 ? errno : EIO;
}

void HeadlessFrontend::shutdown() {
    if (!started_ || shutDown_) return;
    shutDown_ = true;
    queue_->setStarvedHandler(nullptr);
    if (transcript_ != nullptr) {
        screen_->setScrollOffHandler(nullptr);
        if (last_) {
            for (int row = 1; row <= last_->rows; ++row) {
                writeTranscriptLine(transcriptLine(&last_->at(row, 1), last_->columns));
            }
        }
        if (transcript_ == stdout ? std::fflush(transcript_) != 0 : std::fclose(transcript_) != 0)
            noteTranscriptFailure();
        transcript_ = nullptr;
    }
    // Failures that only an error box mentioned, or none, must not look like success to a script.
    ProcessFlags& flags = processFlags();
    if (transcriptError_ != 0) {
        writeAllTo(errorFd_, "co2calc: the transcript could not be written to " + transcriptPath_ + ": " +
                                 std::strerror(transcriptError_) + "\n");
    }
    const std::int64_t lost = files().failures() - fileFailuresAtStart_;
    if (lost > 0) {
        writeAllTo(errorFd_, "co2calc: " + std::to_string(lost) +
                                 (lost == 1 ? " output file operation" : " output file operations") +
                                 " failed; the error boxes above name the errors\n");
    }
    if (stoppedAtBox_.load()) {
        flags.exitCode.store(kExitStoppedAtErrorBox);
    } else if (flags.exitCode.load() == 0 && (transcriptError_ != 0 || lost > 0)) {
        flags.exitCode.store(EXIT_FAILURE);
    }
}

} // namespace rt
