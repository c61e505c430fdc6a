#include "core/ControlModel.h"
#include "core/VocoderCore.h"
#include "ui/PanelLayout.h"
#include "ui/PanelPainter.h"
#include "ui/Skin.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <vector>

namespace {

// ---- Layout ---------------------------------------------------------------------------------

TEST(PanelLayoutTest, ButtonsSitInTheRowsOfThePanel) {
    struct Expected {
        ControlId id;
        QPoint at;
    };
    // One button from each stretch of the rows, as the panel shows them.
    const std::vector<Expected> expected{
        {control::Rec, {320, 20}},           {control::Help, {568, 20}},
        {control::DisplayMode, {41, 60}},    {control::SaveSettings, {568, 60}},
        {control::NarrowFilter, {444, 100}}, {control::InputMR, {568, 100}},
        {control::NormalFilter, {444, 140}}, {control::ExternalCarrier, {568, 140}},
        {control::WideFilter, {444, 180}},   {control::NoiseCarrier, {568, 180}},
        {control::LevelBank, {41, 235}},     {control::WarpBank, {289, 235}},
        {control::Preset1, {351, 235}},      {control::SlaveMove, {475, 235}},
        {control::MidiSettings, {537, 235}}, {control::AudioSettings, {568, 235}},
    };
    for (const Expected& e : expected)
        EXPECT_EQ(PanelLayout::buttonPosition(buttonIndexOf(e.id)), e.at) << controlInfo(e.id).name;
}

TEST(PanelLayoutTest, NoTwoWidgetsOverlapAndAllLieOnThePanel) {
    std::vector<QRect> rects;
    for (int b = 0; b < kButtonCount; ++b) rects.push_back(PanelLayout::buttonRect(b));
    for (int s = 0; s < kSliderCount; ++s) rects.push_back(PanelLayout::sliderRect(s));
    rects.push_back(PanelLayout::kDisplayRect);
    const QRect panel(QPoint(0, 0), PanelLayout::kPanelSize);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        EXPECT_TRUE(panel.contains(rects[i])) << i;
        for (std::size_t j = i + 1; j < rects.size(); ++j)
            EXPECT_FALSE(rects[i].intersects(rects[j])) << i << " " << j;
    }
}

// ---- Painting -------------------------------------------------------------------------------

QImage paintPanel(const ControlModel& model, qreal ratio = 1.0) {
    QImage image(PanelLayout::kPanelSize * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PanelPainter().paint(painter, model, false, ratio);
    return image;
}

bool isCaptionColoured(QColor c) {
    const QColor caption = PanelPainter::captionColour();
    return std::abs(c.red() - caption.red()) < 12 && std::abs(c.green() - caption.green()) < 12 &&
           std::abs(c.blue() - caption.blue()) < 12;
}

int captionPixelsIn(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) count += isCaptionColoured(image.pixelColor(x, y));
    return count;
}

class Panel : public ::testing::Test {
protected:
    VocoderCore core;
};

TEST_F(Panel, EveryPixelOfThePanelIsPaintedOpaque) {
    const QImage image = paintPanel(core.controls);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ASSERT_EQ(qAlpha(image.pixel(x, y)), 255) << x << "," << y;
}

TEST_F(Panel, EachCaptionIsPaintedAboveItsControlInTheCaptionColour) {
    const QImage image = paintPanel(core.controls);
    for (int b = 0; b < kButtonCount; ++b)
        EXPECT_GT(captionPixelsIn(image, PanelLayout::buttonCaptionArea(b)), 8) << core.controls.caption(b);
    for (int s = 0; s < kSliderCount; ++s) {
        const QRect nameArea(PanelLayout::sliderNameOrigin(s), QSize(30, 12));
        EXPECT_GT(captionPixelsIn(image, nameArea), 8) << controlInfo(controlIdOfSlider(s)).label;
    }
}

TEST_F(Panel, ACaptionChangeRepaintsInsideTheCaptionAreaOnly) {
    const int preset = buttonIndexOf(control::Preset1);
    const QImage before = paintPanel(core.controls);
    core.controls.setCaption(preset, "Hollow Moon");
    const QImage after = paintPanel(core.controls);

    const QRect area = PanelLayout::buttonCaptionArea(preset);
    int changed = 0;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            if (before.pixel(x, y) == after.pixel(x, y)) continue;
            ++changed;
            ASSERT_TRUE(area.contains(x, y)) << x << "," << y;
        }
    }
    EXPECT_GT(changed, 0);
}

TEST_F(Panel, TheRulesAreEngravedGroovesDarkAboveAndLitBelow) {
    const QImage image = paintPanel(core.controls);
    for (const int x : {45, 150, 250, 385, 500, 589}) {
        const QColor upper = image.pixelColor(x, 210);
        const QColor lower = image.pixelColor(x, 211);
        const QColor panel = image.pixelColor(x, 214);
        EXPECT_LT(upper.lightness(), panel.lightness()) << x;
        EXPECT_GT(lower.lightness(), panel.lightness()) << x;
    }
    // The lower right rule starts further left than the upper one.
    EXPECT_GT(image.pixelColor(380, 211).lightness(), image.pixelColor(380, 214).lightness());
}

