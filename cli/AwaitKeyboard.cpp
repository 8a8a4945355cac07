#include "cli/AwaitKeyboard.h"

#include "device/CReaderThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// The fallback for an arrival the bus did not tell of, and the spacing of
// tries however many devices come and go, are the reader's own.
constexpr std::chrono::milliseconds RetryInterval{CReaderThread::SearchIntervalMs};
constexpr auto TrySpacing = CReaderThread::SearchSpacing;
// How often a wait looks whether it was interrupted.
constexpr std::chrono::milliseconds InterruptCheck{100};

} // namespace

KeyboardSession::Result AwaitKeyboard(HidBus& bus,
                                      const std::function<KeyboardSession::Result()>& reopen) {
    using Result = KeyboardSession::Result;
    std::mutex lock;
    std::condition_variable arrived;
    bool arrival = false;
    const auto watch = bus.watch([&](HidChange change) {
        if (change != HidChange::Arrived)
            return;
        {
            std::lock_guard<std::mutex> guard(lock);
            arrival = true;
        }
        arrived.notify_all();
    });
    for (;;) {
        const auto tried = std::chrono::steady_clock::now();
        const Result r = reopen();
        if (r == Result::Done || r == Result::Interrupted)
            return r;
        std::unique_lock<std::mutex> guard(lock);
        while (!arrival && std::chrono::steady_clock::now() < tried + RetryInterval) {
            if (KeyboardSession::Interrupted())
                return Result::Interrupted;
            arrived.wait_for(guard, InterruptCheck);
        }
        arrival = false;
        guard.unlock();
        std::this_thread::sleep_until(tried + TrySpacing);
    }
}
