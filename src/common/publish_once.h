#pragma once

#include <atomic>
#include <thread>

// A value computed on first use and then read by any thread without a lock. Until a
// computation succeeds every call computes again; of first callers that race, one publishes
// its value and the others wait the moment it takes to copy it, then all read that one.
// Windows-free, so its test runs natively under the thread sanitizer.
template <typename T> class PublishOnce {
  public:
    // The published value, else compute(T&) is run; when it returns false the result is a
    // value-initialised T and nothing is published.
    template <typename Compute> const T& Get(Compute&& compute) {
        if (state_.load(std::memory_order_acquire) == Published) {
            return value_;
        }
        T computed{};
        if (!compute(computed)) {
            return unset_;
        }
        int expected = Empty;
        if (state_.compare_exchange_strong(expected, Writing, std::memory_order_acquire)) {
            value_ = computed;
            state_.store(Published, std::memory_order_release);
            return value_;
        }
        while (state_.load(std::memory_order_acquire) != Published) {
            std::this_thread::yield();
        }
        return value_;
    }

  private:
    enum : int { Empty, Writing, Published };
    std::atomic<int> state_{Empty};
    T value_{};
    const T unset_{};
};
