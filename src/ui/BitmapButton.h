#pragma once

#include "core/ControlModel.h"

#include "ui/PanelWidget.h"

#include <cstdint>

// One panel button drawn from the skin: a lamp that is on or off, or the flat face of a
// one-shot button. It shows button `index` of the ControlModel and never changes it; a click
// only says which command was asked for, and the window carries it out.
// Thread: window.
class BitmapButton : public PanelWidget {
    Q_OBJECT

public:
    BitmapButton(const ControlModel& model, int index, QWidget* parent = nullptr);

    int index() const { return index_; }
    int commandId() const { return commandIdOfButton(index_); }

    // Call after anything may have changed the model. Repaints the face only if the lamp or the
    // push flag changed since the last look, and reports a changed caption (which the window
    // paints, not the button).
    void refresh();

Q_SIGNALS:
    void clicked(int commandId);
    // The second press of a double click; the first press has already sent clicked().
    void doubleClicked(int commandId);
    void captionChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Face { LampOff, LampOn, Push };
    Face currentFace() const;

    const ControlModel& model_;
    const int index_;
    std::uint64_t seenChanges_;
    Face shownFace_;
    std::string shownCaption_;
    bool pressed_ = false;
};
