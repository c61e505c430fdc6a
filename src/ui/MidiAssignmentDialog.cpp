#include "ui/MidiAssignmentDialog.h"

#include "core/ControlTable.h"
#include "midi/MidiAssignmentForm.h"
#include "midi/MidiDialogTexts.h"
#include "ui/DialogTitle.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

namespace text = midi_dialog_text;
namespace form = midi_assignment_form;

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Wide enough for "Audio Settings Button" and the like, and for "121" in the boxes.
constexpr int kControlListMinimumChars = 24;
constexpr int kControllerBoxChars = 5;

} // namespace

MidiAssignmentDialog::MidiAssignmentDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(qs(text::kAssignmentTitle));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(qs(text::kOk), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(qs(text::kCancel), QDialogButtonBox::RejectRole);
    ok->setObjectName("ok");
    cancel->setObjectName("cancel");
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &MidiAssignmentDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MidiAssignmentDialog::reject);

    QStringList names;
    for (const ControlInfo& info : kControlTable) names << qs(info.name);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    const int columns = kMidiSlotCount / text::kRowsPerColumn;
    for (int column = 0; column < columns; ++column) {
        // Each column of rows has its own headings; a gap column keeps the two apart.
        const int left = column * 3;
        grid->addWidget(new QLabel(qs(text::kControlHeading), this), 0, left);
        grid->addWidget(new QLabel(qs(text::kControllerHeading), this), 0, left + 1);
        if (column > 0) grid->setColumnMinimumWidth(left - 1, 16);
    }
    for (int row = 0; row < kMidiSlotCount; ++row) {
        Row& r = rows_[static_cast<std::size_t>(row)];
        r.control = new QComboBox(this);
        r.control->addItems(names);
        r.control->setMaxVisibleItems(20);
        r.control->setMinimumContentsLength(kControlListMinimumChars);
        r.control->setObjectName(QStringLiteral("control%1").arg(row));
        r.controller = new QLineEdit(this);
        r.controller->setObjectName(QStringLiteral("controller%1").arg(row));
        r.controller->setFixedWidth(
            r.controller->fontMetrics().horizontalAdvance(QString(kControllerBoxChars, '0')) + 12);
        r.controller->setAlignment(Qt::AlignRight);

        const int column = row / text::kRowsPerColumn;
        const int line = row % text::kRowsPerColumn + 1;
        grid->addWidget(r.control, line, column * 3);
        grid->addWidget(r.controller, line, column * 3 + 1);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buttons);
    layout->addLayout(grid);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    DialogTitle::fit(*this);
}

void MidiAssignmentDialog::load(const MidiSlots& table) {
    table_ = table;
    for (int row = 0; row < kMidiSlotCount; ++row) {
        const MidiAssignment& slot = table_[static_cast<std::size_t>(row)];
        Row& r = rows_[static_cast<std::size_t>(row)];
        r.control->setCurrentIndex(form::controlListPosition(slot));
        r.controller->setText(QString::fromStdString(form::controllerBoxText(slot)));
    }
}

int MidiAssignmentDialog::edit(MidiSlots& table) {
    load(table);
    const int result = exec();
    if (result == QDialog::Accepted) table = table_;
    return result;
}

void MidiAssignmentDialog::accept() {
    // Nothing is stored until every box passes, so a refused OK followed by Cancel leaves
    // the table as it was.
    MidiSlots read = table_;
    for (int row = 0; row < kMidiSlotCount; ++row) {
        Row& r = rows_[static_cast<std::size_t>(row)];
        const form::BoxReading reading = form::readControllerBox(r.controller->text().toStdString());
        if (!reading.controller) {
            DialogTitle::runMessageBox(this, QMessageBox::Warning, qs(text::kApplicationTitle),
                                       QString::fromStdString(reading.message), QMessageBox::Ok);
            r.controller->setFocus();
            r.controller->selectAll();
            return;
        }
        MidiAssignment& slot = read[static_cast<std::size_t>(row)];
        slot.controller = *reading.controller;
        slot.control = form::controlFromListPosition(r.control->currentIndex(), slot.control);
    }
    table_ = read;
    QDialog::accept();
}
