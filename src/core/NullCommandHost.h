#pragma once

#include "core/CommandHost.h"

// A host with no devices, no dialogs and no MIDI output: commands change the core and
// nothing else. Serves start-up before a window exists, and is the base of hosts that
// answer only a few of the requests (the command-line renderer's, the tests').
// Thread: owner (as CommandHost).
class NullCommandHost : public CommandHost {
public:
    void pauseOutput() override;
    void resumeOutput() override;
    void loadWavFiles() override;
    void saveRecording() override;
    void loadSettings() override;
    void saveSettings() override;
    void openHelp() override;
    void toggleDisplayMode() override;
    void configureMidi() override;
    void reopenAudio() override;
    void channelMapChanged() override;
    bool midiEchoReady() override;
    void sendControl(int controller, int value) override;
};
