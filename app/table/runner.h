// Runs independent chunks of work on several threads and hands their output on in order.
//
// Workers take chunks in turn and may run ahead of the writer by a bounded number of chunks, so
// memory stays flat however long the table; the calling thread writes each chunk as soon as it
// and all before it are done.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace co2::table {

class ChunkProducer {
  public:
    virtual ~ChunkProducer() = default;
    // Appends the output of items [begin, end) to `out`.
    virtual void produce(std::size_t begin, std::size_t end, std::string& out) = 0;
};

struct RunSettings {
    std::size_t items = 0;
    std::size_t chunkSize = 64;
    unsigned threads = 1;
    std::size_t chunksAhead = 0; // chunks in flight; 0 picks 4 per thread
};

// Returns false when `sink` refused a chunk (a write failed); the workers then stop early.
// `progress` is called on the calling thread after each chunk with the items written so far.
bool runOrdered(const RunSettings& settings,
                const std::function<std::unique_ptr<ChunkProducer>()>& makeProducer,
                const std::function<bool(std::string_view)>& sink,
                const std::function<void(std::size_t done)>& progress = {});

// The threads to use: the machine's cores, at least 1, at most `items`.
unsigned defaultThreadCount(std::size_t items);

// A progress bar on standard error, shown only when standard error is a terminal and the table
// has taken more than a second.
class ProgressBar {
  public:
    ProgressBar(std::size_t total, bool enabled);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(std::size_t done);
    void finish();

    // The bar's text for a fraction, without the carriage return (exposed for the tests).
    static std::string render(std::size_t done, std::size_t total, double elapsed_s);

  private:
    std::size_t total_;
    bool enabled_;
    bool shown_ = false;
    double start_s_;
    double lastDraw_s_ = 0;
};

bool standardErrorIsTerminal();

} // namespace co2::table
