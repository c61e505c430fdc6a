#include "SkinPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <array>
#include <cstdint>

namespace {

// ---- Texture and light ---------------------------------------------------------------------

// A small fixed pseudo-random sequence (xorshift32): the same seed gives the same texture on
// every machine and at every scale.
double nextUniform(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return double(state) / 4294967296.0;
}

QColor white(int alpha) {
    return {255, 255, 255, alpha};
}
QColor black(int alpha) {
    return {0, 0, 0, alpha};
}

// Dark metal brushed left to right: a gradient from top to bottom (the light comes from above),
// faint full-width grain and short streaks. With `wrap`, streaks leaving the right edge come in
// at the left, so copies placed side by side join without a seam.
void brushedMetal(QPainter& p, const QRectF& area, const QColor& top, const QColor& bottom,
                  std::uint32_t seed, bool wrap) {
    QLinearGradient shade(area.topLeft(), area.bottomLeft());
    shade.setColorAt(0, top);
    shade.setColorAt(1, bottom);
    p.fillRect(area, shade);

    p.save();
    p.setClipRect(area);
    std::uint32_t state = seed;
    for (double y = area.top(); y < area.bottom(); y += 0.5) {
        const double grain = nextUniform(state);
        const int alpha = int(nextUniform(state) * 7);
        p.fillRect(QRectF(area.left(), y, area.width(), 0.5), grain < 0.5 ? white(alpha) : black(alpha + 2));
    }
    const int streaks = int(area.width() * area.height() / 10);
    for (int i = 0; i < streaks; ++i) {
        const double y = area.top() + nextUniform(state) * area.height();
        const double x = area.left() + nextUniform(state) * area.width();
        const double length = 6 + nextUniform(state) * 30;
        const bool light = nextUniform(state) < 0.45;
        const int alpha = 6 + int(nextUniform(state) * 14);
        const QColor colour = light ? white(alpha) : black(alpha + 6);
        p.fillRect(QRectF(x, y, length, 0.5), colour);
        if (wrap && x + length > area.right()) p.fillRect(QRectF(x - area.width(), y, length, 0.5), colour);
    }
    p.restore();
}

// One-pixel edges: a raised face is lit on its top and left edges and shaded on the others;
// a recess the other way round.
void bevel(QPainter& p, const QRectF& r, const QColor& topLeft, const QColor& bottomRight) {
    p.fillRect(QRectF(r.left(), r.top(), r.width(), 1), topLeft);
    p.fillRect(QRectF(r.left(), r.top() + 1, 1, r.height() - 1), topLeft);
    p.fillRect(QRectF(r.left() + 1, r.bottom() - 1, r.width() - 1, 1), bottomRight);
    p.fillRect(QRectF(r.right() - 1, r.top() + 1, 1, r.height() - 2), bottomRight);
}

// A rounded outline lit from the top left: `from` at the top-left corner fading to `to`.
void litOutline(QPainter& p, const QPainterPath& path, const QColor& from, const QColor& to, double width) {
    const QRectF box = path.boundingRect();
    QLinearGradient light(box.topLeft(), box.bottomRight());
    light.setColorAt(0, from);
    light.setColorAt(1, to);
    p.strokePath(path, QPen(QBrush(light), width));
}

QPainterPath rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// A cross-head screw in a countersunk hole.
void screw(QPainter& p, QPointF centre, double radius) {
    const QRectF hole(centre.x() - radius - 1, centre.y() - radius - 1, 2 * radius + 2, 2 * radius + 2);
    p.setPen(Qt::NoPen);
    p.setBrush(black(200));
    p.drawEllipse(hole);
    QLinearGradient head(hole.topLeft(), hole.bottomRight());
    head.setColorAt(0, QColor(214, 217, 222));
    head.setColorAt(0.5, QColor(140, 144, 150));
    head.setColorAt(1, QColor(70, 73, 78));
    p.setBrush(head);
    p.drawEllipse(centre, radius, radius);
    const double arm = radius * 0.6;
    QPen slot(black(190), radius * 0.28, Qt::SolidLine, Qt::FlatCap);
    p.setPen(slot);
    p.drawLine(centre - QPointF(arm, 0), centre + QPointF(arm, 0));
    p.drawLine(centre - QPointF(0, arm), centre + QPointF(0, arm));
    p.setPen(QPen(white(70), radius * 0.18, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(centre + QPointF(-arm, radius * 0.2), centre + QPointF(arm, radius * 0.2));
}

// Amber lamp glass, lit or dark, inside `r`.
void amberGlass(QPainter& p, const QRectF& r, bool lit) {
    QPainterPath glass = rounded(r, 1.5);
    if (lit) {
        QRadialGradient glow(r.center(), r.width() * 0.62);
        glow.setColorAt(0, QColor(255, 247, 214));
        glow.setColorAt(0.42, QColor(255, 196, 72));
        glow.setColorAt(0.8, QColor(255, 140, 10));
        glow.setColorAt(1, QColor(196, 86, 0));
        p.fillPath(glass, glow);
    } else {
        QLinearGradient dark(r.topLeft(), r.bottomLeft());
        dark.setColorAt(0, QColor(62, 40, 12));
        dark.setColorAt(1, QColor(30, 19, 6));
        p.fillPath(glass, dark);
    }
    // The reflection of the room light on the glass.
    p.fillRect(QRectF(r.left() + 1.5, r.top() + 1, r.width() - 3, 1), white(lit ? 90 : 30));
    litOutline(p, rounded(r.adjusted(-0.5, -0.5, 0.5, 0.5), 2), black(220), black(110), 1);
}

// ---- Lettering ------------------------------------------------------------------------------

QFont dejaVu(double pixelSize, bool bold, bool condensed, double spacing) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(pixelSize));
    font.setBold(bold);
    if (condensed) font.setStretch(QFont::Condensed);
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// ---- The spectrum look, shared by the display and the icon ----------------------------------

void glass(QPainter& p, const QRectF& r, double radius) {
    const QPainterPath pane = rounded(r, radius);
    QLinearGradient tint(r.topLeft(), r.bottomLeft());
    tint.setColorAt(0, QColor(9, 19, 17));
    tint.setColorAt(1, QColor(4, 9, 9));
    p.fillPath(pane, tint);
    // Lit from the top left, the sheet of glass shows a faint diagonal reflection.
    QLinearGradient sheen(r.topLeft(), r.topLeft() + QPointF(r.width() * 0.55, r.height() * 0.7));
    sheen.setColorAt(0, white(20));
    sheen.setColorAt(1, white(0));
    p.fillPath(pane, sheen);
}

} // namespace

void SkinPainter::paint(SkinImage image, QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    switch (image) {
    case SkinImage::PanelTile:
        return panelTile(p);
    case SkinImage::LeftStrip:
        return strip(p, true);
    case SkinImage::RightStrip:
        return strip(p, false);
    case SkinImage::Title:
        return title(p);
    case SkinImage::LampOn:
    case SkinImage::LampOff:
    case SkinImage::PushFace:
        return buttonFace(p, image);
    case SkinImage::Thumb:
        return thumb(p, false);
    case SkinImage::ThumbLamp:
        return thumb(p, true);
    case SkinImage::ShortTrack:
        return track(p, skinImageInfo(image).height);
    case SkinImage::TallTrack:
        return track(p, skinImageInfo(image).height);
    case SkinImage::TrackFoot:
        return trackFoot(p);
    case SkinImage::SpectrumBackground:
        return spectrumBackground(p);
    case SkinImage::ProgramIcon:
        return programIcon(p);
    }
}

void SkinPainter::panelTile(QPainter& p) {
    const QRectF all(0, 0, 64, 480);
    brushedMetal(p, all, QColor(54, 57, 62), QColor(36, 38, 42), 0x5eed0001u, true);
    // The panel's own top and bottom edges: a lit chamfer above, a shadowed one below.
    p.fillRect(QRectF(0, 0, 64, 1), white(80));
    p.fillRect(QRectF(0, 1, 64, 1), white(28));
    p.fillRect(QRectF(0, 478, 64, 1), black(70));
    p.fillRect(QRectF(0, 479, 64, 1), black(170));
}

void SkinPainter::strip(QPainter& p, bool left) {
    // The rack ears: darker anodised metal with the mounting slots and their screws.
    const QRectF all(0, 0, 32, 480);
    brushedMetal(p, all, QColor(40, 42, 46), QColor(24, 25, 28), left ? 0x5eed0002u : 0x5eed0003u, false);
    p.fillRect(QRectF(0, 0, 32, 1), white(70));
    p.fillRect(QRectF(0, 479, 32, 1), black(170));
    if (left) {
        p.fillRect(QRectF(0, 0, 1, 480), white(45));   // the outer edge faces the light
        p.fillRect(QRectF(30, 0, 1, 480), black(190)); // the joint with the panel: a groove
        p.fillRect(QRectF(31, 0, 1, 480), white(30));
    } else {
        p.fillRect(QRectF(0, 0, 1, 480), black(190));
        p.fillRect(QRectF(1, 0, 1, 480), white(30));
        p.fillRect(QRectF(31, 0, 1, 480), black(140));
    }
    for (const double y : {36.0, 444.0}) {
        const QRectF slot(7, y - 6, 18, 12);
        const QPainterPath hole = rounded(slot, 6);
        p.fillPath(hole, QColor(6, 6, 7));
        litOutline(p, hole, black(230), white(70), 1);
        screw(p, QPointF(16, y), 4.2);
    }
}

void SkinPainter::title(QPainter& p) {
    // A black name plate set into the panel.
    const QRectF plate(0.5, 0.5, 269, 29);
    QLinearGradient face(plate.topLeft(), plate.bottomLeft());
    face.setColorAt(0, QColor(12, 13, 15));
    face.setColorAt(1, QColor(24, 26, 29));
    p.fillPath(rounded(plate, 3), face);
    litOutline(p, rounded(plate, 3), black(255), white(80), 1);

    constexpr double kBaseline = 22;
    const QFont nameFont = dejaVu(20, true, false, 2.2);
    const QString name = QStringLiteral("QUORVEL");
    QPainterPath letters;
    letters.addText(QPointF(11, kBaseline), nameFont, name);
    QLinearGradient silver(QPointF(0, 7), QPointF(0, kBaseline));
    silver.setColorAt(0, QColor(250, 251, 252));
    silver.setColorAt(0.55, QColor(196, 200, 206));
    silver.setColorAt(1, QColor(150, 155, 162));
    p.fillPath(letters.translated(0, 1), black(220));
    p.fillPath(letters, silver);
    const double nameEnd = 11 + QFontMetricsF(nameFont).horizontalAdvance(name);

    // The power lamp between the name and the model line.
    const QPointF lamp(nameEnd + 8, kBaseline - 7);
    QRadialGradient halo(lamp, 5);
    halo.setColorAt(0, QColor(255, 170, 40, 150));
    halo.setColorAt(1, QColor(255, 120, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(lamp, 5, 5);
    QRadialGradient bulb(lamp - QPointF(0.6, 0.6), 2.2);
    bulb.setColorAt(0, QColor(255, 246, 210));
    bulb.setColorAt(1, QColor(255, 140, 0));
    p.setBrush(bulb);
    p.drawEllipse(lamp, 2, 2);

    // "18 CHANNEL VOCODER" fills the rest of the plate, letter-spaced to its right end.
    const QString model = QStringLiteral("18 CHANNEL VOCODER");
    const double start = nameEnd + 17;
    const double room = 261 - start;
    QFont modelFont = dejaVu(10, true, true, 0);
    const double plain = QFontMetricsF(modelFont).horizontalAdvance(model);
    modelFont.setLetterSpacing(QFont::AbsoluteSpacing, (room - plain) / (model.size() - 1));
    QPainterPath line;
    line.addText(QPointF(start, kBaseline), modelFont, model);
    p.fillPath(line, QColor(242, 164, 58));
}

void SkinPainter::buttonFace(QPainter& p, SkinImage face) {
    const bool push = face == SkinImage::PushFace;
    // The gap around the key, then the key cap.
    p.fillPath(rounded(QRectF(0, 0, 24, 19), 3), black(175));
    const QRectF cap(1, 1, 22, 17);
    const QPainterPath capPath = rounded(cap, 2.5);
    QLinearGradient body(cap.topLeft(), cap.bottomLeft());
    body.setColorAt(0, push ? QColor(112, 116, 124) : QColor(88, 92, 100));
    body.setColorAt(1, push ? QColor(60, 63, 69) : QColor(48, 51, 56));
    p.fillPath(capPath, body);

    p.save();
    p.setClipPath(capPath);
    if (push) {
        // A shallow dish pressed into the cap, shaded on its upper wall.
        const QRectF dish(4, 3.5, 16, 12);
        QLinearGradient dishShade(dish.topLeft(), dish.bottomLeft());
        dishShade.setColorAt(0, black(60));
        dishShade.setColorAt(1, white(18));
        p.fillPath(rounded(dish, 5), dishShade);
    } else if (face == SkinImage::LampOn) {
        QRadialGradient spill(QPointF(12, 9), 12);
        spill.setColorAt(0, QColor(255, 170, 50, 120));
        spill.setColorAt(1, QColor(255, 120, 0, 0));
        p.fillRect(cap, spill);
    }
    bevel(p, cap, white(105), black(130));
    p.restore();

    if (!push) amberGlass(p, QRectF(6, 5.5, 12, 8), face == SkinImage::LampOn);
}

void SkinPainter::thumb(QPainter& p, bool lamp) {
    // A fader cap with a crease across the middle and grip ridges above and below the lamp.
    p.fillPath(rounded(QRectF(1, 1.5, 18, 20.5), 2), black(110));
    const QRectF cap(0, 0, 18, 21);
    QLinearGradient body(cap.topLeft(), cap.bottomLeft());
    body.setColorAt(0, QColor(168, 172, 180));
    body.setColorAt(0.47, QColor(112, 116, 123));
    body.setColorAt(0.53, QColor(72, 75, 81));
    body.setColorAt(1, QColor(44, 46, 51));
    const QPainterPath capPath = rounded(cap, 2);
    p.fillPath(capPath, body);
    p.save();
    p.setClipPath(capPath);
    bevel(p, cap, white(150), black(150));
    for (const double y : {3.0, 5.0, 14.0, 16.0, 18.0}) {
        p.fillRect(QRectF(2, y, 14, 1), black(80));
        p.fillRect(QRectF(2, y + 1, 14, 0.5), white(55));
    }
    p.restore();

    // Only the stripe differs between the two pictures, so lighting the lamp repaints just it.
    const QRectF stripe(kThumbLampLeft, kThumbLampTop, kThumbLampWidth, kThumbLampHeight);
    p.save();
    p.setClipRect(stripe);
    if (lamp) {
        QLinearGradient red(stripe.topLeft(), stripe.bottomLeft());
        red.setColorAt(0, QColor(255, 70, 40));
        red.setColorAt(0.5, QColor(255, 214, 196));
        red.setColorAt(1, QColor(220, 24, 8));
        p.fillRect(stripe, red);
    } else {
        QLinearGradient dark(stripe.topLeft(), stripe.bottomLeft());
        dark.setColorAt(0, QColor(24, 6, 5));
        dark.setColorAt(1, QColor(64, 14, 10));
        p.fillRect(stripe, dark);
    }
    p.restore();
}

void SkinPainter::track(QPainter& p, int height) {
    // The slot the thumb runs in and a scale beside it, on a transparent ground so the panel
    // shows through. The thumb's centre runs from row 19 (top value) to row range + 18.
    const int range = height == 100 ? 64 : 128;
    const double top = 19 - 7;
    const double bottom = range + 18 + 7;
    const QRectF slot(16, top, 3, bottom - top);
    p.fillRect(slot, QColor(5, 5, 6));
    p.fillRect(QRectF(15, top - 1, 1, bottom - top + 1), black(130));
    p.fillRect(QRectF(16, top - 1, 3, 1), black(150));
    p.fillRect(QRectF(19, top, 1, bottom - top + 1), white(50));
    p.fillRect(QRectF(15, bottom, 4, 1), white(45));

    const QColor tick(232, 222, 196, 170);
    for (int k = 0; k <= 8; ++k) {
        const int value = k == 8 ? range - 1 : k * range / 8;
        const double y = range - value + 18;
        const bool major = k % 4 == 0;
        const QRectF leftTick(major ? 1 : 3, y, major ? 6 : 4, 1);
        p.fillRect(leftTick.translated(0, 1), black(110));
        p.fillRect(leftTick, major ? QColor(232, 222, 196, 220) : tick);
    }
}

void SkinPainter::trackFoot(QPainter& p) {
    // Below the scale: the screw that holds the fader rail, and an engraved line closing it.
    screw(p, QPointF(17.5, 7), 2.6);
    p.fillRect(QRectF(4, 14, 24, 1), black(150));
    p.fillRect(QRectF(4, 15, 24, 1), white(40));
}

void SkinPainter::spectrumBackground(QPainter& p) {
    // A dark screen set into the panel behind a brushed frame.
    p.fillRect(QRectF(0, 0, 178, 102), QColor(30, 32, 35));
    brushedMetal(p, QRectF(1, 1, 176, 100), QColor(50, 53, 58), QColor(30, 32, 36), 0x5eed0009u, false);
    bevel(p, QRectF(0, 0, 178, 102), QColor(10, 11, 13), QColor(96, 100, 108));
    bevel(p, QRectF(1, 1, 176, 100), white(40), black(90));

    const QRectF screen(5, 5, 168, 92);
    p.fillRect(screen, QColor(2, 3, 3));
    glass(p, screen.adjusted(1, 1, -1, -1), 0);
    bevel(p, screen, black(230), white(60));

    // A faint graticule: every eighth of the full bar height, and a mark under each column.
    p.save();
    p.setClipRect(screen.adjusted(1, 1, -1, -1));
    for (int y = 20; y <= 84; y += 16) p.fillRect(QRectF(8, y, 162, 1), QColor(22, 44, 39, 150));
    for (int i = 0; i < 18; ++i) p.fillRect(QRectF(18 + 8 * i, 89, 6, 1), QColor(40, 84, 74));
    p.restore();
}

void SkinPainter::programIcon(QPainter& p) {
    const QRectF body(8, 8, 240, 240);
    const QPainterPath bodyPath = rounded(body, 44);
    p.fillPath(bodyPath.translated(0, 4), black(90));
    p.save();
    p.setClipPath(bodyPath);
    brushedMetal(p, body, QColor(74, 78, 85), QColor(34, 36, 40), 0x5eed000bu, false);
    p.restore();
    litOutline(p, bodyPath, white(150), black(200), 3);

    // The screen with a spectrum drawn the way the display draws it: dashes and a red peak.
    const QRectF screen(34, 40, 188, 136);
    p.fillPath(rounded(screen, 12), QColor(2, 3, 3));
    glass(p, screen.adjusted(3, 3, -3, -3), 10);
    litOutline(p, rounded(screen, 12), black(240), white(110), 2.5);
    constexpr std::array<int, 9> kHeights{6, 11, 15, 12, 14, 10, 8, 12, 5};
    for (std::size_t k = 0; k < kHeights.size(); ++k) {
        const double x = 52 + 18.5 * double(k);
        for (int n = 0; n < kHeights[k]; ++n) p.fillRect(QRectF(x, 158 - 7 * n, 13, 4), QColor(255, 255, 0));
        p.fillRect(QRectF(x, 158 - 7 * (kHeights[k] + 1), 13, 4), QColor(255, 0, 0));
    }

    // Three panel lamps under the screen.
    for (int i = 0; i < 3; ++i) {
        const QRectF cap(54 + 54 * i, 194, 40, 30);
        p.fillPath(rounded(cap.adjusted(-2, -2, 2, 2), 6), black(170));
        QLinearGradient shade(cap.topLeft(), cap.bottomLeft());
        shade.setColorAt(0, QColor(98, 102, 110));
        shade.setColorAt(1, QColor(48, 51, 56));
        p.fillPath(rounded(cap, 5), shade);
        litOutline(p, rounded(cap, 5), white(130), black(150), 1.5);
        const QRectF lamp = cap.adjusted(9, 8, -9, -8);
        const bool lit = i != 1;
        if (lit) {
            QRadialGradient glow(lamp.center(), 24);
            glow.setColorAt(0, QColor(255, 170, 50, 150));
            glow.setColorAt(1, QColor(255, 120, 0, 0));
            p.fillPath(rounded(cap, 5), glow);
        }
        amberGlass(p, lamp, lit);
    }
}
