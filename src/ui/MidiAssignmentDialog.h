#pragma once

#include "midi/MidiDeviceSettings.h"

#include <QDialog>
#include <array>

class QComboBox;
class QLineEdit;

// "MIDI Controller Assignment": 20 rows of a control list and a controller box, one row per
// assignment slot. One dialog lives as long as the device dialog that opens it, and keeps
// the table of its last OK.
// Thread: window.
class MidiAssignmentDialog final : public QDialog {
    Q_OBJECT

public:
    explicit MidiAssignmentDialog(QWidget* parent = nullptr);

    // Shows `table`, runs modally and, on OK, writes the rows back into `table`. Returns the
    // dialog's result (QDialog::Accepted or Rejected).
    int edit(MidiSlots& table);

    // Loads the rows from `table`, as edit() does before it runs.
    void load(const MidiSlots& table);
    // The table as of the last OK (or the last load()).
    const MidiSlots& table() const { return table_; }

    QComboBox* controlList(int row) const { return rows_[static_cast<std::size_t>(row)].control; }
    QLineEdit* controllerBox(int row) const { return rows_[static_cast<std::size_t>(row)].controller; }

public Q_SLOTS:
    // Reads and checks every box; a box that fails keeps the dialog open with its message
    // and takes the focus, and nothing is stored.
    void accept() override;

private:
    struct Row {
        QComboBox* control = nullptr;
        QLineEdit* controller = nullptr;
    };

    std::array<Row, kMidiSlotCount> rows_{};
    MidiSlots table_{};
};
