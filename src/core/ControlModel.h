#pragma once

#include "core/ControlTable.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The values the panel widgets hold: 25 slider positions and 58 buttons. The window draws
// them; everything else reads and sets them here, so the window never has to be asked.
//
// Each widget carries a change counter that moves whenever something visible about it
// changes. A window keeps the counters it last painted and repaints only the widgets whose
// counter has moved; `revision()` moves with any of them, so one comparison says whether
// anything needs a look at all.
//
// Thread: owner (the core's; see VocoderCore).
class ControlModel {
public:
    ControlModel() = default;

    // Indices must be in range (sliders 0..24, buttons 0..57, ControlIds of their kind); callers
    // holding numbers from files or MIDI check them first.

    // Sliders, index 0..24: channel sliders 1..18 at 0..17, then "CGain" .. "Width".
    int slider(int index) const { return sliders_[at(index)].position; }
    // Clamps to 0..127 (channel) or 0..63 (parameter) and returns the position kept.
    int setSlider(int index, int position);
    int channelSlider(int channel) const { return slider(channel); }
    int setChannelSlider(int channel, int position) { return setSlider(channel, position); }
    // The parameter slider of ControlId 1..7.
    int parameterSlider(ControlId id) const { return slider(sliderIndexOf(id)); }
    int setParameterSlider(ControlId id, int position) { return setSlider(sliderIndexOf(id), position); }

    // Buttons, index 0..57.
    bool lit(int button) const { return buttons_[at(button)].lit; }
    void setLit(int button, bool on);
    bool isPush(int button) const { return buttons_[at(button)].push; }
    void setPush(int button, bool push);
    const std::string& caption(int button) const { return buttons_[at(button)].caption; }
    // Captions longer than 11 characters are cut to 11.
    void setCaption(int button, std::string_view text);

    // By ControlId, for the button controls 26..83; any other id has no lamp (and the
    // index -1 it maps to must never reach the array).
    bool litControl(ControlId id) const {
        const int button = buttonIndexOf(id);
        return button >= 0 && lit(button);
    }
    void setLitControl(ControlId id, bool on) {
        if (const int button = buttonIndexOf(id); button >= 0) setLit(button, on);
    }

    std::uint64_t sliderChanges(int index) const { return sliders_[at(index)].changes; }
    std::uint64_t buttonChanges(int button) const { return buttons_[at(button)].changes; }
    std::uint64_t revision() const { return revision_; }

private:
    struct Slider {
        int position = 0;
        std::uint64_t changes = 0;
    };
    struct Button {
        bool lit = false;
        bool push = false;
        std::string caption;
        std::uint64_t changes = 0;
    };

    static std::size_t at(int index) { return static_cast<std::size_t>(index); }
    void changed(std::uint64_t& counter) {
        ++counter;
        ++revision_;
    }

    std::array<Slider, kSliderCount> sliders_{};
    std::array<Button, kButtonCount> buttons_{};
    std::uint64_t revision_ = 0;
};
