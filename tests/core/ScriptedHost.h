#pragma once

#include "core/CommandHost.h"
#include "core/VocoderCore.h"

#include <string>
#include <utility>
#include <vector>

// A host that answers the dispatcher as a scripted user would and writes down every call.
class ScriptedHost final : public CommandHost {
public:
    explicit ScriptedHost(VocoderCore& core) : core_(core) {}

    std::vector<std::string> calls;
    std::vector<std::pair<int, int>> sent; // (controller, value)
    bool echoReady = true;
    // What "Load" puts into the core: blocks for the carrier and the modulator file.
    std::size_t carrierBlocksToLoad = 0;
    std::size_t modulatorBlocksToLoad = 0;

    void pauseOutput() override { calls.push_back("pause"); }
    void resumeOutput() override { calls.push_back("resume"); }
    void loadWavFiles() override {
        calls.push_back("loadWavFiles");
        core_.carrierFile.assign(carrierBlocksToLoad, FileBlock{});
        core_.modulatorFile.assign(modulatorBlocksToLoad, FileBlock{});
    }
    void saveRecording() override { calls.push_back("saveRecording"); }
    void loadSettings() override { calls.push_back("loadSettings"); }
    void saveSettings() override { calls.push_back("saveSettings"); }
    void openHelp() override { calls.push_back("openHelp"); }
    void toggleDisplayMode() override { calls.push_back("toggleDisplayMode"); }
    void configureMidi() override { calls.push_back("configureMidi"); }
    void reopenAudio() override { calls.push_back("reopenAudio"); }
    void channelMapChanged() override { calls.push_back("channelMapChanged"); }
    bool midiEchoReady() override { return echoReady; }
    void sendControl(int controller, int value) override { sent.emplace_back(controller, value); }

private:
    VocoderCore& core_;
};
