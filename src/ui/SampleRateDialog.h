#pragma once

#include "files/SaveRate.h"

#include <QDialog>
#include <optional>

// Asks the rate a recording is saved at. The answer in the form the save command takes is
// rateCode(): 11, 22 or 44, and 0 for "Cancel", Escape or a closed window.
// Thread: window.
class SampleRateDialog : public QDialog {
    Q_OBJECT

public:
    explicit SampleRateDialog(QWidget* parent = nullptr);

    std::optional<SaveRate> rate() const { return rate_; }
    int rateCode() const { return rate_ ? static_cast<int>(*rate_) : 0; }

    // Shows the dialog modally; empty when the user cancelled.
    static std::optional<SaveRate> ask(QWidget* parent = nullptr);

private:
    void choose(SaveRate rate);

    std::optional<SaveRate> rate_;
};
