#include "ui/SampleRateDialog.h"

#include "ui/DialogTitle.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <array>

namespace {

struct RateButton {
    const char* text;
    SaveRate rate;
};
constexpr std::array<RateButton, 3> kRates{{
    {"11.025 KHz", SaveRate::Rate11025},
    {"22.05 KHz", SaveRate::Rate22050},
    {"44.1 KHz", SaveRate::Rate44100},
}};

} // namespace

SampleRateDialog::SampleRateDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Save File Sampling Rate Select"));
    setModal(true);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(24, 18, 24, 18);
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(8);
    grid->addWidget(new QLabel(QStringLiteral("Select the Sampling Rate for the WAV File"), this), 0, 0, 1,
                    2);

    int row = 1;
    for (const RateButton& entry : kRates) {
        auto* button = new QPushButton(QString::fromLatin1(entry.text), this);
        button->setMinimumWidth(96);
        // Return takes the rate button that has the focus; the first one has it at the start.
        button->setAutoDefault(true);
        if (row == 1) button->setDefault(true);
        grid->addWidget(button, row++, 0);
        const SaveRate rate = entry.rate;
        connect(button, &QPushButton::clicked, this, [this, rate] { choose(rate); });
    }
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    cancel->setMinimumWidth(96);
    grid->addWidget(cancel, 2, 1);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    DialogTitle::fit(*this);
}

void SampleRateDialog::choose(SaveRate rate) {
    rate_ = rate;
    accept();
}

std::optional<SaveRate> SampleRateDialog::ask(QWidget* parent) {
    SampleRateDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.rate();
}
