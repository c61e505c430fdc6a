#pragma once

#include <QEvent>
#include <QPaintEvent>
#include <QRegion>
#include <QWidget>

// Counts the paint events a widget receives and collects the area they cover.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }

    int count() const { return count_; }
    const QRegion& region() const { return region_; }
    void reset() {
        count_ = 0;
        region_ = QRegion();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count_;
            region_ += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }

private:
    int count_ = 0;
    QRegion region_;
};
