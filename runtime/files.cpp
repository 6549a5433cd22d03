#include "runtime/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"

namespace rt {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool errorPending() {
    return core::errorState().pendingError.load(std::memory_order_relaxed) != 0;
}

bool validNumber(int fileNumber) {
    return fileNumber >= 1 && fileNumber <= FileTable::kMaxFileNumber;
}

// "COMn:" with an optional settings tail names a serial port. Returns 0 for an ordinary file
// name, otherwise the error to raise: serial ports are not offered on this system.
std::optional<core::ErrorCode> serialPortError(std::string_view name) {
    if (name.size() < 4) return std::nullopt;
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M') return std::nullopt;
    std::size_t i = 3;
    long port = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') {
        if (port < 1000) port = port * 10 + (name[i] - '0');
        ++i;
    }
    if (i == 3 || i >= name.size() || name[i] != ':') return std::nullopt;
    return (port >= 1 && port <= 255) ? core::ErrorCode::deviceUnavailable : core::ErrorCode::badFileName;
}

core::ErrorCode openErrorCode(int error) {
    switch (error) {
    case ENOENT:  // a directory of the path is missing (the file itself would be created)
    case ENOTDIR: // a component of the path is a file
        return core::ErrorCode::pathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR: // a directory cannot be written as a file: access denied, as for a protected one
        return core::ErrorCode::permissionDenied;
    case ENODEV:
    case ENXIO: // a device file without its device, or a FIFO nobody reads
        return core::ErrorCode::deviceUnavailable;
    case ENOSPC: // no room for the new file's entry
    case EDQUOT:
        return core::ErrorCode::diskFull;
    default:
        return core::ErrorCode::fileNotFound;
    }
}

core::ErrorCode writeErrorCode(int error) {
    switch (error) {
    case EBADF:
        return core::ErrorCode::invalidHandle;
    case EACCES:
    case EPERM:
        return core::ErrorCode::permissionDenied;
    case ENOSPC:
    case EFBIG: // the file size limit of the process: as full as a full disk for this file
    case EDQUOT:
        return core::ErrorCode::diskFull;
    default:
        return core::ErrorCode::pathFileAccessError;
    }
}

// O_NONBLOCK only for the open itself: a FIFO without a reader must fail, not hang the program
// thread. O_APPEND puts every write at the end, even when others append too. Returns the handle,
// or -1 with errno set.
int openAppending(const std::string& path) {
    int handle;
    do {
        handle = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) return -1;
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0 || ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        const int error = errno;
        ::close(handle);
        errno = error;
        return -1;
    }
    // A regular file is also opened for reading where that is allowed, so that its last byte can be
    // read before each line. Only the same file will do; without read access the check is skipped.
    struct stat opened {};
    if (::fstat(handle, &opened) != 0 || !S_ISREG(opened.st_mode)) return handle;
    const int readable = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    struct stat again {};
    if (readable >= 0 && ::fstat(readable, &again) == 0 && again.st_dev == opened.st_dev &&
        again.st_ino == opened.st_ino) {
        ::close(handle);
        return readable;
    }
    if (readable >= 0) ::close(readable);
    return handle;
}

std::mutex& timeSourceMutex() {
    static std::mutex m;
    return m;
}

LocalTimeSource& timeSourceSlot() {
    static LocalTimeSource source;
    return source;
}

bool systemLocalTime(std::tm& local) {
    const std::time_t now = std::time(nullptr);
    if (now == static_cast<std::time_t>(-1)) return false;
    return localtime_r(&now, &local) != nullptr;
}

bool readLocalTime(std::tm& local) {
    LocalTimeSource source;
    {
        std::lock_guard lock(timeSourceMutex());
        source = timeSourceSlot();
    }
    return source ? source(local) : systemLocalTime(local);
}

std::string twoDigits(int value) {
    char text[3] = {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10), 0};
    return text;
}

} // namespace

FileTable::~FileTable() {
    closeAll();
}

void FileTable::openForAppend(std::string_view name, int fileNumber) {
    if (errorPending()) return;
    std::lock_guard lock(mutex_);
    if (!validNumber(fileNumber)) {
        core::raiseError(core::ErrorCode::badFileNameOrNumber);
        return;
    }
    Entry& entry = entries_[static_cast<std::size_t>(fileNumber)];
    if (entry.handle >= 0) {
        core::raiseError(core::ErrorCode::fileAlreadyOpen);
        return;
    }
    if (const std::optional<core::ErrorCode> code = serialPortError(name)) {
        fail(*code);
        return;
    }
    // A name with a NUL byte would be cut short by the system; no such file can be meant.
    if (name.find('\0') != std::string_view::npos) {
        fail(core::ErrorCode::badFileName);
        return;
    }
    const std::string path(name);
    const int handle = openAppending(path);
    if (handle < 0) {
        fail(openErrorCode(errno));
        return;
    }
    entry = Entry{};
    entry.mode = kSequentialOutput;
    entry.writeAccess = true;
    entry.path = path;
    adopt(entry, handle);
}

