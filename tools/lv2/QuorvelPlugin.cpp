#include "QuorvelPlugin.h"

#include "session/SettingsFile.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

const LV2_URID_Map* findMap(const LV2_Feature* const* features) {
    for (; features && *features; ++features)
        if (std::strcmp((*features)->URI, LV2_URID__map) == 0) return static_cast<const LV2_URID_Map*>((*features)->data);
    return nullptr;
}

float startValue(ControlId id) { return static_cast<float>(controlInfo(id).start); }

} // namespace

QuorvelPlugin::QuorvelPlugin(double rate, const LV2_Feature* const* features)
    : engine_(rate), scratch_(std::make_unique<VocoderCore>()) {
    // Without a map (a bare host such as lv2apply) the controls and sound work; MIDI and
    // the state, whose types only a map can name, do not.
    const LV2_URID_Map* map = findMap(features);
    if (map) {
        midiEvent_ = map->map(map->handle, LV2_MIDI__MidiEvent);
        atomString_ = map->map(map->handle, LV2_ATOM__String);
        settingsKey_ = map->map(map->handle, std::string(plugin_ports::kSettingsKey).c_str());
    }
    for (std::size_t i = 0; i < plugin_ports::kControlPorts; ++i) seen_[i] = startValue(plugin_ports::kControls[i]);
}

void QuorvelPlugin::connect(std::uint32_t port, void* data) noexcept {
    namespace p = plugin_ports;
    switch (port) {
    case p::InLeft: inLeft_ = static_cast<const float*>(data); return;
    case p::InRight: inRight_ = static_cast<const float*>(data); return;
    case p::OutLeft: outLeft_ = static_cast<float*>(data); return;
    case p::OutRight: outRight_ = static_cast<float*>(data); return;
    case p::MidiIn: midiIn_ = static_cast<const LV2_Atom_Sequence*>(data); return;
    case p::Latency: latency_ = static_cast<float*>(data); return;
    case p::kAir: air_ = static_cast<const float*>(data); return;
    default:
        if (port >= p::kFirstControl && port < p::kFirstControl + p::kControlPorts)
            controls_[port - p::kFirstControl] = static_cast<const float*>(data);
    }
}

void QuorvelPlugin::activate() { engine_.reset(); }

void QuorvelPlugin::applyControl(std::size_t port, float value, float was) noexcept {
    const ControlId id = plugin_ports::kControls[port];
    const ControlInfo& info = controlInfo(id);
    const bool on = value >= 0.5f;
    switch (info.kind) {
    case ControlKind::ParameterSlider:
    case ControlKind::ChannelSlider: {
        const long position = std::lround(std::clamp(value, float(info.minimum), float(info.maximum)));
        engine_.moveSlider(sliderIndexOf(id), static_cast<int>(position));
        break;
    }
    case ControlKind::Toggle:
        // The port says which way the lamp should be; MIDI may have switched it meanwhile.
        if (on != engine_.core().controls.litControl(id)) engine_.press(id);
        break;
    case ControlKind::Exclusive:
    case ControlKind::Push:
        // A click: pressing a group's member releases the rest, as on the panel.
        if (on && !(was >= 0.5f)) engine_.press(id);
        break;
    case ControlKind::None:
        break;
    }
}

bool QuorvelPlugin::applyControls() noexcept {
    bool changed = false;
    for (std::size_t i = 0; i < plugin_ports::kControlPorts; ++i) {
        if (!controls_[i]) continue;
        const float value = *controls_[i];
        if (value == seen_[i] || std::isnan(value)) continue;
        const float was = seen_[i];
        seen_[i] = value;
        if (!adoptPorts_) {
            applyControl(i, value, was);
            changed = true;
        }
    }
    adoptPorts_ = false;
    return changed;
}

void QuorvelPlugin::run(std::uint32_t frames) noexcept {
    bool changed = applyControls();
    engine_.setAir(air_ && *air_ >= 0.5f);
    std::uint32_t done = 0;
    auto playTo = [&](std::uint32_t end) {
        end = std::min(end, frames);
        if (end <= done) return;
        engine_.process(inLeft_ + done, inRight_ + done, outLeft_ + done, outRight_ + done, end - done);
        done = end;
    };
    if (midiIn_ && midiEvent_ != 0) {
        LV2_ATOM_SEQUENCE_FOREACH(midiIn_, event) {
            if (event->body.type != midiEvent_) continue;
            // Each message acts from the pass after the frames before it.
            playTo(static_cast<std::uint32_t>(std::max<int64_t>(0, event->time.frames)));
            const auto* bytes = reinterpret_cast<const unsigned char*>(event + 1);
            const MidiMessage message = MidiMessage::fromBytes(bytes, event->body.size);
            if (message.size == 0) continue;
            midi_.handleMessage(message);
            changed = true;
        }
    }
    playTo(frames);
    if (changed) engine_.publishImage();
    if (latency_) *latency_ = static_cast<float>(engine_.latencyFrames());
}

LV2_State_Status QuorvelPlugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (settingsKey_ == 0) return LV2_STATE_ERR_NO_FEATURE;
    engine_.image().copyTo(*scratch_);
    const std::string text = settingsText(*scratch_);
    return store(handle, settingsKey_, text.c_str(), text.size() + 1, atomString_,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status QuorvelPlugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (settingsKey_ == 0) return LV2_STATE_ERR_NO_FEATURE;
    std::size_t size = 0;
    std::uint32_t type = 0, flags = 0;
    const void* data = retrieve(handle, settingsKey_, &size, &type, &flags);
    if (!data) return LV2_STATE_SUCCESS; // a state from before: nothing of ours in it
    if (type != atomString_) return LV2_STATE_ERR_BAD_TYPE;
    const auto* text = static_cast<const char*>(data);
    loadSettingsText(engine_.core(), engine_.dispatcher(), std::string_view(text, strnlen(text, size)));
    engine_.publishImage();
    adoptPorts_ = true;
    return LV2_STATE_SUCCESS;
}
