// Sequential output files addressed by file number, and the date and time texts.
//
// A file is opened for appending: created when missing, its content kept, every write going to
// its end. Writes are not buffered: when writeToFile returns, the bytes are in the file, so a
// report line survives whatever happens to the process afterwards. Lines end in CR LF.
//
// Failures raise numbered errors (rt::raiseError): 52 bad file number, 55 already open,
// 64 bad file name, 68 device unavailable, 70 permission denied, 53 other open failures,
// 76 path not found; while writing 258 invalid handle, 54 bad file mode, 70 permission denied,
// 75 any other failure including a short write. While an error is pending every operation
// returns at once and does nothing.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

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
    // Bytes written through this entry since it was opened.
    std::int64_t position(int fileNumber) const;

  private:
    struct Entry {
        int handle = -1;
        int mode = 0;
        bool writeAccess = false;
        std::int64_t column = 1;
        std::int64_t position = 0;
    };
    // Index 0 is unused so that file numbers index directly.
    std::array<Entry, kMaxFileNumber + 1> entries_{};
    mutable std::mutex mutex_;

    bool writeAll(Entry& entry, std::string_view bytes);
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