// Makes `handle` the entry's open file.
void FileTable::adopt(Entry& entry, int handle) {
    struct stat opened {};
    const bool known = ::fstat(handle, &opened) == 0;
    if (entry.handle >= 0) ::close(entry.handle);
    entry.handle = handle;
    entry.device = known ? static_cast<std::uint64_t>(opened.st_dev) : 0;
    entry.inode = known ? static_cast<std::uint64_t>(opened.st_ino) : 0;
    entry.regular = known && S_ISREG(opened.st_mode);
    entry.knownEnd = -1;
}

void FileTable::fail(core::ErrorCode code) {
    ++failures_;
    core::raiseError(code);
}

// Log writers' rule: a path that names another file now (renamed away and replaced, or gone) is
// opened anew, so that later reports land where the user looks for them.
bool FileTable::followPath(Entry& entry) {
    struct stat named {};
    if (::stat(entry.path.c_str(), &named) == 0) {
        if (static_cast<std::uint64_t>(named.st_dev) == entry.device &&
            static_cast<std::uint64_t>(named.st_ino) == entry.inode)
            return true;
    } else if (errno != ENOENT && errno != ENOTDIR) {
        return true; // no answer (a directory closed to us): the open file is the best guess
    }
    const int handle = openAppending(entry.path);
    if (handle < 0) {
        fail(openErrorCode(errno));
        return false;
    }
    adopt(entry, handle);
    return true;
}

namespace {

// An exclusive flock for the time of one line. Waits a second at most: a lock held that long is
// not one of ours, and writing without it is better than hanging.
class LineLock {
  public:
    explicit LineLock(int handle) {
        if (handle < 0) return;
        for (int attempt = 0; attempt < 1000; ++attempt) {
            if (::flock(handle, LOCK_EX | LOCK_NB) == 0) {
                handle_ = handle;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) return;
            ::usleep(1000);
        }
    }
    ~LineLock() {
        if (handle_ >= 0) ::flock(handle_, LOCK_UN);
    }
    LineLock(const LineLock&) = delete;
    LineLock& operator=(const LineLock&) = delete;

  private:
    int handle_ = -1;
};

} // namespace

bool FileTable::writeLines(Entry& entry, std::string_view bytes) {
    if (!followPath(entry)) return false;
    const bool regular = entry.regular;
    // Instances of this program take turns per line, so that one never reads the end of the file
    // while another's line is half there (a write that crosses a page shows its first part first).
    const LineLock lock(regular ? entry.handle : -1);
    struct stat file {};
    const bool sized = regular && ::fstat(entry.handle, &file) == 0;
    std::string withLineEnd;
    // Where the file still ends with this entry's last line, that line's end is known.
    if (sized && file.st_size > 0 && file.st_size != entry.knownEnd) {
        char last = 0;
        if (::pread(entry.handle, &last, 1, file.st_size - 1) == 1 && last != '\n') {
            withLineEnd.assign(kLineEnd);
            withLineEnd.append(bytes);
            bytes = withLineEnd;
        }
    }
    entry.knownEnd = -1;
    // One call carries the whole text; more than one only when the system takes part of it, as a
    // disk that fills up does.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(entry.handle, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // n == 0: the system took nothing and gave no reason, a short write.
        const core::ErrorCode code = n < 0 ? writeErrorCode(errno) : core::ErrorCode::pathFileAccessError;
        // Take the part back, unless someone else has appended since: the file keeps whole lines.
        struct stat now {};
        if (sized && done > 0 && ::fstat(entry.handle, &now) == 0 &&
            now.st_size == file.st_size + static_cast<off_t>(done)) {
            // Should this fail too, the write's own error is still the one to report.
            [[maybe_unused]] const int truncated = ::ftruncate(entry.handle, file.st_size);
        }
        fail(code);
        return false;
    }
    entry.position += static_cast<std::int64_t>(bytes.size());
    if (sized && bytes.back() == '\n') entry.knownEnd = file.st_size + static_cast<off_t>(bytes.size());
    return true;
}

namespace {

void advanceColumn(std::int64_t& column, std::string_view text) {
    for (const char c : text) {
        if (c == '\r') {
            column = 1;
        } else if (c != '\n') {
            ++column;
        }
    }
}

} // namespace

void FileTable::writeToFile(int fileNumber, std::string_view text, bool lineEnd) {
    if (errorPending()) return;
    std::lock_guard lock(mutex_);
    if (!validNumber(fileNumber) || entries_[static_cast<std::size_t>(fileNumber)].handle < 0) {
        fail(core::ErrorCode::badFileNameOrNumber);
        return;
    }
    Entry& entry = entries_[static_cast<std::size_t>(fileNumber)];
    if (entry.mode != kSequentialOutput) {
        fail(core::ErrorCode::badFileMode);
        return;
    }
    if (!entry.writeAccess) {
        fail(core::ErrorCode::pathFileAccessError);
        return;
    }
    advanceColumn(entry.column, text);
    entry.unfinished.append(text);
    if (lineEnd) {
        entry.unfinished.append(kLineEnd);
        entry.column = 1;
    }
    const std::size_t lastLineEnd = entry.unfinished.rfind('\n');
    if (lastLineEnd == std::string::npos) return;
    const std::string lines = entry.unfinished.substr(0, lastLineEnd + 1);
    entry.unfinished.erase(0, lastLineEnd + 1);
    if (!writeLines(entry, lines)) {
        // The lines are gone, the file ends where it ended: the column counts from its start.
        entry.column = 1;
        advanceColumn(entry.column, entry.unfinished);
    }
}

