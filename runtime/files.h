// Sequential output files addressed by file number, and the date and time texts.
//
// A file is opened for appending: created when missing, its content kept, every write going to
// its end. Lines end in CR LF.
//
// The file only ever receives whole lines, each in one write() call, so that instances appending
// to the same file interleave whole lines and never tear one another's. The text of an unfinished
// line waits in the entry until its line end arrives (or the file is closed, which writes it as it
// is); when writeToFile returns after a line end, that line is in the file. Instances of this
// program take turns on an flock(2) for the moment of each line. Before every line:
//   * the path is looked up again; when it no longer names the open file (an editor saved by
//     rename, a log rotation moved it away), the file of that name is opened (created) anew;
//   * when the file does not end in a line end (an instance was killed mid-line, or closed at a
//     prompt), the line starts with CR LF, so it never continues someone else's;
//   * a line that cannot be written whole (disk full) is taken back: the file is truncated to
//     where the line began, so the next line, once there is room, starts on a line of its own.
//
// Failures raise numbered errors (core::raiseError): 52 bad file number, 55 already open,
// 64 bad file name, 68 device unavailable, 70 permission denied, 53 other open failures,
// 76 path not found, 61 no room for the file; while writing 258 invalid handle, 54 bad file mode,
// 70 permission denied, 61 disk full or file too large, 75 any other failure including a short
// write. While an error is pending every operation returns at once and does nothing.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "core/errors.h"

namespace rt {

class FileTable {
  public:
    static constexpr int kMaxFileNumber = 255;
    static constexpr int kSequentialOutput = 4; // the mode of a file opened for appending

    FileTable() = default;
    ~FileTable(); // closes what is still open
    FileTable(const FileTable&) = delete;
    FileTable& operator=(const FileTable&) = delete;

    void openForAppend(std::string_view name, int fileNumber);
    // Writes `text`, then CR LF when `lineEnd` is set.
    void writeToFile(int fileNumber, std::string_view text, bool lineEnd);
    // The spaces (after a line end when n lies left of the current column) that bring the file's
    // current line to column n; the caller writes them with writeToFile.
    std::string columnMove(int fileNumber, std::int64_t n);
    void closeFile(int fileNumber);
    void closeAll();

    bool isOpen(int fileNumber) const;
    // Column of the next character in the current line, from 1; 0 when the number is not open.
    std::int64_t column(int fileNumber) const;
    // Bytes written through this entry since it was opened (line ends put before a line included).
    std::int64_t position(int fileNumber) const;
    // Opens and writes that failed since the table was made: each one lost text of the file. A
    // program without anyone to read its error boxes ends with a failure status when it is not 0.
    std::int64_t failures() const;

  private:
    struct Entry {
        int handle = -1;
        int mode = 0;
        bool writeAccess = false;
        std::int64_t column = 1;
        std::int64_t position = 0;
        std::string path; // as opened, to notice when it names another file
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        bool regular = false;       // a regular file (not a device or a pipe)
        std::int64_t knownEnd = -1; // the file's size after this entry's last line, if known
        std::string unfinished;     // text of the line not yet ended
    };
    // Index 0 is unused so that file numbers index directly.
    std::array<Entry, kMaxFileNumber + 1> entries_{};
    mutable std::mutex mutex_;
    std::int64_t failures_ = 0;

    // Writes `bytes` (whole lines, or the unfinished rest at close) in one call; false after an
    // error was raised, with nothing of `bytes` left in the file.
    bool writeLines(Entry& entry, std::string_view bytes);
    bool followPath(Entry& entry);
    void adopt(Entry& entry, int handle);
    void fail(core::ErrorCode code);
    void close(Entry& entry);
};

// The process-wide table of the calculator's files.
FileTable& files();
// Closes every file of the process-wide table; the frame calls it at shutdown.
void closeAllFiles();

// Local time as "mm-dd-yyyy" and "hh:mm:ss". A clock or conversion failure raises error 5 and
// yields an empty text.
std::string dateText();
std::string timeText();
// The same texts of a given broken-down time (empty when a field is out of range).
std::string dateTextOf(const std::tm& local);
std::string timeTextOf(const std::tm& local);

// Where dateText and timeText read local time: fills `local` and returns false on failure.
// The default reads the system clock through localtime_r; tests install a fixed clock.
using LocalTimeSource = std::function<bool(std::tm& local)>;
void setLocalTimeSource(LocalTimeSource source); // an empty function restores the default

} // namespace rt
