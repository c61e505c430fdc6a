#pragma once

#include "audio/LiveLoop.h"
#include "core/BlockEvents.h"
#include "rt/WakeupSignal.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>

// A block loop's messages in a test that expects none.
struct UnexpectedMessages final : BlockEvents {
    void showMessage(std::string_view text) override { ADD_FAILURE() << text; }
};

// Runs `live` as the window's thread does for `ms` milliseconds: whenever the device
// raises the wake-up, the loop takes what it has.
// Thread: the test's, standing in for the window's.
inline void pumpFor(LiveLoop& live, WakeupSignal& wake, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until)
        if (wake.wait(10)) {
            wake.drain();
            live.pump();
        }
}
