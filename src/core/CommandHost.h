#pragma once

// What the command dispatcher needs from the world around the core: devices, file and
// device dialogs, the display and the MIDI output. The window implements it with real
// dialogs, the command-line renderer with none, tests with scripted answers.
//
// Thread: owner. The dispatcher calls every method on the thread that owns the VocoderCore,
// and each call completes (dialogs included) before the command goes on.
class CommandHost {
public:
    virtual ~CommandHost();

    // Stop and restart the sound card's output around anything modal or slow, so that the
    // device does not run on while a dialog is up. Both do nothing without a working device.
    virtual void pauseOutput() = 0;
    virtual void resumeOutput() = 0;

    // "Load": the file dialogs and WAV reading, into the core's carrierFile and modulatorFile.
    virtual void loadWavFiles() = 0;
    // "Save": the rate and save dialogs and writing the core's recording.
    virtual void saveRecording() = 0;
    // "LSet": a file dialog; on OK the settings file is applied to the core and the routing
    // display takes the core's channel map.
    virtual void loadSettings() = 0;
    // "SSet": a file dialog; on OK the core's state is written as a settings file.
    virtual void saveSettings() = 0;
    // "HELP": the help viewer at the contents page, if there is one.
    virtual void openHelp() = 0;
    // "TDisp": flips the spectrum display between its two modes.
    virtual void toggleDisplayMode() = 0;
    // "MIDI": the device dialogs; they edit the core's midiSlots and MIDI channels.
    virtual void configureMidi() = 0;
    // "Audio": closes the sound card if open and opens it again with the device dialog.
    // The host pauses and restarts its own output as its device allows.
    virtual void reopenAudio() = 0;
    // The core's channel map was rewritten by a routing button.
    virtual void channelMapChanged() = 0;

    // True when a MIDI output is open, free of error and set to a channel 0..15.
    virtual bool midiEchoReady() = 0;
    virtual void sendControl(int controller, int value) = 0;
};
