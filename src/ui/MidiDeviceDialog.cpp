#include "ui/MidiDeviceDialog.h"

#include "midi/MidiDialogTexts.h"
#include "ui/DialogTitle.h"
#include "ui/MidiAssignmentDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

namespace text = midi_dialog_text;

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

template <std::size_t N>
QStringList listOf(const std::array<std::string_view, N>& entries) {
    QStringList list;
    for (std::string_view e : entries) list << qs(e);
    return list;
}

void fillDevices(QListWidget* list, const std::vector<std::string>& devices) {
    list->clear();
    list->addItem(qs(text::kNoDevice));
    for (const std::string& name : devices) list->addItem(QString::fromStdString(name));
    list->setCurrentRow(0);
}

// The stored channel code; a code the list does not hold (the output's "none chosen yet")
// means nothing is sent or taken, which is what the list's last entry, "OFF", says.
void selectChannel(QComboBox* list, int code) {
    list->setCurrentIndex(code >= 0 && code < list->count() ? code : list->count() - 1);
}

// Device names such as "JACK: midi-keyboard:out" need more room than a short list.
constexpr int kDeviceListWidth = 260;
constexpr int kDeviceListHeight = 140;

} // namespace

MidiDeviceDialog::MidiDeviceDialog(QWidget* parent)
    : QDialog(parent), inputDevices_(new QListWidget(this)), outputDevices_(new QListWidget(this)),
      inputChannel_(new QComboBox(this)), outputChannel_(new QComboBox(this)),
      ok_(new QPushButton(qs(text::kOk), this)),
      editAssignments_(new QPushButton(qs(text::kEditAssignments), this)) {
    setWindowTitle(qs(text::kDeviceTitle));

    inputDevices_->setObjectName("inputDevices");
    outputDevices_->setObjectName("outputDevices");
    inputChannel_->setObjectName("inputChannel");
    outputChannel_->setObjectName("outputChannel");
    ok_->setObjectName("ok");
    editAssignments_->setObjectName("editAssignments");

    for (QListWidget* list : {inputDevices_, outputDevices_}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setMinimumSize(kDeviceListWidth, kDeviceListHeight);
    }
    inputChannel_->addItems(listOf(text::kInputChannels));
    outputChannel_->addItems(listOf(text::kOutputChannels));
    ok_->setDefault(true);
    editAssignments_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &MidiDeviceDialog::accept);
    connect(editAssignments_, &QPushButton::clicked, this, &MidiDeviceDialog::editAssignments);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(qs(text::kDeviceHeading), this), 1);
    top->addWidget(ok_);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(qs(text::kInputDeviceLabel), this), 0, 0, Qt::AlignHCenter);
    grid->addWidget(new QLabel(qs(text::kOutputDeviceLabel), this), 0, 1, Qt::AlignHCenter);
    grid->addWidget(inputDevices_, 1, 0);
    grid->addWidget(outputDevices_, 1, 1);
    grid->addWidget(new QLabel(qs(text::kInputChannelLabel), this), 2, 0, Qt::AlignHCenter);
    grid->addWidget(new QLabel(qs(text::kOutputChannelLabel), this), 2, 1, Qt::AlignHCenter);
    grid->addWidget(inputChannel_, 3, 0, Qt::AlignHCenter);
    grid->addWidget(outputChannel_, 3, 1, Qt::AlignHCenter);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(editAssignments_);
    bottom->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(bottom);
    DialogTitle::fit(*this);
}

MidiDeviceDialog::~MidiDeviceDialog() = default;

void MidiDeviceDialog::load(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                            MidiDeviceSettings& settings) {
    settings_ = &settings;
    fillDevices(inputDevices_, inputs);
    fillDevices(outputDevices_, outputs);
    selectChannel(inputChannel_, settings.inChannel);
    selectChannel(outputChannel_, settings.outChannel);
    ok_->setFocus();
}

void MidiDeviceDialog::choose(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                              MidiDeviceSettings& settings) {
    load(inputs, outputs, settings);
    exec();
    settings_ = nullptr;
}

void MidiDeviceDialog::accept() {
    if (settings_) {
        settings_->inputDevice = std::max(inputDevices_->currentRow(), 0);
        settings_->outputDevice = std::max(outputDevices_->currentRow(), 0);
        settings_->inChannel = inputChannel_->currentIndex();
        settings_->outChannel = outputChannel_->currentIndex();
    }
    QDialog::accept();
}

void MidiDeviceDialog::editAssignments() {
    if (!assignments_) assignments_ = new MidiAssignmentDialog(this);
    if (settings_) assignments_->edit(settings_->assignments);
}
