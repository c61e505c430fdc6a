#pragma once

#include "audio/SoundCardDialog.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QSlider;

// The "Sound Card Device Select" dialog on screen, over the SoundCardDialog that keeps its
// state. Every showing starts from the model's open() (the last OK's devices, or the
// system's default); OK copies the widgets into the model and calls its ok(), anything else
// its escape(), so the results of the last OK stay.
// Child object names, for whoever drives it without a mouse: "inputList", "outputList",
// "bufferSlider", "latency", "sixteenBit", "ok".
// Thread: window.
class SoundCardDialogView : public QDialog {
    Q_OBJECT

public:
    explicit SoundCardDialogView(SoundCardDialog& model, QWidget* parent = nullptr);

    SoundCardDialog& model() { return model_; }

    // What the live line under the slider says for a slider position: the buffer count the
    // device will use (1..50) and the delay from input to output it gives with the devices
    // chosen in the lists (the devices' own on top of the blocks of safety).
    QString latencyText(int sliderPosition) const;

    // Shows the dialog modally; true when it ended with OK.
    static bool ask(SoundCardDialog& model, QWidget* parent = nullptr);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void loadFromModel();
    void showLatency();

    SoundCardDialog& model_;
    QListWidget* inputList_;
    QListWidget* outputList_;
    QSlider* buffers_;
    QLabel* latency_;
    QCheckBox* sixteenBit_;
};
