#include "ui/ValueSlider.h"

#include "ui/PanelLayout.h"
#include "ui/Skin.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {

constexpr int kThumbLeft = 8;
constexpr int kThumbWidth = 19;
constexpr int kThumbHeight = 23;
// The thumb's centre is 11 rows below its top, so a jump puts the centre under the pointer.
constexpr int kThumbCentre = 11;

} // namespace

ValueSlider::ValueSlider(ControlModel& model, int index, QWidget* parent)
    : PanelWidget(PanelLayout::sliderRect(index), parent), model_(model), index_(index), tall_(PanelLayout::isTallSlider(index)),
      seenChanges_(model.sliderChanges(index)), shownValue_(model.slider(index)) {
}

QRect ValueSlider::thumbRectAt(int value) const {
    return {kThumbLeft, range() - value + 7, kThumbWidth, kThumbHeight};
}

QRect ValueSlider::lampRect() const {
    const QRect thumb = thumbRect();
    return {thumb.left() + kThumbLampLeft, thumb.top() + kThumbLampTop, kThumbLampWidth, kThumbLampHeight};
}

void ValueSlider::setLamp(bool on) {
    if (on == lamp_) return;
    lamp_ = on;
    updatePanel(lampRect());
}

void ValueSlider::refresh() {
    const std::uint64_t changes = model_.sliderChanges(index_);
    if (changes == seenChanges_) return;
    seenChanges_ = changes;
    const int now = model_.slider(index_);
    if (now == shownValue_) return;
    updatePanel(thumbRectAt(shownValue_).united(thumbRectAt(now)));
    shownValue_ = now;
}

void ValueSlider::paintEvent(QPaintEvent*) {
    const SkinImageInfo& track = skinImageInfo(tall_ ? SkinImage::TallTrack : SkinImage::ShortTrack);
    QPainter painter(this);
    const qreal ratio = beginPanelPaint(painter);
    painter.drawPixmap(0, 0, Skin::pixmap(track.image, ratio));
    // The window is 18 rows taller than the track; the foot closes the scale there.
    painter.drawPixmap(0, track.height, Skin::pixmap(SkinImage::TrackFoot, ratio));
    // The value of the last refresh(), not the model's: a partial repaint in between must not
    // draw a thumb that refresh() does not know it has to clear again.
    const QRect thumb = thumbRectAt(shownValue_);
    painter.drawPixmap(thumb.topLeft(), Skin::pixmap(lamp_ ? SkinImage::ThumbLamp : SkinImage::Thumb, ratio));
}

void ValueSlider::requestValue(int newValue, SlaveMode mode) {
    const int kept = std::clamp(newValue, 0, range() - 1);
    // At an end the value stays put and the others must not follow a move that did not happen.
    if (kept == value()) return;
    if (onMove_)
        onMove_(index_, kept, mode);
    else
        model_.setSlider(index_, kept);
    refresh();
}

void ValueSlider::mousePressEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if ((button != Qt::LeftButton && button != Qt::RightButton) || pressButton_ != Qt::NoButton) {
        event->ignore();
        return;
    }
    // Qt keeps sending this widget the mouse until the release, wherever the pointer goes.
    pressButton_ = button;
    const QPoint at = panelPoint(event->position());
    grabY_ = at.y();
    grabValue_ = value();
    dragging_ = thumbRect().contains(at);
    event->accept();
}

void ValueSlider::mouseMoveEvent(QMouseEvent* event) {
    const Qt::MouseButtons held = event->buttons() & (Qt::LeftButton | Qt::RightButton);
    if (pressButton_ == Qt::NoButton || !dragging_ || held == Qt::NoButton) {
        event->ignore();
        return;
    }
    // Measured from where the thumb was taken, not from the last move: a pointer that went
    // on past an end has to come back to the thumb before the thumb moves again, and so
    // the thumb is under the pointer again whenever it moves.
    const int y = panelPoint(event->position()).y();
    const int newValue = std::clamp(grabValue_ + (grabY_ - y), 0, range() - 1); // upward increases
    requestValue(newValue, held & Qt::RightButton ? SlaveMode::Tilt : SlaveMode::Parallel);
    event->accept();
}

void ValueSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != pressButton_ || pressButton_ == Qt::NoButton) {
        event->ignore();
        return;
    }
    const SlaveMode mode = pressButton_ == Qt::RightButton ? SlaveMode::Tilt : SlaveMode::Parallel;
    const bool jump = !dragging_;
    pressButton_ = Qt::NoButton;
    dragging_ = false;
    event->accept();
    if (jump) requestValue(range() - panelPoint(event->position()).y() + kThumbCentre + 7, mode);
}
