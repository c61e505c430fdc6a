#pragma once

#include <QWidget>

class QPainter;

// A widget of the panel at any zoom. It keeps to the panel's own coordinates (the 640 x 480
// layout, where a slider moves one value per pixel): it is placed and sized in them, paints
// in them through a scaled painter and reads the mouse in them. The skin's pictures are
// taken at 2x wherever the zoom and the screen together ask for more than one pixel per
// panel pixel, so a zoomed panel stays crisp.
// Thread: window.
class PanelWidget : public QWidget {
    Q_OBJECT

public:
    PanelWidget(QRect panelRect, QWidget* parent);

    // Moves and sizes the widget for a zoom factor (1, 1.5, 2).
    void setZoom(qreal zoom);
    qreal zoom() const { return zoom_; }
    QRect panelRect() const { return panelRect_; }
    QSize sizeHint() const override { return size(); }

    // A rectangle of panel coordinates as widget pixels, rounded outward.
    static QRect scaled(const QRect& panel, qreal zoom);
    // Where a rectangle of the panel lands at a zoom, edges rounded to the nearest pixel, so
    // that neighbours meet without gaps.
    static QRect placed(const QRect& panel, qreal zoom);

protected:
    // The mouse's position in panel coordinates, relative to this widget.
    QPoint panelPoint(const QPointF& widgetPoint) const;
    // Repaints a rectangle given in this widget's panel coordinates.
    void updatePanel(const QRect& rect) { update(scaled(rect, zoom_)); }
    // Scales the painter to panel coordinates; returns the device-pixel ratio the skin's
    // pictures are to be chosen for.
    qreal beginPanelPaint(QPainter& painter) const;

private:
    QRect panelRect_;
    qreal zoom_ = 1.0;
};