TEST_F(Panel, TheSectionTitlesArePainted) {
    const QImage image = paintPanel(core.controls);
    EXPECT_GT(captionPixelsIn(image, QRect(262, 84, 160, 11)), 40);
    EXPECT_GT(captionPixelsIn(image, QRect(260, 204, 100, 11)), 40);
}

// "CGain" and "MGain", "ETime" and "Regen" must not read as one word, whatever width the
// font has; and a channel's frequency must not read as the caption of the button above it.
TEST_F(Panel, NeighbouringCaptionsLeaveAGapAndNoFrequencySitsUnderAButton) {
    const PanelPainter painter;
    auto text = [](std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); };
    for (int b = 0; b + 1 < kButtonCount; ++b) {
        const QPoint here = PanelLayout::buttonCaptionOrigin(b);
        const QPoint next = PanelLayout::buttonCaptionOrigin(b + 1);
        if (here.y() != next.y() || next.x() - here.x() != 31) continue;
        EXPECT_LT(here.x() + painter.captionWidth(text(core.controls.caption(b))), next.x())
            << core.controls.caption(b) << core.controls.caption(b + 1);
    }
    for (int s = 0; s + 1 < kSliderCount; ++s) {
        const QPoint here = PanelLayout::sliderNameOrigin(s);
        const QPoint next = PanelLayout::sliderNameOrigin(s + 1);
        if (here.y() != next.y()) continue;
        EXPECT_LT(here.x() + painter.captionWidth(text(controlInfo(controlIdOfSlider(s)).label)), next.x()) << s;
    }
    for (int s = 0; s < kChannels; ++s) {
        // Nothing but its own slider within a line's height above the name.
        const QRect name(PanelLayout::sliderNameOrigin(s), QSize(30, 12));
        const QRect above = name.translated(0, -12);
        for (int b = 0; b < kButtonCount; ++b)
            EXPECT_FALSE(PanelLayout::buttonRect(b).intersects(above.united(name))) << s << " " << b;
    }
}

// ---- The skin -------------------------------------------------------------------------------

TEST(SkinTest, EveryPictureLoadsAtItsLogicalSizeAtBothScales) {
    for (const SkinImageInfo& info : kSkinImages) {
        const QSize logical(info.width, info.height);
        const QPixmap normal = Skin::pixmap(info.image, 1.0);
        ASSERT_FALSE(normal.isNull()) << info.name;
        EXPECT_EQ(normal.size(), logical) << info.name;
        EXPECT_EQ(normal.deviceIndependentSize().toSize(), logical) << info.name;

        const QPixmap sharp = Skin::pixmap(info.image, 2.0);
        ASSERT_FALSE(sharp.isNull()) << info.name;
        EXPECT_EQ(sharp.deviceIndependentSize().toSize(), logical) << info.name;
        if (info.hasDoubleSize) {
            EXPECT_EQ(sharp.size(), logical * 2) << info.name;
        }
    }
}

TEST(SkinTest, TheThumbsDifferOnlyInsideTheLampStripe) {
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage off = Skin::pixmap(SkinImage::Thumb, ratio).toImage();
        const QImage on = Skin::pixmap(SkinImage::ThumbLamp, ratio).toImage();
        ASSERT_EQ(off.size(), on.size());
        const QRectF stripe(kThumbLampLeft * ratio, kThumbLampTop * ratio, kThumbLampWidth * ratio,
                            kThumbLampHeight * ratio);
        int inside = 0;
        for (int y = 0; y < off.height(); ++y) {
            for (int x = 0; x < off.width(); ++x) {
                if (off.pixel(x, y) == on.pixel(x, y)) continue;
                ASSERT_TRUE(stripe.contains(QPointF(x + 0.5, y + 0.5))) << ratio << ": " << x << "," << y;
                ++inside;
            }
        }
        EXPECT_GT(inside, 0) << ratio;
    }
}

TEST(SkinTest, TheLampsOnTheButtonsGlowAmber) {
    const QImage on = Skin::pixmap(SkinImage::LampOn, 1.0).toImage();
    const QImage off = Skin::pixmap(SkinImage::LampOff, 1.0).toImage();
    const QColor lit = on.pixelColor(12, 9);
    const QColor dark = off.pixelColor(12, 9);
    EXPECT_GT(lit.red(), 200);
    EXPECT_GT(lit.green(), lit.blue() + 40);
    EXPECT_GT(lit.lightness(), dark.lightness() + 80);
}

TEST(SkinTest, TheProgramIconHasItsLargeSize) {
    const QIcon icon = Skin::programIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes().value(0), QSize(256, 256));
}

} // namespace
