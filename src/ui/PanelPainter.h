#pragma once

#include "core/ControlModel.h"

#include <QColor>
#include <QFont>

class QPainter;

// Paints the panel behind the widgets: the brushed-metal tiles, the two rack strips, the
// title plate, every button caption and slider name, the two section titles and the rules
// under "CHANNEL OPERATIONS". The window calls it from its paintEvent with the painter's clip
// set to what needs repainting.
// Thread: window.
class PanelPainter {
public:
    PanelPainter();

    // `mapMode`: the display shows the channel map, and its heading says so. `pixelRatio`:
    // device pixels per panel pixel (the zoom times the screen's ratio).
    void paint(QPainter& painter, const ControlModel& model, bool mapMode, qreal pixelRatio) const;

    static QString displayHeading(bool mapMode);
    // How wide a caption or slider name is drawn: as the font makes it, or squeezed into
    // the room between its neighbours.
    qreal captionWidth(const QString& text) const;

    // The legends are printed in a warm ivory, the colour of silk-screened lettering on dark
    // anodised metal; a dark shadow one pixel down and right keeps them sharp on the brushed
    // texture.
    static QColor captionColour() { return {232, 222, 196}; }
    static QColor captionShadowColour() { return {0, 0, 0, 150}; }
    static QFont captionFont();

private:
    void paintSkin(QPainter& painter, qreal pixelRatio) const;
    // `room` 0: as wide as the text is.
    void paintText(QPainter& painter, QPoint topLeft, const QString& text, int room = 0) const;
    void paintRules(QPainter& painter) const;

    QFont font_;
};
