#include "ui/SourceSelectDialog.h"

#include "ui/DialogTitle.h"

#include <QGridLayout>
#include <QPushButton>
#include <array>

namespace {

struct SourceButton {
    const char* text;
    SourceChoice choice;
    int row;
    int column;
    int columnSpan;
};
// Two by two, with "None" centred under them.
constexpr std::array<SourceButton, 5> kButtons{{
    {"Left", SourceChoice::Left, 0, 0, 1},
    {"Right", SourceChoice::Right, 0, 1, 1},
    {"Left + Right", SourceChoice::LeftPlusRight, 1, 0, 1},
    {"Left - Right", SourceChoice::LeftMinusRight, 1, 1, 1},
    {"None", SourceChoice::None, 2, 0, 2},
}};

} // namespace

SourceSelectDialog::SourceSelectDialog(Purpose purpose, QWidget* parent) : QDialog(parent) {
    setWindowTitle(purpose == Purpose::Modulator ? QStringLiteral("Select the Modulator Source")
                                                 : QStringLiteral("Select the Carrier Source"));
    setModal(true);
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(10);
    grid->setContentsMargins(20, 18, 20, 18);
    for (const SourceButton& entry : kButtons) {
        auto* button = new QPushButton(QString::fromLatin1(entry.text), this);
        button->setAutoDefault(false);
        button->setMinimumWidth(96);
        const Qt::Alignment align = entry.columnSpan > 1 ? Qt::AlignHCenter : Qt::Alignment();
        grid->addWidget(button, entry.row, entry.column, 1, entry.columnSpan, align);
        const SourceChoice choice = entry.choice;
        connect(button, &QPushButton::clicked, this, [this, choice] { choose(choice); });
    }
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    DialogTitle::fit(*this);
}

void SourceSelectDialog::choose(SourceChoice choice) {
    choice_ = choice;
    accept();
}

std::optional<SourceChoice> SourceSelectDialog::ask(Purpose purpose, QWidget* parent) {
    SourceSelectDialog dialog(purpose, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choice();
}
