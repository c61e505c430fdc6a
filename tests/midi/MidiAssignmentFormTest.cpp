#include "midi/MidiAssignmentForm.h"

#include <gtest/gtest.h>

namespace {

namespace form = midi_assignment_form;

TEST(ControllerBox, ReadsADecimalByteUpTo121WithSpacesAndLeadingZeros) {
    EXPECT_EQ(form::readControllerBox("  64\t").controller, 64);
    EXPECT_EQ(form::readControllerBox("00121").controller, 121);
    EXPECT_EQ(form::readControllerBox("0255").message, "Please enter an integer between 0 and 121.");
}

TEST(ControllerBox, RefusesSignsGapsLettersAndHugeNumbersWithThe0To255Message) {
    for (const char* text : {"   ", "-1", "+5", "1 2", "7a", "4294967303", "99999999999999999999"}) {
        const form::BoxReading r = form::readControllerBox(text);
        EXPECT_FALSE(r.controller) << text;
        EXPECT_EQ(r.message, "Please enter an integer between 0 and 255.") << text;
    }
}

} // namespace
