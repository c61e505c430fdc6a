#pragma once

#include "audio/LiveEngine.h"
#include "audio/LiveLoop.h"
#include "core/BlockEvents.h"
#include "rt/WakeupSignal.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>

// A block loop's messages in a test that expects none.
struct UnexpectedMessages final : BlockEvents {
    void showMessage(std::string_view text) override { ADD_FAILURE() << text; }
};

// A live engine's hooks where no MIDI and no settings text arrive.
struct NoPassHooks final : LiveEngine::Hooks {
    void midi(const std::array<std::uint8_t, 3>&, std::uint8_t) override { ADD_FAILURE() << "MIDI in a test without"; }
    void applySettings(VocoderCore&, CommandDispatcher&, std::string_view) override {
        ADD_FAILURE() << "a settings text in a test without";
    }
};

// The window's side of a live engine in a test: requests go to `onRequest` (none expected
// by default), messages fail the test, MIDI echo is dropped.
struct TestListener final : LiveEngine::Listener {
    void request(LiveEngine::Request what) override {
        if (onRequest)
            onRequest(what);
        else
            ADD_FAILURE() << "an unexpected request " << int(what);
    }
    void sendControl(int, int) override {}
    void message(std::string_view text) override { ADD_FAILURE() << text; }
    std::function<void(LiveEngine::Request)> onRequest;
};

// The program's side of a live session: the core, its engine and the live loop that the
// device's output calls.
struct LiveSession {
    VocoderCore core;
    NoPassHooks hooks;
    WakeupSignal wake;
    LiveEngine engine{core, hooks, wake};
    LiveLoop live{engine};
    TestListener listener;

    // As the window opens and closes a device.
    void start(WaveDuplex& device) {
        live.attach(&device);
        engine.setAudioOwnsCore(true);
        device.start();
    }
    void stop(WaveDuplex& device) {
        device.close();
        engine.setAudioOwnsCore(false);
        live.attach(nullptr);
    }
    // Runs the window's side for `ms` milliseconds: whenever the passes wake it, it takes
    // what they sent.
    // Thread: the test's, standing in for the window's.
    void serviceFor(int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until)
            if (wake.wait(10)) {
                wake.drain();
                engine.service(listener);
            }
    }
};
