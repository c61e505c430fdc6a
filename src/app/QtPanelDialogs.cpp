#include "app/QtPanelDialogs.h"

#include "session/Preferences.h"
#include "ui/DialogTitle.h"
#include "ui/MidiDeviceDialog.h"
#include "ui/SampleRateDialog.h"
#include "ui/SoundCardDialogView.h"
#include "ui/SourceSelectDialog.h"

#include <QActionGroup>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>

#include <vector>

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

} // namespace

QtPanelDialogs::QtPanelDialogs(QWidget* parent) : parent_(parent) {}
QtPanelDialogs::~QtPanelDialogs() = default;

std::string QtPanelDialogs::qtFilter(const std::string& filter) {
    // Pairs of description and pattern, separated by '|', ending with "||".
    std::vector<std::string> parts;
    std::string part;
    for (char c : filter) {
        if (c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) parts.push_back(part);
    std::string out;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;
        if (!out.empty()) out += ";;";
        out += parts[i];
    }
    return out;
}

bool QtPanelDialogs::question(const std::string& text) {
    return DialogTitle::runMessageBox(parent_, QMessageBox::Question, kTitle, q(text), QMessageBox::Yes | QMessageBox::No,
                  QMessageBox::No) == QMessageBox::Yes;
}

PanelDialogs::SaveAnswer QtPanelDialogs::askToSave(const std::string& text) {
    switch (DialogTitle::runMessageBox(parent_, QMessageBox::Warning, kTitle, q(text),
                   QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save)) {
    case QMessageBox::Save: return SaveAnswer::Save;
    case QMessageBox::Discard: return SaveAnswer::Discard;
    default: return SaveAnswer::Cancel;
    }
}

std::optional<PanelDialogs::PanelMenuChoice> QtPanelDialogs::choosePanelMenu(const QPoint& globalPosition,
                                                                            int currentPercent, bool airOn) {
    QMenu menu(parent_);
    auto* group = new QActionGroup(&menu);
    for (int percent : Preferences::kZoomSteps) {
        QAction* action = menu.addAction(QStringLiteral("Zoom %1 %").arg(percent));
        action->setCheckable(true);
        action->setChecked(percent == currentPercent);
        action->setData(percent);
        group->addAction(action);
    }
    menu.addSeparator();
    QAction* air = menu.addAction(QStringLiteral("Air (the voice above 5.6 kHz)"));
    air->setCheckable(true);
    air->setChecked(airOn);
    air->setToolTip(QStringLiteral("Adds the hiss of the voice's s, sh, f and t above the engine's band, "
                                   "with the sibilance band's gain, on a sound card at 16 kHz or more "
                                   "that plays and records in one stream."));
    const QAction* chosen = menu.exec(globalPosition);
    if (!chosen) return std::nullopt;
    if (chosen == air) return PanelMenuChoice{std::nullopt, true};
    return PanelMenuChoice{chosen->data().toInt(), false};
}

std::optional<PanelDialogs::ControlAction> QtPanelDialogs::chooseControlAction(const QPoint& globalPosition,
                                                                              const std::string& name, bool assigned) {
    QMenu menu(parent_);
    menu.addSection(q(name));
    QAction* learn = menu.addAction(QStringLiteral("Learn MIDI controller"));
    QAction* forget = menu.addAction(QStringLiteral("Forget MIDI controller"));
    forget->setEnabled(assigned);
    const QAction* chosen = menu.exec(globalPosition);
    if (chosen == learn) return ControlAction::Learn;
    if (chosen == forget) return ControlAction::Forget;
    return std::nullopt;
}

void QtPanelDialogs::message(const std::string& text) {
    DialogTitle::runMessageBox(parent_, QMessageBox::Warning, kTitle, q(text), QMessageBox::Ok);
}

std::optional<std::filesystem::path> QtPanelDialogs::openFile(const std::string& title, const std::string& filter) {
    QFileDialog dialog(parent_, q(title), QString(), q(qtFilter(filter)));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    DialogTitle::fit(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

std::optional<std::filesystem::path> QtPanelDialogs::saveFile(const std::string& defaultExtension,
                                                              const std::string& filter) {
    QFileDialog dialog(parent_, "Save As", QString(), q(qtFilter(filter)));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(q(defaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

std::optional<SourceChoice> QtPanelDialogs::selectSource(const std::string& title) {
    const bool carrier = title.find("Carrier") != std::string::npos;
    return SourceSelectDialog::ask(carrier ? SourceSelectDialog::Purpose::Carrier : SourceSelectDialog::Purpose::Modulator,
                                   parent_);
}

std::optional<SaveRate> QtPanelDialogs::selectSaveRate() { return SampleRateDialog::ask(parent_); }

bool QtPanelDialogs::soundCard(SoundCardDialog& model) { return SoundCardDialogView::ask(model, parent_); }

MidiDeviceChooser& QtPanelDialogs::midiDevices() {
    if (!midi_) midi_ = std::make_unique<MidiDeviceDialog>(parent_);
    return *midi_;
}

bool QtPanelDialogs::openManual(const std::filesystem::path& page) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page.string())));
}

bool QtPanelDialogs::libraryError(const std::string& title, const std::string& text, bool parentMode) {
    if (parentMode)
        return DialogTitle::runMessageBox(nullptr, QMessageBox::Critical, q(title), q(text), QMessageBox::Ok | QMessageBox::Cancel) ==
               QMessageBox::Cancel;
    return DialogTitle::runMessageBox(nullptr, QMessageBox::Critical, q(title), q(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}
