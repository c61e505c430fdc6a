#include "audio/InternalClockStream.h"

#include "engine/Engine.h"
#include "rt/AudioThread.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <system_error>

void InternalClockStream::start() {
    if (running_.exchange(true)) return;
    try {
        thread_ = std::thread([this] { run(); });
        // Real-time priority where the system grants it; without it the clock still runs.
        sched_param param{};
        param.sched_priority = std::max(1, sched_get_priority_min(SCHED_FIFO));
        realTime_.store(pthread_setschedparam(thread_.native_handle(), SCHED_FIFO, &param) == 0);
    } catch (const std::system_error& e) {
        // A machine out of threads: said as any device that cannot start is, and a later
        // start may try again.
        running_.store(false);
        throw AudioDeviceError(e.what());
    }
}

void InternalClockStream::stop() {
    if (!running_.exchange(false)) return;
    if (thread_.joinable()) thread_.join();
}

void InternalClockStream::run() noexcept {
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(BLOCK_SIZE / kEngineRate));
    std::array<std::int16_t, 2 * BLOCK_SIZE> discarded;
    auto next = Clock::now();
    while (running_.load(std::memory_order_acquire)) {
        {
            const AudioThread::Scope realTime;
            ring_.render(discarded.data(), BLOCK_SIZE);
        }
        next += period;
        const auto now = Clock::now();
        // After a long stall (a suspended machine) carry on from now rather than racing to catch up.
        if (now - next > 50 * period) next = now;
        std::this_thread::sleep_until(next);
    }
}
