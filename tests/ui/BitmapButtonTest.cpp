#include "PaintCounter.h"
#include "PanelFixture.h"
#include "ui/Skin.h"

#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <memory>

namespace {

using Buttons = PanelFixture;

QImage rendered(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QImage face(SkinImage image) {
    QImage picture(skinImageInfo(image).width, skinImageInfo(image).height,
                   QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, Skin::pixmap(image, 1.0));
    return picture;
}

// Records the keys that reach the window.
class KeyRecorder : public QObject {
public:
    std::vector<int> keys;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) keys.push_back(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

// ---- Clicks ---------------------------------------------------------------------------------

TEST_F(Buttons, ClickingEnhEmitsItsCommandAndTheDispatchLightsItsLamp) {
    ASSERT_FALSE(core.controls.litControl(control::Enhance));
    BitmapButton& enh = button(control::Enhance);
    EXPECT_EQ(rendered(enh), face(SkinImage::LampOff));

    QTest::mouseClick(&enh, Qt::LeftButton);

    EXPECT_EQ(clicked, std::vector<int>{enh.commandId()});
    EXPECT_EQ(enh.commandId(), kCommandFirst + buttonIndexOf(control::Enhance));
    EXPECT_TRUE(core.controls.litControl(control::Enhance));
    EXPECT_TRUE(core.state.enhanceOn);
    EXPECT_EQ(rendered(enh), face(SkinImage::LampOn));
}

TEST_F(Buttons, PushButtonsShowTheirFaceWhateverTheirLampSays) {
    BitmapButton& load = button(control::LoadSettings);
    EXPECT_EQ(rendered(load), face(SkinImage::PushFace));
}

TEST_F(Buttons, ADoubleClickSendsOneClickAndThenOneDoubleClick) {
    BitmapButton& pcar = button(control::PlayCarrier);
    const QPoint centre = pcar.rect().center();
    QTest::mousePress(&pcar, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(&pcar, Qt::LeftButton, {}, centre);
    QTest::mouseDClick(&pcar, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(&pcar, Qt::LeftButton, {}, centre);

    EXPECT_EQ(clicked, std::vector<int>{pcar.commandId()});
    EXPECT_EQ(doubleClicked, std::vector<int>{pcar.commandId()});
}

TEST_F(Buttons, AReleaseAwayFromTheButtonTakesThePressBack) {
    BitmapButton& enh = button(control::Enhance);
    QTest::mousePress(&enh, Qt::LeftButton, {}, enh.rect().center());
    QTest::mouseRelease(&enh, Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_TRUE(clicked.empty());
    EXPECT_FALSE(core.controls.litControl(control::Enhance));
}

TEST_F(Buttons, TheRightButtonDoesNotClick) {
    QTest::mouseClick(&button(control::Enhance), Qt::RightButton);
    EXPECT_TRUE(clicked.empty());
}

TEST_F(Buttons, AKeyPressedWhileAButtonHasTheFocusReachesTheWindowUnchanged) {
    KeyRecorder recorder;
    window.installEventFilter(&recorder);
    BitmapButton& rec = button(control::Rec);
    QTest::mouseClick(&rec, Qt::LeftButton);
    rec.setFocus();

    QTest::keyClick(&rec, Qt::Key_S);

    EXPECT_EQ(recorder.keys, std::vector<int>{Qt::Key_S});
}

// ---- Repainting -----------------------------------------------------------------------------

TEST_F(Buttons, RefreshRepaintsOnlyTheButtonsWhoseLampChanged) {
    std::vector<std::unique_ptr<PaintCounter>> counters;
    for (BitmapButton* b : buttons) counters.push_back(std::make_unique<PaintCounter>(b));
    std::array<bool, kButtonCount> before{};
    for (int b = 0; b < kButtonCount; ++b) before[static_cast<std::size_t>(b)] = core.controls.lit(b);

    // A carrier change: one lamp of the group goes out, another comes on.
    dispatcher.dispatch(button(control::NoiseCarrier).commandId());
    refreshAll();
    settle();

    int changed = 0;
    for (int b = 0; b < kButtonCount; ++b) {
        const bool lampChanged =
            before[static_cast<std::size_t>(b)] != core.controls.lit(b) && !core.controls.isPush(b);
        changed += lampChanged;
        EXPECT_EQ(counters[static_cast<std::size_t>(b)]->count() > 0, lampChanged) << "button " << b;
    }
    EXPECT_EQ(changed, 2);
}

TEST_F(Buttons, RefreshWithNothingChangedPaintsNothing) {
    PaintCounter counter(&button(control::Enhance));
    refreshAll();
    settle();
    EXPECT_EQ(counter.count(), 0);
}

TEST_F(Buttons, ABankChangeReportsTheNewPresetCaptionsAndNoOthers) {
    std::vector<std::string> before;
    for (int b = 0; b < kButtonCount; ++b) before.push_back(core.controls.caption(b));
    std::vector<int> reported;
    for (BitmapButton* b : buttons)
        QObject::connect(b, &BitmapButton::captionChanged,
                         [&reported](int index) { reported.push_back(index); });

    QTest::mouseClick(&button(control::LevelBank + 1), Qt::LeftButton); // " Pan "

    std::vector<int> expected;
    for (int b = 0; b < kButtonCount; ++b)
        if (core.controls.caption(b) != before[static_cast<std::size_t>(b)]) expected.push_back(b);
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(reported, expected);
}

} // namespace
