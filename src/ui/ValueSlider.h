#pragma once

#include "core/ControlModel.h"
#include "core/SlaveMode.h"

#include "ui/PanelWidget.h"

#include <cstdint>
#include <functional>

// One slider of the panel drawn from the skin: a track, and a thumb whose top sits at
// range − value + 7, so value 0 is at the bottom. It shows slider `index` of the ControlModel:
// indices 0..17 are the tall channel sliders (range 128), 18..24 the short parameter sliders
// (range 64).
//
// The mouse: a press on the thumb drags it one value per pixel, the thumb staying under the
// pointer (past an end it waits there until the pointer comes back); a press anywhere else jumps
// the thumb's centre to where the button is released. The right button does the same but
// asks the other channel sliders to tilt around this one instead of following in parallel.
// Every new value goes through the move callback, which the window points at the dispatcher
// (channel sliders) or the model (parameter sliders).
// Thread: window.
class ValueSlider : public PanelWidget {
    Q_OBJECT

public:
    using MoveCallback = std::function<void(int index, int newValue, SlaveMode mode)>;

    ValueSlider(ControlModel& model, int index, QWidget* parent = nullptr);

    int index() const { return index_; }
    bool isTall() const { return tall_; }
    int range() const { return tall_ ? 128 : 64; }
    int value() const { return model_.slider(index_); }
    // Where the thumb of the shown value is; it is 19 wide and one row taller than its picture.
    QRect thumbRect() const { return thumbRectAt(shownValue_); }

    // Without a callback a move sets the model directly.
    void setMoveCallback(MoveCallback callback) { onMove_ = std::move(callback); }

    // The overload lamp on the thumb; repaints only the lamp stripe, and only on a change.
    void setLamp(bool on);
    bool lamp() const { return lamp_; }
    // The rectangle a lamp change repaints.
    QRect lampRect() const;

    // Call after anything may have changed the model: repaints the old and the new thumb if
    // the value moved since the last look, and nothing otherwise.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect thumbRectAt(int value) const;
    void requestValue(int newValue, SlaveMode mode);

    ControlModel& model_;
    const int index_;
    const bool tall_;
    std::uint64_t seenChanges_;
    int shownValue_;
    bool lamp_ = false;
    MoveCallback onMove_;

    Qt::MouseButton pressButton_ = Qt::NoButton; // the button of the press under way
    bool dragging_ = false;                      // that press began on the thumb
    int grabY_ = 0;     // where the pointer took the thumb
    int grabValue_ = 0; // and the value then
};
