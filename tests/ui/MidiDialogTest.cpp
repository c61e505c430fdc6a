// The two MIDI dialogs as a user drives them: real widgets, real modal loops, message boxes
// closed the way a user would. Runs on the offscreen platform when there is no display.

#include "midi/MidiDialogTexts.h"
#include "midi/MidiLink.h"
#include "midi/MidiMapping.h"
#include "ui/MidiAssignmentDialog.h"
#include "ui/MidiDeviceDialog.h"
#include "ui/MidiMessageBoxes.h"
#include "MidiTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include "ui/DialogTitle.h"
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

const QString kTitle = QString::fromUtf8(midi_dialog_text::kApplicationTitle.data());

// Once a modal widget of type T is on top, runs `action` on it from the event loop. Set it
// up before the call that opens the widget.
template <typename T>
void whenModal(std::function<void(T*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(widget);
        }
    });
    timer->start();
}

void pressEscape(QWidget* widget) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

struct BoxSeen {
    QString title, text;
    bool wholeTitleFits = false;
};

// Closes the next message box and keeps what it said.
void acceptMessageBox(BoxSeen& seen) {
    whenModal<QMessageBox>([&seen](QMessageBox* box) {
        seen = {box->windowTitle(), box->text(),
                box->width() >= DialogTitle::widthFor(box->windowTitle(), box->font())};
        box->accept();
    });
}

MidiSlots sampleTable() {
    MidiSlots table{};
    for (int k = 0; k < kMidiSlotCount; ++k)
        table[static_cast<std::size_t>(k)] = {(k * 5) % kControlCount, 7 + k * 6};
    table[3].control = -1; // never assigned
    return table;
}

bool sameTable(const MidiSlots& a, const MidiSlots& b) {
    for (std::size_t k = 0; k < a.size(); ++k)
        if (a[k].control != b[k].control || a[k].controller != b[k].controller) return false;
    return true;
}

// ---- "MIDI Controller Assignment" -------------------------------------------------------

class AssignmentDialog : public ::testing::Test {
protected:
    MidiAssignmentDialog dialog;
    MidiSlots table = sampleTable();

    void SetUp() override {
        dialog.load(table);
        dialog.show();
    }
    void TearDown() override { dialog.hide(); }

    QPushButton* ok() const { return dialog.findChild<QPushButton*>("ok"); }
    QPushButton* cancel() const { return dialog.findChild<QPushButton*>("cancel"); }

    // Types `text` into row's box and presses OK; returns the message box's words, if any.
    BoxSeen okWith(int row, const QString& text) {
        dialog.controllerBox(row)->setText(text);
        BoxSeen seen;
        acceptMessageBox(seen);
        ok()->click();
        return seen;
    }
};

TEST_F(AssignmentDialog, OpensWithEachSlotsControlSelectedAndItsControllerInTheBox) {
    EXPECT_EQ(dialog.controlList(0)->itemText(kControlCount - 1), "Audio Settings Button");
    for (int row = 0; row < kMidiSlotCount; ++row) {
        const MidiAssignment& slot = table[static_cast<std::size_t>(row)];
        // A slot never assigned shows "Off", not an empty list.
        EXPECT_EQ(dialog.controlList(row)->currentIndex(), std::max(slot.control, 0)) << "row " << row;
        EXPECT_EQ(dialog.controllerBox(row)->text(), QString::number(slot.controller));
    }
}

TEST_F(AssignmentDialog, Controller122IsRefusedWithTheRangeMessageAndTheBoxTakesTheFocus) {
    dialog.controllerBox(2)->setFocus();
    const BoxSeen seen = okWith(6, "122");
    EXPECT_EQ(seen.text, "Please enter an integer between 0 and 121.");
    EXPECT_EQ(seen.title, kTitle);
    EXPECT_TRUE(seen.wholeTitleFits);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), dialog.controllerBox(6));
    EXPECT_TRUE(sameTable(dialog.table(), table));
}