std::string FileTable::columnMove(int fileNumber, std::int64_t n) {
    if (errorPending()) return {};
    std::lock_guard lock(mutex_);
    if (!validNumber(fileNumber) || entries_[static_cast<std::size_t>(fileNumber)].handle < 0) {
        core::raiseError(core::ErrorCode::badFileNameOrNumber);
        return {};
    }
    const std::int64_t column = entries_[static_cast<std::size_t>(fileNumber)].column;
    if (n < 1) n = 1;
    // A file line has no width; the guard only keeps a wild argument from asking for gigabytes.
    constexpr std::int64_t kWidest = 1 << 20;
    if (n > kWidest) {
        core::raiseError(core::ErrorCode::illegalFunctionCall);
        return {};
    }
    if (n >= column) return std::string(static_cast<std::size_t>(n - column), ' ');
    std::string text(kLineEnd);
    text.append(static_cast<std::size_t>(n - 1), ' ');
    return text;
}

void FileTable::closeFile(int fileNumber) {
    if (errorPending()) return;
    std::lock_guard lock(mutex_);
    if (!validNumber(fileNumber)) {
        core::raiseError(core::ErrorCode::badFileNameOrNumber);
        return;
    }
    close(entries_[static_cast<std::size_t>(fileNumber)]);
}

// An unfinished line goes out as it is: it shows where the run ended (a run stopped at a prompt).
void FileTable::close(Entry& entry) {
    if (entry.handle >= 0) {
        if (!entry.unfinished.empty()) writeLines(entry, entry.unfinished);
        ::close(entry.handle);
    }
    entry = Entry{};
}

void FileTable::closeAll() {
    // Shutdown closes whatever is open, pending error or not: nothing may be left unflushed.
    std::lock_guard lock(mutex_);
    for (Entry& entry : entries_)
        close(entry);
}

bool FileTable::isOpen(int fileNumber) const {
    std::lock_guard lock(mutex_);
    return validNumber(fileNumber) && entries_[static_cast<std::size_t>(fileNumber)].handle >= 0;
}

std::int64_t FileTable::column(int fileNumber) const {
    std::lock_guard lock(mutex_);
    if (!validNumber(fileNumber) || entries_[static_cast<std::size_t>(fileNumber)].handle < 0) return 0;
    return entries_[static_cast<std::size_t>(fileNumber)].column;
}

std::int64_t FileTable::position(int fileNumber) const {
    std::lock_guard lock(mutex_);
    if (!validNumber(fileNumber) || entries_[static_cast<std::size_t>(fileNumber)].handle < 0) return 0;
    return entries_[static_cast<std::size_t>(fileNumber)].position;
}

std::int64_t FileTable::failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

FileTable& files() {
    static FileTable table;
    return table;
}

void closeAllFiles() {
    files().closeAll();
}

// ---- date and time -----------------------------------------------------------------------------

std::string dateTextOf(const std::tm& local) {
    const int month = local.tm_mon + 1;
    const int year = local.tm_year + 1900;
    if (month < 1 || month > 12 || local.tm_mday < 1 || local.tm_mday > 31 || year < 0 || year > 9999)
        return {};
    char text[11];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", month, local.tm_mday, year);
    return text;
}

std::string timeTextOf(const std::tm& local) {
    // tm_sec may be 60 in a leap second; it still fits two digits.
    if (local.tm_hour < 0 || local.tm_hour > 23 || local.tm_min < 0 || local.tm_min > 59 ||
        local.tm_sec < 0 || local.tm_sec > 60)
        return {};
    return twoDigits(local.tm_hour) + ":" + twoDigits(local.tm_min) + ":" + twoDigits(local.tm_sec);
}

std::string dateText() {
    if (errorPending()) return {};
    std::tm local{};
    std::string text;
    if (readLocalTime(local)) text = dateTextOf(local);
    if (text.empty()) core::raiseError(core::ErrorCode::illegalFunctionCall);
    return text;
}

std::string timeText() {
    if (errorPending()) return {};
    std::tm local{};
    std::string text;
    if (readLocalTime(local)) text = timeTextOf(local);
    if (text.empty()) core::raiseError(core::ErrorCode::illegalFunctionCall);
    return text;
}

void setLocalTimeSource(LocalTimeSource source) {
    std::lock_guard lock(timeSourceMutex());
    timeSourceSlot() = std::move(source);
}

} // namespace rt
