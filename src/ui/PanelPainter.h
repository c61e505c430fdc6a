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

    void paint(QPainter& painter, const ControlModel& model) const;

    // The legends are printed in a warm ivory, the colour of silk-screened lettering on dark
    // anodised metal; a dark shadow one pixel down and right keeps them sharp on the brushed
    // texture.
    static QColor captionColour() { return {232, 222, 196}; }
    static QColor captionShadowColour() { return {0, 0, 0, 150}; }
    static QFont captionFont();

private:
    void paintSkin(QPainter& painter) const;
    void paintText(QPainter& painter, QPoint topLeft, const QString& text) const;
    void paintRules(QPainter& painter) const;

    QFont font_;
};
