#include "ui/MidiMessageBoxes.h"

#include "midi/MidiDialogTexts.h"

#include <QMessageBox>

namespace {

QString title() {
    const std::string_view t = midi_dialog_text::kApplicationTitle;
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

} // namespace

void MidiMessageBoxes::error(const std::string& text) {
    QMessageBox::critical(parent_, title(), QString::fromStdString(text));
}

void MidiMessageBoxes::warning(const std::string& text) {
    QMessageBox::warning(parent_, title(), QString::fromStdString(text));
}
