#include "ui/DialogTitle.h"
#include "ui/MidiAssignmentDialog.h"
#include "ui/MidiDeviceDialog.h"
#include "ui/SampleRateDialog.h"
#include "ui/SoundCardDialogView.h"
#include "ui/SourceSelectDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QPushButton* buttonLabelled(QWidget& dialog, const QString& text) {
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

// Presses the button labelled `text` in whatever modal dialog comes up next.
void pressInNextModal(const QString& text) {
    QTimer::singleShot(0, [text] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        QPushButton* b = buttonLabelled(*modal, text);
        ASSERT_NE(b, nullptr) << text.toStdString();
        QTest::mouseClick(b, Qt::LeftButton);
    });
}

void escapeNextModal() {
    QTimer::singleShot(0, [] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        QTest::keyClick(modal, Qt::Key_Escape);
    });
}

// ---- Source selection -----------------------------------------------------------------------

struct SourceCase {
    const char* text;
    SourceChoice choice;
    int result;
};

class SourceDialog : public ::testing::TestWithParam<SourceSelectDialog::Purpose> {};

TEST_P(SourceDialog, EachButtonAnswersWithItsSourceAndClosesTheDialogAccepted) {
    // The numbers are those the file loader takes.
    const SourceCase cases[] = {
        {"Left", SourceChoice::Left, 2},
        {"Right", SourceChoice::Right, 3},
        {"Left + Right", SourceChoice::LeftPlusRight, 1},
        {"Left - Right", SourceChoice::LeftMinusRight, 4},
        {"None", SourceChoice::None, 0},
    };
    for (const SourceCase& c : cases) {
        SourceSelectDialog dialog(GetParam());
        dialog.show();
        QPushButton* b = buttonLabelled(dialog, QString::fromLatin1(c.text));
        ASSERT_NE(b, nullptr) << c.text;
        QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.text;
        ASSERT_TRUE(dialog.choice().has_value()) << c.text;
        EXPECT_EQ(*dialog.choice(), c.choice) << c.text;
        EXPECT_EQ(static_cast<int>(*dialog.choice()), c.result) << c.text;
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST_P(SourceDialog, EscapeCancelsWithNoAnswerAtAll) {
    SourceSelectDialog dialog(GetParam());
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.choice().has_value());
}

TEST_P(SourceDialog, AskReturnsTheButtonPressed) {
    pressInNextModal(QStringLiteral("Left - Right"));
    EXPECT_EQ(SourceSelectDialog::ask(GetParam()), SourceChoice::LeftMinusRight);
    escapeNextModal();
    EXPECT_EQ(SourceSelectDialog::ask(GetParam()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(BothSources, SourceDialog,
                         ::testing::Values(SourceSelectDialog::Purpose::Modulator,
                                           SourceSelectDialog::Purpose::Carrier),
                         [](const ::testing::TestParamInfo<SourceSelectDialog::Purpose>& purpose) {
                             return purpose.param == SourceSelectDialog::Purpose::Modulator ? "Modulator"
                                                                                         : "Carrier";
                         });

TEST(SourceDialogTitles, NameWhichSourceIsAskedFor) {
    EXPECT_EQ(SourceSelectDialog(SourceSelectDialog::Purpose::Modulator).windowTitle(),
              QStringLiteral("Select the Modulator Source"));
    EXPECT_EQ(SourceSelectDialog(SourceSelectDialog::Purpose::Carrier).windowTitle(),
              QStringLiteral("Select the Carrier Source"));
}

// No title bar may shorten a title to "Select the… er Source" or "Save File Sam…g Rate Select".
TEST(DialogTitles, EveryDialogIsWideEnoughForItsWholeTitle) {
    const AudioDeviceCatalog catalog = AudioDeviceCatalog::internalClockOnly();
    SoundCardDialog model(catalog);
    std::vector<std::unique_ptr<QDialog>> dialogs;
    dialogs.push_back(std::make_unique<SourceSelectDialog>(SourceSelectDialog::Purpose::Modulator));
    dialogs.push_back(std::make_unique<SourceSelectDialog>(SourceSelectDialog::Purpose::Carrier));
    dialogs.push_back(std::make_unique<SampleRateDialog>());
    dialogs.push_back(std::make_unique<SoundCardDialogView>(model));
    dialogs.push_back(std::make_unique<MidiDeviceDialog>());
    dialogs.push_back(std::make_unique<MidiAssignmentDialog>());
    for (const auto& dialog : dialogs) {
        dialog->show();
        const int wanted = DialogTitle::widthFor(dialog->windowTitle(), dialog->font());
        EXPECT_GE(dialog->width(), wanted) << dialog->windowTitle().toStdString();
        // Wider than the font alone would make it, so the frame's buttons fit beside it.
        EXPECT_GT(wanted, dialog->fontMetrics().horizontalAdvance(dialog->windowTitle()));
        dialog->hide();
    }
}

// ---- Sampling rate --------------------------------------------------------------------------

TEST(SampleRate, EachRateButtonAnswersWithItsRateInWholeKilohertz) {
    const std::pair<const char*, SaveRate> cases[] = {
        {"11.025 KHz", SaveRate::Rate11025},
        {"22.05 KHz", SaveRate::Rate22050},
        {"44.1 KHz", SaveRate::Rate44100},
    };
    for (const auto& [text, rate] : cases) {
        SampleRateDialog dialog;
        dialog.show();
        QTest::mouseClick(buttonLabelled(dialog, QString::fromLatin1(text)), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << text;
        EXPECT_EQ(dialog.rate(), rate) << text;
        EXPECT_EQ(dialog.rateCode(), static_cast<int>(rate)) << text;
    }
}

TEST(SampleRate, CancelAndEscapeBothAnswerZero) {
    SampleRateDialog cancelled;
    cancelled.show();
    QTest::mouseClick(buttonLabelled(cancelled, QStringLiteral("Cancel")), Qt::LeftButton);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_EQ(cancelled.rateCode(), 0);

    SampleRateDialog escaped;
    escaped.show();
    QTest::keyClick(&escaped, Qt::Key_Escape);
    EXPECT_EQ(escaped.result(), QDialog::Rejected);
    EXPECT_EQ(escaped.rateCode(), 0);
    EXPECT_FALSE(escaped.rate().has_value());
}

TEST(SampleRate, ReturnTakesTheFirstRate) {
    SampleRateDialog dialog;
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.rate(), SaveRate::Rate11025);
}

TEST(SampleRate, AskGivesTheRateOrNothing) {
    pressInNextModal(QStringLiteral("44.1 KHz"));
    EXPECT_EQ(SampleRateDialog::ask(), SaveRate::Rate44100);
    pressInNextModal(QStringLiteral("Cancel"));
    EXPECT_EQ(SampleRateDialog::ask(), std::nullopt);
}

TEST(SampleRate, ShowsItsTitleAndQuestion) {
    SampleRateDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Save File Sampling Rate Select"));
    bool found = false;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        found = found || label->text() == QStringLiteral("Select the Sampling Rate for the WAV File");
    EXPECT_TRUE(found);
}

} // namespace
