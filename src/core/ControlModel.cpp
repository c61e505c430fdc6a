#include "core/ControlModel.h"

#include <algorithm>

int ControlModel::setSlider(int index, int position) {
    Slider& s = sliders_[at(index)];
    const int kept = std::clamp(position, 0, sliderMaximum(index));
    if (kept != s.position) {
        s.position = kept;
        changed(s.changes);
    }
    return kept;
}

void ControlModel::setLit(int button, bool on) {
    Button& b = buttons_[at(button)];
    if (b.lit == on) return;
    b.lit = on;
    changed(b.changes);
}

void ControlModel::setPush(int button, bool push) {
    Button& b = buttons_[at(button)];
    if (b.push == push) return;
    b.push = push; // a push button is drawn with its own face
    changed(b.changes);
}

void ControlModel::setCaption(int button, std::string_view text) {
    Button& b = buttons_[at(button)];
    const std::string_view kept = text.substr(0, kMaxCaptionLength);
    if (b.caption == kept) return;
    b.caption.assign(kept);
    changed(b.changes);
}