TEST_F(AssignmentDialog, TextThatIsNoByteIsRefusedWithThe0To255Message) {
    for (const char* text : {"abc", "", "256"}) {
        const BoxSeen seen = okWith(11, text);
        EXPECT_EQ(seen.text, "Please enter an integer between 0 and 255.") << "for \"" << text << "\"";
        EXPECT_TRUE(dialog.isVisible());
    }
}

TEST_F(AssignmentDialog, ChoosingOffMakesTheSlotUnassignedWhateverItsController) {
    ASSERT_EQ(table[5].control, 25);
    dialog.controlList(5)->setCurrentIndex(0);
    ok()->click();
    const MidiAssignment slot = dialog.table()[5];
    EXPECT_EQ(slot.control, control::Off);
    EXPECT_FALSE(slot.assigned());

    // A controller message for it now moves nothing.
    VocoderCore core;
    RecordedOutput output;
    EchoHost host{output};
    CommandDispatcher dispatcher{core, host};
    MidiMapping mapping{core, dispatcher};
    core.midiSlots.fill({});
    core.midiSlots[5] = slot;
    const auto revision = core.controls.revision();
    mapping.handleMessage(controlChange(0, slot.controller, 3));
    EXPECT_EQ(core.controls.revision(), revision);
}

TEST_F(AssignmentDialog, CancelAfterARefusedOkStoresNothing) {
    dialog.controlList(0)->setCurrentIndex(40);
    dialog.controllerBox(0)->setText("50");
    okWith(1, "500");
    cancel()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(sameTable(dialog.table(), table));
}

TEST(AssignmentDialogRuns, OpeningTwiceWithoutChangesAndPressingOkLeavesTheTableUnchanged) {
    MidiAssignmentDialog dialog;
    const MidiSlots original = sampleTable();
    MidiSlots table = original;
    for (int run = 0; run < 2; ++run) {
        whenModal<MidiAssignmentDialog>(
            [](MidiAssignmentDialog* d) { d->findChild<QPushButton*>("ok")->click(); });
        EXPECT_EQ(dialog.edit(table), QDialog::Accepted);
        EXPECT_TRUE(sameTable(table, original)) << "after run " << run + 1;
    }
}

// ---- "MIDI Device Selection" -----------------------------------------------------------

class DeviceDialog : public ::testing::Test {
protected:
    MidiDeviceDialog dialog;
    std::vector<std::string> inputs{"JACK: keyboard:out", "JACK: pads:out"};
    std::vector<std::string> outputs{"JACK: synth:in"};
    MidiDeviceSettings settings{2, 1, 17, 16, sampleTable()};

    // Runs the dialog modally; `user` acts once it is up.
    void run(std::function<void(MidiDeviceDialog*)> user) {
        whenModal<MidiDeviceDialog>(std::move(user));
        dialog.choose(inputs, outputs, settings);
    }
};

TEST_F(DeviceDialog, OpensWithNoneSelectedInBothDeviceListsAndTheStoredChannels) {
    run([](MidiDeviceDialog* d) {
        EXPECT_EQ(d->windowTitle(), "MIDI Device Selection");
        EXPECT_EQ(d->inputDevices()->count(), 3);
        EXPECT_EQ(d->outputDevices()->count(), 2);
        EXPECT_EQ(d->inputDevices()->item(0)->text(), "None");
        EXPECT_EQ(d->inputDevices()->item(2)->text(), "JACK: pads:out");
        EXPECT_EQ(d->outputDevices()->item(0)->text(), "None");
        EXPECT_EQ(d->inputDevices()->currentRow(), 0);
        EXPECT_EQ(d->outputDevices()->currentRow(), 0);
        EXPECT_EQ(d->inputChannel()->count(), 18);
        EXPECT_EQ(d->outputChannel()->count(), 17);
        EXPECT_EQ(d->inputChannel()->currentText(), "OFF");
        EXPECT_EQ(d->outputChannel()->currentText(), "OFF");
        d->okButton()->click();
    });
    // The program's first opening: no output channel chosen yet reads "OFF", not blank.
    settings.outChannel = -1;
    run([](MidiDeviceDialog* d) {
        EXPECT_EQ(d->outputChannel()->currentText(), "OFF");
        d->okButton()->click();
    });
    EXPECT_EQ(settings.outChannel, 16);
}

