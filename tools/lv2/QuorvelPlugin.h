#pragma once

#include "PluginPorts.h"
#include "audio/HostedEngine.h"
#include "midi/MidiMapping.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>
#include <memory>

// One instance of the plugin: the host's ports in front of a HostedEngine. Control ports
// act when their value changes, as the panel's controls do when moved or clicked; MIDI
// events reach the same mapping as a MIDI input port's; the state is the settings file's
// text.
// Thread: stopped (the host's instantiation functions: making it, activate(), restore()),
// audio (run()), any (save(), which a host may call while run() goes on).
class QuorvelPlugin {
public:
    // Thread: stopped. Throws when the rate is one the engine cannot serve.
    QuorvelPlugin(double rate, const LV2_Feature* const* features);

    // Thread: stopped (or audio, for a host that moves buffers between runs).
    void connect(std::uint32_t port, void* data) noexcept;
    // Thread: stopped.
    void activate();
    // Thread: audio.
    void run(std::uint32_t frames) noexcept;

    // Thread: any (save), stopped (restore).
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

private:
    // Thread: audio. What the control ports changed since the last run; true if any.
    bool applyControls() noexcept;
    void applyControl(std::size_t port, float value, float was) noexcept;

    HostedEngine engine_;
    MidiMapping midi_{engine_.core(), engine_.dispatcher()};
    LV2_URID midiEvent_ = 0, atomString_ = 0, settingsKey_ = 0;

    const float* inLeft_ = nullptr;
    const float* inRight_ = nullptr;
    float* outLeft_ = nullptr;
    float* outRight_ = nullptr;
    const LV2_Atom_Sequence* midiIn_ = nullptr;
    float* latency_ = nullptr;
    const float* air_ = nullptr;
    std::array<const float*, plugin_ports::kControlPorts> controls_{};
    // Each port's value as last acted on; the table's start values at first.
    std::array<float, plugin_ports::kControlPorts> seen_{};
    // After a restore the ports hold the host's saved values, which the state already
    // shows: the next run takes them as they are instead of acting on them again.
    bool adoptPorts_ = false;

    // Save's own core, which the newest image is copied into for writing its text.
    std::unique_ptr<VocoderCore> scratch_;
};
