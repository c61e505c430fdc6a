#pragma once

#include "CommandHost.h"

// A host with no devices, no dialogs and no MIDI output: commands change the core and
// nothing else. Serves the command-line renderer and start-up before a window exists.
// Thread: as CommandHost.
class NullCommandHost final : public CommandHost {
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
