#include "ui/MidiMessageBoxes.h"

#include "midi/MidiDialogTexts.h"
#include "ui/DialogTitle.h"


namespace {

QString title() {
    const std::string_view t = midi_dialog_text::kApplicationTitle;
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

} // namespace

void MidiMessageBoxes::error(const std::string& text) {
    DialogTitle::runMessageBox(parent_, QMessageBox::Critical, title(), QString::fromStdString(text), QMessageBox::Ok);
}

void MidiMessageBoxes::warning(const std::string& text) {
    DialogTitle::runMessageBox(parent_, QMessageBox::Warning, title(), QString::fromStdString(text), QMessageBox::Ok);
}
