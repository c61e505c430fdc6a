#include "PaintCounter.h"
#include "PanelFixture.h"

#include <algorithm>
#include <cstdlib>

namespace {

class Sliders : public PanelFixture {
protected:
    // A press on the thumb's centre, moves of `pixels` upward in steps of one, and the release.
    void drag(ValueSlider& s, int pixels, Qt::MouseButton button = Qt::LeftButton) {
        QPoint at = s.thumbRect().center();
        QTest::mousePress(&s, button, {}, at);
        const int step = pixels < 0 ? 1 : -1;
        for (int i = 0; i != std::abs(pixels); ++i) {
            at.ry() += step;
            QTest::mouseMove(&s, at);
        }
        QTest::mouseRelease(&s, button, {}, at);
    }
    void click(ValueSlider& s, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(&s, button, {}, at);
        QTest::mouseRelease(&s, button, {}, at);
    }
    static constexpr int kCGain = kFirstParameterSlider;
};

// ---- Dragging -------------------------------------------------------------------------------

TEST_F(Sliders, DraggingTheThumbUpByFivePixelsRaisesTheValueByFive) {
    const int start = core.controls.slider(kCGain);
    drag(slider(kCGain), 5);
    EXPECT_EQ(core.controls.slider(kCGain), start + 5);
    EXPECT_EQ(slider(kCGain).thumbRect().top(), slider(kCGain).range() - (start + 5) + 7);
}

TEST_F(Sliders, DraggingDownLowersTheValueOneStepPerPixel) {
    const int start = core.controls.slider(kCGain);
    drag(slider(kCGain), -9);
    EXPECT_EQ(core.controls.slider(kCGain), start - 9);
}

TEST_F(Sliders, ADragPastTheTopStopsAtTheLastValueAndMovesTheOthersOnlyAsFarAsItMoved) {
    core.controls.setChannelSlider(3, 120);
    const std::array<int, kChannels> before = channelPositions();
    drag(slider(3), 40);
    EXPECT_EQ(core.controls.channelSlider(3), 127);
    for (int k = 0; k < kChannels; ++k) {
        if (k == 3) continue;
        EXPECT_EQ(core.controls.channelSlider(k), std::min(before[std::size_t(k)] + 7, 127)) << k;
    }
}

TEST_F(Sliders, ADragPastTheBottomStopsAtZero) {
    drag(slider(kCGain), -200);
    EXPECT_EQ(core.controls.slider(kCGain), 0);
    drag(slider(kCGain), -5);
    EXPECT_EQ(core.controls.slider(kCGain), 0);
}

TEST_F(Sliders, MovingFurtherAtAnEndLeavesEveryChannelSliderWhereItIs) {
    drag(slider(9), 200);
    const std::array<int, kChannels> atTop = channelPositions();
    drag(slider(9), 30);
    EXPECT_EQ(channelPositions(), atTop);
}

// Past an end the thumb waits there and moves again only when the pointer is back on it,
// so that the thumb stays under the pointer whenever it moves.
TEST_F(Sliders, AThumbDraggedPastItsEndWaitsForThePointerToComeBack) {
    ValueSlider& s = slider(kCGain);
    const int start = core.controls.slider(kCGain);
    const int room = s.range() - 1 - start;
    QPoint at = s.thumbRect().center();
    QTest::mousePress(&s, Qt::LeftButton, {}, at);
    struct Step {
        int up;       // pixels above the press
        int expected; // value
    };
    for (const Step& step : {Step{room + 40, 63}, Step{room + 10, 63}, Step{room, 63}, Step{room - 6, 57},
                             Step{-start - 30, 0}, Step{-start + 4, 4}}) {
        QTest::mouseMove(&s, at - QPoint(0, step.up));
        EXPECT_EQ(core.controls.slider(kCGain), step.expected) << step.up;
    }
    QTest::mouseRelease(&s, Qt::LeftButton, {}, at - QPoint(0, -start + 4));
}

TEST_F(Sliders, ALeftDragOfChannelSliderFiveByThreeMovesEveryOtherChannelSliderByThree) {
    const std::array<int, kChannels> before = channelPositions();
    drag(slider(5), 3);
    for (int k = 0; k < kChannels; ++k)
        EXPECT_EQ(core.controls.channelSlider(k), before[std::size_t(k)] + 3) << k;
}

TEST_F(Sliders, ARightDragTiltsTheChannelSlidersAroundTheDraggedOne) {
    const std::array<int, kChannels> before = channelPositions();
    drag(slider(5), 3, Qt::RightButton);
    for (int k = 0; k < kChannels; ++k) {
        const int expected = k == 5 ? before[5] + 3 : before[std::size_t(k)] + 3 * std::abs(k - 5);
        EXPECT_EQ(core.controls.channelSlider(k), std::clamp(expected, 0, 127)) << k;
    }
    EXPECT_EQ(core.controls.channelSlider(0), before[0] + 15);
    EXPECT_EQ(core.controls.channelSlider(17), before[17] + 36);
}

TEST_F(Sliders, ATiltClampsEachSliderAtItsEnd) {
    for (int k = 0; k < kChannels; ++k) core.controls.setChannelSlider(k, 110);
    refreshAll();
    drag(slider(5), 3, Qt::RightButton);
    for (int k = 0; k < kChannels; ++k)
        EXPECT_EQ(core.controls.channelSlider(k), std::min(110 + 3 * std::max(std::abs(k - 5), 1), 127)) << k;
}

TEST_F(Sliders, WithSlaveMoveOffOnlyTheDraggedSliderMoves) {
    QTest::mouseClick(&button(control::SlaveMove), Qt::LeftButton);
    ASSERT_FALSE(core.state.slaveMoveOn);
    const std::array<int, kChannels> before = channelPositions();
    drag(slider(5), 4);
    for (int k = 0; k < kChannels; ++k)
        EXPECT_EQ(core.controls.channelSlider(k), before[std::size_t(k)] + (k == 5 ? 4 : 0)) << k;
}

TEST_F(Sliders, AParameterSliderMovesAloneWhateverTheSlaveSwitch) {
    const std::array<int, kChannels> before = channelPositions();
    drag(slider(kCGain), 6);
    EXPECT_EQ(channelPositions(), before);
}

TEST_F(Sliders, WithoutACallbackADragSetsTheModelDirectly) {
    ValueSlider lone(core.controls, kCGain);
    lone.show();
    const int start = core.controls.slider(kCGain);
    drag(lone, 4);
    EXPECT_EQ(core.controls.slider(kCGain), start + 4);
}

// ---- Clicking beside the thumb ----------------------------------------------------------------

TEST_F(Sliders, AClickAboveTheThumbPutsItsCentreUnderThePointer) {
    ValueSlider& s = slider(kCGain);
    const int y = s.thumbRect().top() - 20;
    click(s, QPoint(17, y));
    EXPECT_EQ(core.controls.slider(kCGain), s.range() - y + 18);
    EXPECT_EQ(s.thumbRect().top() + 11, y);
}

TEST_F(Sliders, AClickBelowTheThumbOfAChannelSliderJumpsAndTheOthersFollow) {
    ValueSlider& s = slider(12);
    const std::array<int, kChannels> before = channelPositions();
    const int y = s.thumbRect().bottom() + 30;
    click(s, QPoint(20, y));
    const int jumped = s.range() - y + 18;
    EXPECT_EQ(core.controls.channelSlider(12), jumped);
    EXPECT_EQ(core.controls.channelSlider(0), before[0] + (jumped - before[12]));
}

TEST_F(Sliders, AClickBelowTheLowestPlaceStopsAtZero) {
    click(slider(kCGain), QPoint(17, PanelLayout::kShortSliderSize.height() - 1));
    EXPECT_EQ(core.controls.slider(kCGain), 0);
}

TEST_F(Sliders, AClickOnTheThumbLeavesEverySliderWhereItWas) {
    const std::array<int, kChannels> before = channelPositions();
    ValueSlider& s = slider(5);
    click(s, s.thumbRect().topLeft() + QPoint(2, 3));
    EXPECT_EQ(channelPositions(), before);
}

// ---- Repainting -----------------------------------------------------------------------------

TEST_F(Sliders, RefreshRepaintsOnlyTheOldAndNewThumbOfAMovedSlider) {
    std::vector<std::unique_ptr<PaintCounter>> counters;
    for (ValueSlider* s : sliders) counters.push_back(std::make_unique<PaintCounter>(s));
    ValueSlider& moved = slider(kCGain + 2);
    const QRect oldThumb = moved.thumbRect();

    core.controls.setSlider(moved.index(), core.controls.slider(moved.index()) + 9);
    refreshAll();
    settle();

    for (int s = 0; s < kSliderCount; ++s)
        EXPECT_EQ(counters[std::size_t(s)]->count() > 0, s == moved.index()) << "slider " << s;
    EXPECT_EQ(counters[std::size_t(moved.index())]->region(), QRegion(oldThumb.united(moved.thumbRect())));
}

TEST_F(Sliders, SettingTheSameValueAgainPaintsNothing) {
    PaintCounter counter(&slider(kCGain));
    core.controls.setSlider(kCGain, core.controls.slider(kCGain));
    refreshAll();
    settle();
    EXPECT_EQ(counter.count(), 0);
}

TEST_F(Sliders, TheLampRepaintsOnlyItsStripeAndOnlyWhenItChanges) {
    ValueSlider& s = slider(0);
    PaintCounter counter(&s);
    s.setLamp(true);
    settle();
    const QRect thumb = s.thumbRect();
    EXPECT_EQ(counter.region(), QRegion(QRect(QPoint(thumb.left() + 4, thumb.top() + 8),
                                              QPoint(thumb.right() + 1 - 6 - 1, thumb.top() + 11 - 1))));
    counter.reset();
    s.setLamp(true);
    settle();
    EXPECT_EQ(counter.count(), 0);
}

} // namespace
