#include "ui/SpectrumDisplay.h"

#include "ui/PanelLayout.h"
#include "ui/Skin.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr float kSmoothing = 0.95f;
constexpr float kBarLimit = 256.0f;
constexpr int kLastColumn = kChannels - 1;
const QColor kYellow{255, 255, 0};
const QColor kRed{255, 0, 0};
// The amber of a warning lamp, apart from the display's yellow and red.
const QColor kStatusColour{255, 160, 40};

// Column i ends (exclusive) at x = 24 + 8·i; every mark is 6 pixels wide and one row high.
constexpr int columnEnd(int column) {
    return 24 + 8 * column;
}
constexpr QRect markAt(int column, int y) {
    return {columnEnd(column) - 6, y, 6, 1};
}
constexpr int mapRow(int entry) {
    return 86 - 4 * entry;
}

} // namespace

SpectrumDisplay::SpectrumDisplay(QWidget* parent) : PanelWidget(PanelLayout::kDisplayRect, parent) {
    for (int i = 0; i < kChannels; ++i) map_[at(i)] = i;
    shownPeakRow_.fill(peakRow(0.0f));
    // The background picture covers every pixel, so the panel behind need not be painted.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect SpectrumDisplay::statusRect() {
    // Above the highest peak mark (row 20) and inside the picture's frame.
    return {6, 4, PanelLayout::kDisplayRect.width() - 12, 13};
}

void SpectrumDisplay::setStatus(const QString& text) {
    if (text == status_) return;
    status_ = text;
    updatePanel(statusRect());
}

int SpectrumDisplay::dashCount(float bar) {
    int count = 0;
    while (count < bar / 8) ++count;
    return count;
}

int SpectrumDisplay::peakRow(float peak) {
    return 2 * (42 - static_cast<int>(std::floor(peak)) / 8);
}

QRect SpectrumDisplay::columnRect(int column) {
    return {columnEnd(column) - 6, 0, 6, PanelLayout::kDisplayRect.height()};
}

void SpectrumDisplay::updateSpectrum(const Values& energy, Map& mapOut) {
    for (int i = 0; i < kChannels; ++i) {
        mapOut[at(i)] = map_[at(i)];
        // A negative or NaN value (which no square root can show) reads as silence; a NaN kept
        // here would stay in the peak for good.
        const double e = energy[at(i)];
        const double height = e > 0 ? std::min(2 * std::sqrt(e), double(kBarLimit)) : 0.0;
        bar_[at(i)] = static_cast<float>(height);
        peak_[at(i)] = kSmoothing * peak_[at(i)] + (1.0f - kSmoothing) * bar_[at(i)];

        const int dashes = dashCount(bar_[at(i)]);
        const int row = peakRow(peak_[at(i)]);
        if (dashes == shownDashes_[at(i)] && row == shownPeakRow_[at(i)]) continue;
        shownDashes_[at(i)] = dashes;
        shownPeakRow_[at(i)] = row;
        if (!mapMode_) updatePanel(columnRect(i));
    }
}

void SpectrumDisplay::setMapMode(bool on) {
    editing_ = false;
    if (on == mapMode_) return;
    mapMode_ = on;
    update();
}

void SpectrumDisplay::setMap(const Map& map) {
    for (int i = 0; i < kChannels; ++i) {
        const int entry = std::clamp(map[at(i)], 0, kLastColumn);
        if (entry == map_[at(i)]) continue;
        map_[at(i)] = entry;
        if (mapMode_) updatePanel(columnRect(i));
    }
}

void SpectrumDisplay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal ratio = beginPanelPaint(painter);
    painter.drawPixmap(0, 0, Skin::pixmap(SkinImage::SpectrumBackground, ratio));
    for (int i = 0; i < kChannels; ++i) {
        if (mapMode_) {
            painter.fillRect(markAt(i, mapRow(map_[at(i)])), i == selected_ ? kRed : kYellow);
            continue;
        }
        for (int n = 0; n < shownDashes_[at(i)]; ++n) painter.fillRect(markAt(i, 84 - 2 * n), kYellow);
        painter.fillRect(markAt(i, shownPeakRow_[at(i)]), kRed);
    }
    if (!status_.isEmpty()) {
        QFont font = painter.font();
        font.setPixelSize(10);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(kStatusColour);
        painter.drawText(statusRect(), Qt::AlignCenter, status_);
    }
}

void SpectrumDisplay::mousePressEvent(QMouseEvent* event) {
    if (!mapMode_ || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // A click beside the columns takes the nearest one.
    const int column = std::clamp((panelPoint(event->position()).x() - 17) / 8, 0, kLastColumn);
    editing_ = true;
    if (column != selected_) {
        updatePanel(columnRect(selected_));
        updatePanel(columnRect(column));
        selected_ = column;
    }
    event->accept();
}

void SpectrumDisplay::mouseMoveEvent(QMouseEvent* event) {
    if (!mapMode_ || !editing_) {
        event->ignore();
        return;
    }
    editAt(panelPoint(event->position()).y());
    event->accept();
}

void SpectrumDisplay::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !editing_) {
        event->ignore();
        return;
    }
    editing_ = false;
    event->accept();
}

void SpectrumDisplay::editAt(int y) {
    // A drag above the top row or below the bottom one holds the entry at 17 or 0.
    const int entry = std::clamp((86 - y) / 4, 0, kLastColumn);
    if (entry == map_[at(selected_)]) return;
    map_[at(selected_)] = entry;
    updatePanel(columnRect(selected_));
    Q_EMIT mapEdited();
}
