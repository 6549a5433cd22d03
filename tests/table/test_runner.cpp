#include "app/table/runner.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace co2::table {
namespace {

// Writes each item's index; items of odd chunks take a little longer, so that chunks finish
// out of order and the writer has to wait for its turn.
class IndexProducer final : public ChunkProducer {
  public:
    void produce(std::size_t begin, std::size_t end, std::string& out) override {
        if ((begin / 3) % 2 == 1) std::this_thread::sleep_for(std::chrono::microseconds(200));
        for (std::size_t i = begin; i < end; ++i)
            out += std::to_string(i) + "\n";
    }
};

std::string expected(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += std::to_string(i) + "\n";
    return s;
}

TEST(Runner, WritesChunksInInputOrderWhateverTheThreads) {
    for (unsigned threads : {1U, 2U, 5U}) {
        for (std::size_t items : {0UL, 1UL, 3UL, 100UL, 1001UL}) {
            std::string all;
            std::vector<std::size_t> progress;
            RunSettings s;
            s.items = items;
            s.chunkSize = 3;
            s.threads = threads;
            s.chunksAhead = 2; // a tight window makes the workers wait for the writer
            const bool ok = runOrdered(
                s, [] { return std::make_unique<IndexProducer>(); },
                [&](std::string_view text) {
                    all += text;
                    return true;
                },
                [&](std::size_t done) { progress.push_back(done); });
            EXPECT_TRUE(ok);
            EXPECT_EQ(all, expected(items)) << threads << " threads, " << items << " items";
            EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
            if (items > 0) {
                EXPECT_EQ(progress.back(), items);
            }
        }
    }
}

TEST(Runner, StopsEarlyWhenTheSinkFails) {
    std::atomic<std::size_t> produced{0};
    class Counting final : public ChunkProducer {
      public:
        explicit Counting(std::atomic<std::size_t>& n) : n_(n) {}
        void produce(std::size_t begin, std::size_t end, std::string& out) override {
            n_ += end - begin;
            out = "x";
        }

      private:
        std::atomic<std::size_t>& n_;
    };
    RunSettings s;
    s.items = 100000;
    s.chunkSize = 10;
    s.threads = 2;
    std::size_t calls = 0;
    const bool ok = runOrdered(
        s, [&] { return std::make_unique<Counting>(produced); },
        [&](std::string_view) { return ++calls < 3; });
    EXPECT_FALSE(ok);
    EXPECT_EQ(calls, 3U);
    EXPECT_LT(produced.load(), 1000U); // bounded by the window, not the whole table
}

TEST(Runner, ThreadCountFollowsTheWork) {
    EXPECT_EQ(defaultThreadCount(1), 1U);
    EXPECT_GE(defaultThreadCount(1000), 1U);
    EXPECT_LE(defaultThreadCount(1000), std::max(1U, std::thread::hardware_concurrency()));
}

TEST(ProgressBar, RendersFractionCountAndTime) {
    EXPECT_EQ(ProgressBar::render(0, 200, 1.2),
              "[                                        ]   0% 0/200 points, 1 s");
    EXPECT_EQ(ProgressBar::render(100, 200, 2.0),
              "[####################                    ]  50% 100/200 points, 2 s, about 2 s left");
    EXPECT_EQ(ProgressBar::render(200, 200, 3.6),
              "[########################################] 100% 200/200 points, 4 s");
}

} // namespace
} // namespace co2::table
