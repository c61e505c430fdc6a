#pragma once

#include "files/SourceChoice.h"

#include <QDialog>
#include <optional>

// Asks which part of a WAV file's channels to use. One button press answers and closes;
// Escape (or closing the window) cancels with no answer at all, which is not "None".
// Thread: window.
class SourceSelectDialog : public QDialog {
    Q_OBJECT

public:
    enum class Purpose { Modulator, Carrier };

    explicit SourceSelectDialog(Purpose purpose, QWidget* parent = nullptr);

    // The button pressed; empty while none has been, and after a cancel.
    std::optional<SourceChoice> choice() const { return choice_; }

    // Shows the dialog modally and returns the answer.
    static std::optional<SourceChoice> ask(Purpose purpose, QWidget* parent = nullptr);

private:
    void choose(SourceChoice choice);

    std::optional<SourceChoice> choice_;
};
