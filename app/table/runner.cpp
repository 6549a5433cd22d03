#include "app/table/runner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace co2::table {
namespace {

double now_s() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct Slot {
    std::string text;
    bool ready = false;
};

} // namespace

unsigned defaultThreadCount(std::size_t items) {
    const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::clamp<std::size_t>(items, 1, cores));
}

bool runOrdered(const RunSettings& settings,
                const std::function<std::unique_ptr<ChunkProducer>()>& makeProducer,
                const std::function<bool(std::string_view)>& sink,
                const std::function<void(std::size_t done)>& progress) {
    const std::size_t chunkSize = std::max<std::size_t>(1, settings.chunkSize);
    const std::size_t chunks = (settings.items + chunkSize - 1) / chunkSize;
    if (chunks == 0) return true;
    const unsigned threads = std::max(1U, settings.threads);
    const std::size_t window = settings.chunksAhead != 0 ? settings.chunksAhead : std::size_t{4} * threads;

    std::vector<Slot> slots(window);
    std::mutex mutex;
    std::condition_variable chunkReady; // a worker filled a slot
    std::condition_variable slotFree;   // the writer emptied a slot, or the run stops
    std::size_t nextChunk = 0;          // guarded by mutex
    std::size_t written = 0;            // guarded by mutex
    bool stop = false;                  // guarded by mutex
    std::exception_ptr failure;         // guarded by mutex: what a worker threw

    auto produceChunks = [&](ChunkProducer& producer) {
        std::string text;
        for (;;) {
            std::size_t chunk = 0;
            {
                std::unique_lock lock(mutex);
                slotFree.wait(lock,
                              [&] { return stop || nextChunk >= chunks || nextChunk < written + window; });
                if (stop || nextChunk >= chunks) return;
                chunk = nextChunk++;
            }
            text.clear();
            const std::size_t begin = chunk * chunkSize;
            producer.produce(begin, std::min(settings.items, begin + chunkSize), text);
            {
                std::lock_guard lock(mutex);
                Slot& slot = slots[chunk % window];
                slot.text.swap(text);
                slot.ready = true;
            }
            chunkReady.notify_one();
        }
    };

    auto work = [&](ChunkProducer& producer) {
        try {
            produceChunks(producer);
        } catch (...) {
            // Handed to the calling thread, which rethrows it once every worker has stopped.
            {
                std::lock_guard lock(mutex);
                if (!failure) failure = std::current_exception();
                stop = true;
            }
            slotFree.notify_all();
            chunkReady.notify_all();
        }
    };
    // Producers are made here, on the calling thread, so that their set-up needs no locking.
    std::vector<std::unique_ptr<ChunkProducer>> producers;
    for (unsigned i = 0; i < threads; ++i)
        producers.push_back(makeProducer());
    std::vector<std::thread> workers;
    const auto stopWorkers = [&] {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        slotFree.notify_all();
        for (std::thread& t : workers)
            if (t.joinable()) t.join();
    };

    bool ok = true;
    // A thread that cannot be started, or a sink that throws, must not leave running threads to
    // std::terminate: they are stopped and joined before the exception goes on.
    try {
        for (unsigned i = 0; i < threads; ++i)
            workers.emplace_back(work, std::ref(*producers[i]));
        std::string text;
        for (std::size_t chunk = 0; chunk < chunks && ok; ++chunk) {
            {
                std::unique_lock lock(mutex);
                Slot& slot = slots[chunk % window];
                chunkReady.wait(lock, [&] { return slot.ready || failure; });
                if (failure) break;
                text.swap(slot.text);
                slot.ready = false;
                ++written;
            }
            slotFree.notify_all();
            ok = sink(text);
            if (ok && progress) progress(std::min(settings.items, (chunk + 1) * chunkSize));
        }
    } catch (...) {
        stopWorkers();
        throw;
    }
    stopWorkers();
    if (failure) std::rethrow_exception(failure);
    return ok;
}

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

ProgressBar::ProgressBar(std::size_t total, bool enabled)
    : total_(total), enabled_(enabled), start_s_(now_s()) {}

ProgressBar::~ProgressBar() {
    finish();
}

std::string ProgressBar::render(std::size_t done, std::size_t total, double elapsed_s) {
    constexpr int kWidth = 40;
    const double fraction =
        total == 0 ? 1.0 : std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    const int filled = static_cast<int>(fraction * kWidth);
    std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "]";
    char tail[128];
    std::snprintf(tail, sizeof tail, " %3d%% %zu/%zu points, %.0f s", static_cast<int>(fraction * 100), done,
                  total, elapsed_s);
    std::string text = bar + tail;
    if (done > 0 && done < total) {
        const double left_s = elapsed_s * static_cast<double>(total - done) / static_cast<double>(done);
        std::snprintf(tail, sizeof tail, ", about %.0f s left", left_s);
        text += tail;
    }
    return text;
}

void ProgressBar::update(std::size_t done) {
    if (!enabled_) return;
    const double t = now_s();
    const double elapsed = t - start_s_;
    if (elapsed < 1.0 || t - lastDraw_s_ < 0.1) return;
    lastDraw_s_ = t;
    shown_ = true;
    // Clear to the end of the line: the text may be shorter than the last one ("9 s left" after
    // "10 s left").
    std::fprintf(stderr, "\r%s\033[K", render(done, total_, elapsed).c_str());
    std::fflush(stderr);
}

void ProgressBar::finish() {
    if (!shown_) return;
    shown_ = false;
    // Clears the bar so that what follows on the terminal starts on a clean line.
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

} // namespace co2::table
