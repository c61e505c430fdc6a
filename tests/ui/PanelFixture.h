#pragma once

#include "core/CommandDispatcher.h"
#include "core/NullCommandHost.h"
#include "core/VocoderCore.h"
#include "ui/BitmapButton.h"
#include "ui/PanelLayout.h"
#include "ui/ValueSlider.h"

#include <QCoreApplication>
#include <QTest>
#include <array>
#include <gtest/gtest.h>
#include <vector>

// Every button and slider of the panel, placed by PanelLayout in a shown 640 x 480 window and
// wired the way the main window wires them: clicks go to a real dispatcher over a real core,
// channel slider moves through the dispatcher's slave move, and everything is refreshed after
// each command.
class PanelFixture : public ::testing::Test {
protected:
    PanelFixture() {
        window.setFixedSize(PanelLayout::kPanelSize);
        for (int b = 0; b < kButtonCount; ++b) {
            auto* button = new BitmapButton(core.controls, b, &window);
            button->move(PanelLayout::buttonPosition(b));
            QObject::connect(button, &BitmapButton::clicked, [this](int commandId) {
                clicked.push_back(commandId);
                dispatcher.dispatch(commandId);
                refreshAll();
            });
            QObject::connect(button, &BitmapButton::doubleClicked, [this](int commandId) {
                doubleClicked.push_back(commandId);
                dispatcher.doubleClick(commandId);
                refreshAll();
            });
            buttons[static_cast<std::size_t>(b)] = button;
        }
        for (int s = 0; s < kSliderCount; ++s) {
            auto* slider = new ValueSlider(core.controls, s, &window);
            slider->move(PanelLayout::sliderPosition(s));
            slider->setMoveCallback([this](int index, int newValue, SlaveMode mode) {
                if (isChannelSlider(index))
                    dispatcher.moveChannelSlider(index, newValue, mode);
                else
                    core.controls.setSlider(index, newValue);
                refreshAll();
            });
            sliders[static_cast<std::size_t>(s)] = slider;
        }
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        settle();
    }

    BitmapButton& button(ControlId id) { return *buttons[static_cast<std::size_t>(buttonIndexOf(id))]; }
    ValueSlider& slider(int index) { return *sliders[static_cast<std::size_t>(index)]; }

    void refreshAll() {
        for (BitmapButton* b : buttons) b->refresh();
        for (ValueSlider* s : sliders) s->refresh();
    }

    std::array<int, kChannels> channelPositions() const {
        std::array<int, kChannels> positions{};
        for (int k = 0; k < kChannels; ++k)
            positions[static_cast<std::size_t>(k)] = core.controls.channelSlider(k);
        return positions;
    }

    // Lets Qt deliver the repaints that update() asked for.
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    VocoderCore core;
    NullCommandHost host;
    CommandDispatcher dispatcher{core, host};
    QWidget window;
    std::array<BitmapButton*, kButtonCount> buttons{};
    std::array<ValueSlider*, kSliderCount> sliders{};
    std::vector<int> clicked;
    std::vector<int> doubleClicked;
};
