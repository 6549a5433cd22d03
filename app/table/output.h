// Files that appear whole or not at all: written into a temporary beside the target and renamed
// over it at the end.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace co2::table {

// A temporary file made from `prefix` + six random characters, removed when this goes out of
// scope unless it was kept. While it exists its name is registered for removePartialOutput(),
// which ends a process without unwinding.
class TemporaryFile {
  public:
    TemporaryFile() = default;
    ~TemporaryFile() { remove(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Makes the file with `mode` (before the umask when `applyUmask`); returns its descriptor
    // (the caller closes it), or -1 with `error` set.
    int create(const std::string& prefix, mode_t mode, bool applyUmask, std::string& error);
    const std::string& path() const { return path_; }
    bool exists() const { return !path_.empty(); }
    // Renames the file to `target`; false with `error` set when that fails, the file then still
    // removed at the end.
    bool renameTo(const std::string& target, std::string& error);
    void remove();

  private:
    std::string path_;
    int slot_ = -1;
};

// Where a file replacing `path` is written: a temporary beside the target, which a symbolic link
// is followed to (the link stays); a device, a pipe or a link to nothing is written in place,
// since renaming over /dev/null would replace the node itself.
class Replacement {
  public:
    // With `openInPlace` false a file written in place is left for someone else to open (a FIFO
    // would block the opening until it has a reader).
    explicit Replacement(const std::string& path, bool openInPlace = true);
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    const std::string& error() const { return error_; }
    // The name to write to: the temporary, or `path` itself when written in place; its
    // descriptor is open for writing (-1 after an error) until taken.
    const std::string& writePath() const { return temp_.exists() ? temp_.path() : path_; }
    int takeDescriptor() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    bool inPlace() const { return !temp_.exists(); }
    // Puts the finished temporary in the target's place; false with error() set when that fails.
    bool commit();
    // Drops the temporary: the target stays as it was.
    void abandon() { temp_.remove(); }
    ~Replacement();

  private:
    std::string path_;
    std::string target_; // the file that is replaced: path_, or the file a link points to
    TemporaryFile temp_;
    int fd_ = -1;
    std::string error_;
};

// The table's output: standard output for an empty path or "-", else a Replacement of the file.
class Output {
  public:
    Output(std::FILE* standardOut, const std::string& path);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    bool ok() const { return file_ != nullptr && error_.empty(); }
    const std::string& error() const { return error_; }
    std::string name() const { return path_.empty() ? "standard output" : path_; }
    bool write(std::string_view text);
    // Flushes, syncs and renames the temporary into place.
    bool finish();

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
    std::optional<Replacement> replacement_;
    std::string error_;
};

// Removes every temporary file of the run in progress; safe in a signal handler and on the
// critical-error exit.
void removePartialOutput();

} // namespace co2::table
