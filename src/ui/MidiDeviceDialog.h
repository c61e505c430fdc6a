#pragma once

#include "midi/MidiDeviceChooser.h"

#include <QDialog>
#include <memory>

class MidiAssignmentDialog;
class QComboBox;
class QListWidget;
class QPushButton;

// "MIDI Device Selection": the input and output device lists, the two channel lists and the
// way into the assignment dialog. There is no Cancel: OK stores the four lists, Escape or
// the close box stores nothing. The window creates one and hands it to every
// MidiLink::Reconfigure.
// Thread: window.
class MidiDeviceDialog final : public QDialog, public MidiDeviceChooser {
    Q_OBJECT

public:
    explicit MidiDeviceDialog(QWidget* parent = nullptr);
    ~MidiDeviceDialog() override;

    // MidiDeviceChooser: fills the lists, selects "None" in both device lists and the
    // channels `settings` holds, and runs modally.
    void choose(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                MidiDeviceSettings& settings) override;

    // choose() without running: what a test or a non-modal caller shows before show().
    // `settings` must outlive the dialog's use of it.
    void load(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
              MidiDeviceSettings& settings);

    QListWidget* inputDevices() const { return inputDevices_; }
    QListWidget* outputDevices() const { return outputDevices_; }
    QComboBox* inputChannel() const { return inputChannel_; }
    QComboBox* outputChannel() const { return outputChannel_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* editAssignmentsButton() const { return editAssignments_; }
    // Null until "Edit Controller Assignments" is first pressed.
    MidiAssignmentDialog* assignmentDialog() const { return assignments_; }

public Q_SLOTS:
    // OK: stores the positions of the four lists.
    void accept() override;
    // Runs the assignment dialog on this dialog's table.
    void editAssignments();

private:
    QListWidget* inputDevices_;
    QListWidget* outputDevices_;
    QComboBox* inputChannel_;
    QComboBox* outputChannel_;
    QPushButton* ok_;
    QPushButton* editAssignments_;
    MidiAssignmentDialog* assignments_ = nullptr; // a child, created on first use
    MidiDeviceSettings* settings_ = nullptr;      // what the running choose() edits
};
