#pragma once

#include "core/ControlTable.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <climits>

// Where everything sits on the 640 x 480 panel, in window coordinates. The window places its
// widgets with these and the panel painter puts the captions beside the same points, so a
// caption cannot drift away from its control.
// Constant data and pure functions: any thread may use them.
class PanelLayout {
public:
    static constexpr QSize kPanelSize{640, 480};
    static constexpr QSize kButtonSize{24, 19};
    static constexpr QSize kShortSliderSize{30, 118};
    static constexpr QSize kTallSliderSize{30, 182};
    static constexpr QRect kDisplayRect{260, 97, 178, 102};

    // Button b (0..57) by the running offset 31·b, folded row by row.
    static constexpr QPoint buttonPosition(int button) {
        const int w = 31 * button;
        for (const ButtonRow& row : kButtonRows)
            if (w <= row.lastOffset) return {w + row.shift, row.y};
        return {}; // unreachable: the last row takes every offset
    }
    static constexpr QRect buttonRect(int button) { return {buttonPosition(button), kButtonSize}; }
    // Top-left of the caption text.
    static constexpr QPoint buttonCaptionOrigin(int button) {
        return buttonPosition(button) + QPoint(-1, -16);
    }
    // Everything a caption of up to 11 characters can cover, within the panel; repaint this
    // after a caption change.
    static constexpr QRect buttonCaptionArea(int button) {
        const QPoint topLeft = buttonCaptionOrigin(button) + QPoint(-3, -2);
        const int width = kCaptionAreaWidth < kPanelSize.width() - topLeft.x()
                              ? kCaptionAreaWidth
                              : kPanelSize.width() - topLeft.x();
        return {topLeft, QSize(width, 16)};
    }

    // Slider s by ControlModel index: 0..17 the tall channel sliders, 18..24 the short
    // parameter sliders.
    static constexpr bool isTallSlider(int slider) { return isChannelSlider(slider); }
    static constexpr QPoint sliderPosition(int slider) {
        return isChannelSlider(slider) ? QPoint(39 + 31 * slider, 273)
                                       : QPoint(39 + 31 * (slider - kFirstParameterSlider), 97);
    }
    static constexpr QSize sliderSize(int slider) {
        return isTallSlider(slider) ? kTallSliderSize : kShortSliderSize;
    }
    static constexpr QRect sliderRect(int slider) { return {sliderPosition(slider), sliderSize(slider)}; }
    // A parameter slider's name stands above it; a channel slider's frequency below it,
    // since above it would sit right under the bank and operation buttons and read as
    // their caption.
    static constexpr QPoint sliderNameOrigin(int slider) {
        return sliderPosition(slider) +
               (isChannelSlider(slider) ? QPoint(1, kTallSliderSize.height() + 1) : QPoint(1, -14));
    }
    // The most a caption or slider name may take across: its neighbours stand 31 pixels
    // apart.
    static constexpr int kCaptionRoom = 30;
    // The heading over the display, which says what it shows.
    static constexpr QPoint kDisplayHeadingOrigin{262, 84};
    static constexpr QRect kDisplayHeadingArea{258, 82, 184, 14};

private:
    struct ButtonRow {
        int lastOffset;
        int shift;
        int y;
    };
    // clang-format off
    static constexpr std::array<ButtonRow, 8> kButtonRows{{
        {278,     320,  20},
        {836,    -238,  60},
        {991,    -393, 100},
        {1146,   -548, 140},
        {1301,   -703, 180},
        {1580,  -1261, 235},
        {1735,  -1230, 235},
        {INT_MAX, -1199, 235},
    }};
    // clang-format on
    // Eleven bold 10-pixel capitals are about 80 pixels wide.
    static constexpr int kCaptionAreaWidth = 88;
};