TEST_F(DeviceDialog, OkStoresThePositionsOfAllFourLists) {
    run([](MidiDeviceDialog* d) {
        d->inputDevices()->setCurrentRow(1);
        d->outputDevices()->setCurrentRow(1);
        d->inputChannel()->setCurrentIndex(0);  // OMNI
        d->outputChannel()->setCurrentIndex(9); // channel 10
        d->okButton()->click();
    });
    EXPECT_EQ(settings.inputDevice, 1);
    EXPECT_EQ(settings.outputDevice, 1);
    EXPECT_EQ(settings.inChannel, 0);
    EXPECT_EQ(settings.outChannel, 9);
}

TEST_F(DeviceDialog, EscapeStoresNothingSoTheLastOksDevicesAndTheChannelsStay) {
    run([](MidiDeviceDialog* d) {
        d->inputDevices()->setCurrentRow(0);
        d->inputChannel()->setCurrentIndex(3);
        d->outputChannel()->setCurrentIndex(3);
        pressEscape(d);
    });
    EXPECT_EQ(settings.inputDevice, 2);
    EXPECT_EQ(settings.outputDevice, 1);
    EXPECT_EQ(settings.inChannel, 17);
    EXPECT_EQ(settings.outChannel, 16);
}

TEST_F(DeviceDialog, EditControllerAssignmentsEditsTheTableWhichStaysAfterEscape) {
    run([](MidiDeviceDialog* d) {
        whenModal<MidiAssignmentDialog>([](MidiAssignmentDialog* a) {
            a->controlList(0)->setCurrentIndex(control::CarrierGain);
            a->controllerBox(0)->setText("7");
            a->findChild<QPushButton*>("ok")->click();
        });
        d->editAssignmentsButton()->click();
        pressEscape(d);
    });
    EXPECT_EQ(settings.assignments[0].control, control::CarrierGain);
    EXPECT_EQ(settings.assignments[0].controller, 7);
    EXPECT_EQ(settings.inputDevice, 2);
    ASSERT_NE(dialog.assignmentDialog(), nullptr);
}

// ---- With a MidiLink -------------------------------------------------------------------

class CollectedAlerts final : public MidiAlerts {
public:
    std::vector<std::string> shown;
    void error(const std::string& text) override { shown.push_back(text); }
    void warning(const std::string& text) override { shown.push_back(text); }
};

TEST(DeviceDialogWithLink, TheInputChannelOffComesBackAsOffFromTheDialog) {
    CollectedAlerts alerts;
    MidiLink link{alerts};
    MidiDeviceDialog dialog;
    link.SetChannels(17, 16);
    for (int run = 0; run < 2; ++run) {
        whenModal<MidiDeviceDialog>([](MidiDeviceDialog* d) {
            EXPECT_EQ(d->inputChannel()->currentText(), "OFF");
            EXPECT_EQ(d->outputChannel()->currentText(), "OFF");
            d->okButton()->click();
        });
        link.Reconfigure(dialog);
        EXPECT_EQ(link.GetChannels(), std::make_pair(17, 16));
    }
    EXPECT_TRUE(link.inClosed() && link.outClosed());
    EXPECT_TRUE(alerts.shown.empty());
}

TEST(MessageBoxes, ShowTheTextUnderTheApplicationsTitle) {
    MidiMessageBoxes boxes;
    BoxSeen seen;
    acceptMessageBox(seen);
    boxes.warning("midiInClose() returned error: unspecified error!");
    EXPECT_EQ(seen.title, kTitle);
    EXPECT_EQ(seen.text, "midiInClose() returned error: unspecified error!");
}

} // namespace

int main(int argc, char** argv) {
    // Without a display the dialogs run on Qt's offscreen platform; they behave the same.
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        static char runtime[] = "/tmp/quorvel-midi-dialogs-XXXXXX";
        if (mkdtemp(runtime) != nullptr) setenv("XDG_RUNTIME_DIR", runtime, 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
