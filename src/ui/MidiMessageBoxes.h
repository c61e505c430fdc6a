#pragma once

#include "midi/MidiAlerts.h"

class QWidget;

// Shows the MIDI ports' failures in modal message boxes titled with the application's
// title, over the given parent window.
// Thread: window.
class MidiMessageBoxes final : public MidiAlerts {
public:
    explicit MidiMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}

    void error(const std::string& text) override;
    void warning(const std::string& text) override;

private:
    QWidget* parent_;
};
