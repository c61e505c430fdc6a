#include "ui/BitmapButton.h"

#include "ui/PanelLayout.h"
#include "ui/Skin.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

BitmapButton::BitmapButton(const ControlModel& model, int index, QWidget* parent)
    : PanelWidget(PanelLayout::buttonRect(index), parent), model_(model), index_(index), seenChanges_(model.buttonChanges(index)),
      shownFace_(currentFace()), shownCaption_(model.caption(index)) {
    // Focus on click as a real button takes it, but the keys go on to the window (keyPressEvent).
    setFocusPolicy(Qt::ClickFocus);
}

BitmapButton::Face BitmapButton::currentFace() const {
    if (model_.isPush(index_)) return Face::Push;
    return model_.lit(index_) ? Face::LampOn : Face::LampOff;
}

void BitmapButton::refresh() {
    const std::uint64_t changes = model_.buttonChanges(index_);
    if (changes == seenChanges_) return;
    seenChanges_ = changes;
    if (const Face face = currentFace(); face != shownFace_) {
        shownFace_ = face;
        update();
    }
    if (model_.caption(index_) != shownCaption_) {
        shownCaption_ = model_.caption(index_);
        Q_EMIT captionChanged(index_);
    }
}

void BitmapButton::paintEvent(QPaintEvent*) {
    static constexpr SkinImage kFaces[] = {SkinImage::LampOff, SkinImage::LampOn, SkinImage::PushFace};
    QPainter painter(this);
    const qreal ratio = beginPanelPaint(painter);
    painter.drawPixmap(0, 0, Skin::pixmap(kFaces[static_cast<int>(shownFace_)], ratio));
}

void BitmapButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressed_ = true;
    event->accept();
}

void BitmapButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // Like any push button: the click counts where the press began on the button and the
    // release ends on it; sliding off first is how a user takes a press back.
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) Q_EMIT clicked(commandId());
}

void BitmapButton::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // The release that ends the double click is not a second click.
    pressed_ = false;
    event->accept();
    Q_EMIT doubleClicked(commandId());
}

void BitmapButton::keyPressEvent(QKeyEvent* event) {
    // Keys belong to the window ("S" reopens the sound card), focus or not.
    event->ignore();
}
