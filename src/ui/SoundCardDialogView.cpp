#include "ui/SoundCardDialogView.h"

#include "ui/DialogTitle.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

// The device keeps between 1 and 50 buffers of 64 frames at 11025 Hz, whatever the slider says.
constexpr int kMinBuffers = 1;
constexpr int kMaxBuffers = 50;

QListWidget* deviceList(QWidget* parent, const char* name) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setMinimumSize(180, 96);
    return list;
}

void fill(QListWidget* list, const std::vector<std::string>& names, int selected) {
    list->clear();
    for (const std::string& name : names) list->addItem(QString::fromStdString(name));
    list->setCurrentRow(selected);
}

} // namespace

SoundCardDialogView::SoundCardDialogView(SoundCardDialog& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("Sound Card Device Select"));
    setModal(true);

    inputList_ = deviceList(this, "inputList");
    outputList_ = deviceList(this, "outputList");
    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("Input Device(s)"), this), 0, 0, Qt::AlignHCenter);
    lists->addWidget(new QLabel(QStringLiteral("Output Device(s)"), this), 0, 1, Qt::AlignHCenter);
    lists->addWidget(inputList_, 1, 0);
    lists->addWidget(outputList_, 1, 1);

    buffers_ = new QSlider(Qt::Horizontal, this);
    buffers_->setObjectName(QStringLiteral("bufferSlider"));
    buffers_->setRange(0, SoundCardDialog::kSliderMax);
    buffers_->setTickPosition(QSlider::TicksBothSides);
    buffers_->setTickInterval(10);
    buffers_->setMinimumWidth(150);
    auto* ends = new QHBoxLayout;
    ends->addWidget(new QLabel(QStringLiteral("Min"), this));
    ends->addStretch();
    ends->addWidget(new QLabel(QStringLiteral("Max"), this));
    latency_ = new QLabel(this);
    latency_->setObjectName(QStringLiteral("latency"));
    connect(buffers_, &QSlider::valueChanged, this, &SoundCardDialogView::showLatency);
    connect(inputList_, &QListWidget::currentRowChanged, this, &SoundCardDialogView::showLatency);
    connect(outputList_, &QListWidget::currentRowChanged, this, &SoundCardDialogView::showLatency);

    sixteenBit_ = new QCheckBox(QStringLiteral("16 bit input/output"), this);
    sixteenBit_->setObjectName(QStringLiteral("sixteenBit"));
    auto* warning = new QVBoxLayout;
    warning->setSpacing(0);
    warning->setContentsMargins(22, 0, 0, 0);
    warning->addWidget(new QLabel(QStringLiteral("(don't check this box if you"), this));
    warning->addWidget(new QLabel(QStringLiteral("have a soundblaster card)"), this));

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Number of Buffers"), this));
    left->addWidget(buffers_);
    left->addLayout(ends);
    left->addWidget(latency_);
    left->addSpacing(8);
    left->addWidget(sixteenBit_);
    left->addLayout(warning);

    auto* hint =
        new QLabel(QStringLiteral("Select the input and output sound devices from those available"), this);
    hint->setWordWrap(true);
    hint->setMaximumWidth(180);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* right = new QVBoxLayout;
    right->addWidget(hint);
    right->addWidget(ok, 0, Qt::AlignHCenter);
    right->addStretch();

    auto* lower = new QHBoxLayout;
    lower->addLayout(left);
    lower->addSpacing(24);
    lower->addLayout(right);

    auto* all = new QVBoxLayout(this);
    all->addLayout(lists);
    all->addSpacing(8);
    all->addLayout(lower);
    all->setSizeConstraint(QLayout::SetFixedSize);
    DialogTitle::fit(*this);

    loadFromModel();
}

QString SoundCardDialogView::latencyText(int sliderPosition) const {
    const int count = std::clamp(sliderPosition, kMinBuffers, kMaxBuffers);
    // Whole milliseconds, rounded to the nearest.
    const int ms = int(std::lround(
        model_.latencySeconds(inputList_->currentRow(), outputList_->currentRow(), sliderPosition) * 1000));
    return QStringLiteral("%1 %2: %3 ms")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("buffer") : QStringLiteral("buffers"))
        .arg(ms);
}

void SoundCardDialogView::showLatency() { latency_->setText(latencyText(buffers_->value())); }

void SoundCardDialogView::loadFromModel() {
    fill(inputList_, model_.inputList(), model_.inputSelection);
    fill(outputList_, model_.outputList(), model_.outputSelection);
    buffers_->setValue(model_.slider);
    showLatency();
    sixteenBit_->setChecked(model_.sixteenBit);
}

void SoundCardDialogView::showEvent(QShowEvent* event) {
    // A spontaneous show is the window coming back from the taskbar, not a new opening.
    if (!event->spontaneous()) {
        model_.open();
        loadFromModel();
        buffers_->setFocus();
    }
    QDialog::showEvent(event);
}

void SoundCardDialogView::done(int result) {
    if (result == QDialog::Accepted) {
        model_.inputSelection = std::max(inputList_->currentRow(), 0);
        model_.outputSelection = std::max(outputList_->currentRow(), 0);
        model_.slider = buffers_->value();
        model_.sixteenBit = sixteenBit_->isChecked();
        model_.ok();
    } else {
        model_.escape();
    }
    QDialog::done(result);
}

bool SoundCardDialogView::ask(SoundCardDialog& model, QWidget* parent) {
    SoundCardDialogView view(model, parent);
    return view.exec() == QDialog::Accepted;
}
