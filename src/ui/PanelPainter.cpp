#include "ui/PanelPainter.h"

#include "ui/PanelLayout.h"
#include "ui/Skin.h"

#include <QFontMetricsF>
#include <QPainter>
#include <array>

namespace {

struct PanelText {
    QPoint topLeft;
    const char* text;
};
constexpr PanelText kOperationsTitle{{260, 204}, "CHANNEL OPERATIONS"};

// The rules under "CHANNEL OPERATIONS", end points excluded. Each pair is one engraved groove:
// the upper row is its shadowed wall, the lower row the lit one.
struct Rule {
    int left;
    int right;
    int y;
    bool litWall;
};
constexpr std::array<Rule, 4> kRules{{
    {45, 251, 210, false},
    {45, 251, 211, true},
    {385, 590, 210, false},
    {370, 590, 211, true},
}};
const QColor kGrooveShadow{8, 9, 11};
const QColor kGrooveLight{112, 116, 124};

// Under everything: the right strip ends one column short of the window's edge.
const QColor kPanelEdge{22, 23, 26};

constexpr int kTileLeft = 32;
constexpr int kTileWidth = 64;
constexpr int kLastTileLeft = 544;
constexpr QPoint kTitleAt{40, 10};
constexpr QPoint kLeftStripAt{0, 0};
constexpr QPoint kRightStripAt{607, 0};

} // namespace

PanelPainter::PanelPainter() : font_(captionFont()) {}

QFont PanelPainter::captionFont() {
    // The panel's captions stand 31 pixels apart; the condensed cut keeps neighbours such as
    // "MGain" and " Sibil" or "Chor1" and "Chor2" from running into each other.
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(10);
    font.setBold(true);
    return font;
}

QString PanelPainter::displayHeading(bool mapMode) {
    return mapMode ? QStringLiteral(" CHANNEL MAP") : QStringLiteral(" MODULATOR SIGNAL SPECTRUM");
}

qreal PanelPainter::captionWidth(const QString& text) const {
    return std::min<qreal>(QFontMetricsF(font_).horizontalAdvance(text), PanelLayout::kCaptionRoom);
}

void PanelPainter::paint(QPainter& painter, const ControlModel& model, bool mapMode, qreal pixelRatio) const {
    painter.save();
    paintSkin(painter, pixelRatio);
    // The rules go under the text: with this font "CHANNEL OPERATIONS" reaches past the point
    // where the right-hand rules begin, and a rule across its last letters would hide them.
    paintRules(painter);

    painter.setFont(font_);
    painter.setBackgroundMode(Qt::TransparentMode);
    for (int b = 0; b < kButtonCount; ++b)
        paintText(painter, PanelLayout::buttonCaptionOrigin(b), QString::fromStdString(model.caption(b)),
                  PanelLayout::kCaptionRoom);
    paintText(painter, PanelLayout::kDisplayHeadingOrigin, displayHeading(mapMode));
    paintText(painter, kOperationsTitle.topLeft, QString::fromLatin1(kOperationsTitle.text));
    for (int s = 0; s < kSliderCount; ++s) {
        const std::string_view name = controlInfo(controlIdOfSlider(s)).label;
        paintText(painter, PanelLayout::sliderNameOrigin(s),
                  QString::fromLatin1(name.data(), qsizetype(name.size())), PanelLayout::kCaptionRoom);
    }
    painter.restore();
}

void PanelPainter::paintSkin(QPainter& painter, qreal ratio) const {
    painter.fillRect(QRect(QPoint(0, 0), PanelLayout::kPanelSize), kPanelEdge);
    const QPixmap tile = Skin::pixmap(SkinImage::PanelTile, ratio);
    for (int x = kTileLeft; x <= kLastTileLeft; x += kTileWidth) painter.drawPixmap(x, 0, tile);
    painter.drawPixmap(kTitleAt, Skin::pixmap(SkinImage::Title, ratio));
    painter.drawPixmap(kLeftStripAt, Skin::pixmap(SkinImage::LeftStrip, ratio));
    painter.drawPixmap(kRightStripAt, Skin::pixmap(SkinImage::RightStrip, ratio));
}

void PanelPainter::paintText(QPainter& painter, QPoint topLeft, const QString& text, int room) const {
    // The point is the top-left of the text's line box, not its baseline.
    const QPointF baseline = topLeft + QPoint(0, painter.fontMetrics().ascent());
    const qreal width = QFontMetricsF(font_).horizontalAdvance(text);
    // Where the font's own width would run into the neighbour's, the text is narrowed
    // rather than cut: every letter stays.
    const qreal squeeze = room > 0 && width > room ? room / width : 1.0;
    painter.save();
    painter.translate(baseline);
    painter.scale(squeeze, 1.0);
    painter.setPen(captionShadowColour());
    painter.drawText(QPointF(1, 1), text);
    painter.setPen(captionColour());
    painter.drawText(QPointF(0, 0), text);
    painter.restore();
}

void PanelPainter::paintRules(QPainter& painter) const {
    for (const Rule& rule : kRules)
        painter.fillRect(QRect(rule.left, rule.y, rule.right - rule.left, 1),
                         rule.litWall ? kGrooveLight : kGrooveShadow);
}
