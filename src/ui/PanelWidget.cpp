#include "ui/PanelWidget.h"

#include <QPainter>
#include <cmath>

PanelWidget::PanelWidget(QRect panelRect, QWidget* parent) : QWidget(parent), panelRect_(panelRect) {
    setZoom(1.0);
}

QRect PanelWidget::scaled(const QRect& panel, qreal zoom) {
    return QRectF(panel.x() * zoom, panel.y() * zoom, panel.width() * zoom, panel.height() * zoom).toAlignedRect();
}

QRect PanelWidget::placed(const QRect& panel, qreal zoom) {
    const int left = int(std::lround(panel.x() * zoom));
    const int top = int(std::lround(panel.y() * zoom));
    const int right = int(std::lround((panel.x() + panel.width()) * zoom));
    const int bottom = int(std::lround((panel.y() + panel.height()) * zoom));
    return {left, top, right - left, bottom - top};
}

void PanelWidget::setZoom(qreal zoom) {
    zoom_ = zoom;
    const QRect where = placed(panelRect_, zoom);
    setFixedSize(where.size());
    move(where.topLeft());
    update();
}

QPoint PanelWidget::panelPoint(const QPointF& widgetPoint) const {
    return {int(std::floor(widgetPoint.x() / zoom_)), int(std::floor(widgetPoint.y() / zoom_))};
}

qreal PanelWidget::beginPanelPaint(QPainter& painter) const {
    painter.scale(zoom_, zoom_);
    const qreal ratio = devicePixelRatioF() * zoom_;
    // A 2x picture drawn at 1.5 is shrunk: smoothly, not by dropping rows.
    if (ratio != std::floor(ratio)) painter.setRenderHint(QPainter::SmoothPixmapTransform);
    return ratio;
}
