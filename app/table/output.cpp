#include "app/table/output.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace co2::table {
namespace {

// The temporaries that exist, for the critical-error exit, which ends the process without
// running destructors: the table's, the plot's and the plot's data at most.
constexpr int kSlots = 4;
std::atomic<const char*> gPartialFiles[kSlots];
static_assert(std::atomic<const char*>::is_always_lock_free);

int registerPartial(const char* path) {
    for (int i = 0; i < kSlots; ++i) {
        const char* expected = nullptr;
        if (gPartialFiles[i].compare_exchange_strong(expected, path)) return i;
    }
    return -1; // not reachable with the files one run makes; the destructor still removes it
}

} // namespace

void removePartialOutput() {
    for (auto& slot : gPartialFiles)
        if (const char* file = slot.exchange(nullptr); file != nullptr) ::unlink(file);
}

int TemporaryFile::create(const std::string& prefix, mode_t mode, bool applyUmask, std::string& error) {
    remove();
    std::string name = prefix + "XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    path_ = std::move(name);
    slot_ = registerPartial(path_.c_str());
    if (applyUmask) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    return fd;
}

bool TemporaryFile::renameTo(const std::string& target, std::string& error) {
    // Whoever removed the registered name (the critical-error exit) took the file with it.
    if (slot_ >= 0 && gPartialFiles[slot_].load() != path_.c_str()) {
        error = std::strerror(ENOENT);
        return false;
    }
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (slot_ >= 0) gPartialFiles[slot_].store(nullptr);
    slot_ = -1;
    path_.clear();
    return true;
}

void TemporaryFile::remove() {
    if (path_.empty()) return;
    if (slot_ >= 0) {
        const char* expected = path_.c_str();
        gPartialFiles[slot_].compare_exchange_strong(expected, nullptr);
    }
    ::unlink(path_.c_str());
    path_.clear();
    slot_ = -1;
}

Replacement::Replacement(const std::string& path, bool openInPlace) : path_(path), target_(path) {
    const auto writeInPlace = [this, openInPlace] {
        if (!openInPlace) return;
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) error_ = std::strerror(errno);
    };
    struct stat st {};
    bool exists = ::lstat(path_.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        char* resolved = ::realpath(path_.c_str(), nullptr);
        if (resolved == nullptr) {
            // A link to nothing yet: written through, which makes its target.
            writeInPlace();
            return;
        }
        target_ = resolved;
        std::free(resolved);
        exists = ::stat(target_.c_str(), &st) == 0;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        writeInPlace();
        return;
    }
    // Renaming would replace a file that may not be written; refuse it as writing would.
    if (exists && (::access(target_.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0)) {
        error_ = "the file is read-only";
        return;
    }
    fd_ = temp_.create(target_ + ".part", exists ? st.st_mode & 07777 : 0666, !exists, error_);
}

Replacement::~Replacement() {
    if (fd_ >= 0) ::close(fd_);
}

bool Replacement::commit() {
    if (!error_.empty()) return false;
    if (inPlace()) return true;
    return temp_.renameTo(target_, error_);
}

Output::Output(std::FILE* standardOut, const std::string& path) : path_(path == "-" ? std::string() : path) {
    if (path_.empty()) {
        file_ = standardOut;
        return;
    }
    replacement_.emplace(path_);
    if (!replacement_->error().empty()) {
        error_ = replacement_->error();
        return;
    }
    const int fd = replacement_->takeDescriptor();
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        error_ = std::strerror(errno);
        ::close(fd);
    }
}

Output::~Output() {
    if (!path_.empty() && file_ != nullptr) std::fclose(file_);
}

bool Output::write(std::string_view text) {
    if (!ok()) return false;
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

bool Output::finish() {
    if (!ok()) return false;
    if (path_.empty()) {
        if (std::fflush(file_) != 0 || std::ferror(file_)) error_ = std::strerror(errno);
        return error_.empty();
    }
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fflush(f) != 0 || (!replacement_->inPlace() && ::fsync(::fileno(f)) != 0))
        error_ = std::strerror(errno);
    if (std::fclose(f) != 0 && error_.empty()) error_ = std::strerror(errno);
    if (error_.empty() && !replacement_->commit()) error_ = replacement_->error();
    return error_.empty();
}

} // namespace co2::table
