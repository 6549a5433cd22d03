#include "runtime/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "core/errors.h"

namespace rt {
namespace {

constexpr std::int64_t kIllegalFunctionCall = 5;
constexpr std::int64_t kBadFileNumber = 52;
constexpr std::int64_t kFileNotFound = 53;
constexpr std::int64_t kBadFileMode = 54;
constexpr std::int64_t kFileAlreadyOpen = 55;
constexpr std::int64_t kBadFileName = 64;
constexpr std::int64_t kDeviceUnavailable = 68;
constexpr std::int64_t kPermissionDenied = 70;
constexpr std::int64_t kPathFileAccessError = 75;
constexpr std::int64_t kPathNotFound = 76;
constexpr std::int64_t kInvalidHandle = 258;

constexpr std::string_view kLineEnd = "\r\n";

bool errorPending() {
    return errorState().pendingError.load(std::memory_order_relaxed) != 0;
}

bool validNumber(int fileNumber) {
    return fileNumber >= 1 && fileNumber <= FileTable::kMaxFileNumber;
}

// "COMn:" with an optional settings tail names a serial port. Returns 0 for an ordinary file
// name, otherwise the error to raise: serial ports are not offered on this system.
std::int64_t serialPortError(std::string_view name) {
    if (name.size() < 4) return 0;
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M') return 0;
    std::size_t i = 3;
    long port = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') {
        if (port < 1000) port = port * 10 + (name[i] - '0');
        ++i;
    }
    if (i == 3 || i >= name.size() || name[i] != ':') return 0;
    return (port >= 1 && port <= 255) ? kDeviceUnavailable : kBadFileName;
}

std::int64_t openErrorCode(int error) {
    switch (error) {
    case ENOENT:  // a directory of the path is missing (the file itself would be created)
    case ENOTDIR: // a component of the path is a file
        return kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR: // a directory cannot be written as a file: access denied, as for a protected one
        return kPermissionDenied;
    case ENODEV:
    case ENXIO: // a device file without its device, or a FIFO nobody reads
        return kDeviceUnavailable;
    default:
        return kFileNotFound;
    }
}

std::int64_t writeErrorCode(int error) {
    switch (error) {
    case EBADF:
        return kInvalidHandle;
    case EACCES:
    case EPERM:
        return kPermissionDenied;
    default:
        return kPathFileAccessError;
    }
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
        raiseError(kBadFileNumber);
        return;
    }
    Entry& entry = entries_[static_cast<std::size_t>(fileNumber)];
    if (entry.handle >= 0) {
        raiseError(kFileAlreadyOpen);
        return;
    }
    if (const std::int64_t code = serialPortError(name); code != 0) {
        raiseError(code);
        return;
    }
    // A name with a NUL byte would be cut short by the system; no such file can be meant.
    if (name.find('\0') != std::string_view::npos) {
        raiseError(kBadFileName);
        return;
    }
    const std::string path(name);
    // O_NONBLOCK only for the open itself: a FIFO without a reader must fail, not hang the
    // program thread. O_APPEND puts every write at the end, even when others append too.
    int handle;
    do {
        handle = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        raiseError(openErrorCode(errno));
        return;
    }
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0 || ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        const int error = errno;
        ::close(handle);
        raiseError(openErrorCode(error));
        return;
    }
    entry = Entry{handle, kSequentialOutput, true, 1, 0};
}

bool FileTable::writeAll(Entry& entry, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(entry.handle, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            raiseError(writeErrorCode(errno));
            return false;
        }
        if (n == 0) { // the system took nothing and gave no reason: a short write
            raiseError(kPathFileAccessError);
            return false;
        }
        done += static_cast<std::size_t>(n);
        entry.position += n;
    }
    return true;
}

void FileTable::writeToFile(int fileNumber, std::string_view text, bool lineEnd) {
    if (errorPending()) return;
    std::lock_guard lock(mutex_);
    if (!validNumber(fileNumber) || entries_[static_cast<std::size_t>(fileNumber)].handle < 0) {
        raiseError(kBadFileNumber);
        return;
    }
    Entry& entry = entries_[static_cast<std::size_t>(fileNumber)];
    if (entry.mode != kSequentialOutput) {
        raiseError(kBadFileMode);
        return;
    }
    if (!entry.writeAccess) {
        raiseError(kPathFileAccessError);
        return;
    }
    // The column follows what reached the file, so it is updated only after a complete write.
    if (!writeAll(entry, text)) return;
    for (const char c : text) {
        if (c == '\r') {
            entry.column = 1;
        } else if (c != '\n') {
            ++entry.column;
        }
    }
    if (lineEnd) {
        if (!writeAll(entry, kLineEnd)) return;
        entry.column = 1;
    }
}

std::string FileTable::columnMove(int fileNumber, std::int64_t n) {
    if (errorPending()) return {};
    std::lock_guard lock(mutex_);
    if (!validNumber(fileNumber) || entries_[static_cast<std::size_t>(fileNumber)].handle < 0) {
        raiseError(kBadFileNumber);
        return {};
    }
    const std::int64_t column = entries_[static_cast<std::size_t>(fileNumber)].column;
    if (n < 1) n = 1;
    // A file line has no width; the guard only keeps a wild argument from asking for gigabytes.
    constexpr std::int64_t kWidest = 1 << 20;
    if (n > kWidest) {
        raiseError(kIllegalFunctionCall);
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
        raiseError(kBadFileNumber);
        return;
    }
    Entry& entry = entries_[static_cast<std::size_t>(fileNumber)];
    if (entry.handle >= 0) ::close(entry.handle);
    entry = Entry{};
}

void FileTable::closeAll() {
    // Shutdown closes whatever is open, pending error or not: nothing may be left unflushed.
    std::lock_guard lock(mutex_);
    for (Entry& entry : entries_) {
        if (entry.handle >= 0) ::close(entry.handle);
        entry = Entry{};
    }
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
    if (text.empty()) raiseError(kIllegalFunctionCall);
    return text;
}

std::string timeText() {
    if (errorPending()) return {};
    std::tm local{};
    std::string text;
    if (readLocalTime(local)) text = timeTextOf(local);
    if (text.empty()) raiseError(kIllegalFunctionCall);
    return text;
}

void setLocalTimeSource(LocalTimeSource source) {
    std::lock_guard lock(timeSourceMutex());
    timeSourceSlot() = std::move(source);
}

} // namespace rt
