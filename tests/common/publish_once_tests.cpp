#include "common/publish_once.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <latch>
#include <thread>
#include <vector>

namespace {

struct Identifier {
    unsigned long first;
    unsigned short words[2];
    unsigned char bytes[8];
};

// Eight threads make the first call at once; under the thread sanitizer (the _threads variant
// of this test) any unordered access to the value fails the run.
TEST(PublishOnce, EightFirstCallersReadOneValue) {
    constexpr int Threads = 8;
    PublishOnce<Identifier> once;
    std::latch start(Threads);
    std::atomic<int> computations{0};
    std::array<const Identifier*, Threads> seen{};
    std::vector<std::thread> threads;
    for (int i = 0; i < Threads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            seen[i] = &once.Get([&](Identifier& value) {
                value = {0x5a5a5a5aUL + static_cast<unsigned long>(i), {1, 2}, {3, 4, 5, 6}};
                return ++computations > 0;
            });
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_LE(1, computations.load());
    for (const Identifier* value : seen) {
        EXPECT_EQ(seen[0], value);
        EXPECT_EQ(seen[0]->first, value->first);
        EXPECT_EQ(5, value->bytes[2]);
    }
}

} // namespace
