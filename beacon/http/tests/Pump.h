#pragma once

#include "platform/headless/ManualScheduler.h"

#include <chrono>
#include <thread>

namespace beacon::test {

// Runs the scheduler's due work (virtual time stands still) until `done`
// holds or `timeout` of real time passes; network replies arrive meanwhile.
template <typename Pred>
bool pumpUntil(platform::ManualScheduler& scheduler, Pred done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        scheduler.runUntilIdle();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace beacon::test
