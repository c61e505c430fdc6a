// What a MidiLink does before any port is open, and the pieces of a message that need no
// MIDI layer. Opening, sending and receiving are tested against a JACK server.

#include "midi/MidiLink.h"

#include "midi/MidiErrorName.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class SilentAlerts final : public MidiAlerts {
public:
    std::vector<std::string> shown;
    void error(const std::string& text) override { shown.push_back(text); }
    void warning(const std::string& text) override { shown.push_back(text); }
};

class Link : public ::testing::Test {
protected:
    SilentAlerts alerts;
    MidiLink link{alerts};
};

TEST_F(Link, StartsWithBothPortsClosedNoOutputChannelAndNothingSent) {
    EXPECT_TRUE(link.inClosed());
    EXPECT_TRUE(link.outClosed());
    EXPECT_EQ(link.GetChannels(), std::make_pair(0, -1));
    EXPECT_FALSE(link.echoReady());
    for (int v : link.lastSent()) EXPECT_EQ(v, 0);
    link.Close();
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(Link, KeepsTheInputCodeOffAndCodesBeyondTheEndsAtTheNearestEnd) {
    link.SetChannels(17, 16);
    EXPECT_EQ(link.GetChannels(), std::make_pair(17, 16));
    link.SetChannels(40, 99);
    EXPECT_EQ(link.GetChannels(), std::make_pair(17, 16));
    link.SetChannels(-3, -7);
    EXPECT_EQ(link.GetChannels(), std::make_pair(0, -1));
    link.SetChannels(5, 15);
    EXPECT_EQ(link.GetChannels(), std::make_pair(5, 15));
}

TEST(MidiBytes, AControlChangeOnOutputChannelCode2IsB2ThenControllerThenValue) {
    const std::array<std::uint8_t, 3> expected{0xB2, 0x07, 0x7F};
    EXPECT_EQ(controlChangeBytes(2, 7, 127), expected);
}

TEST(MidiBytes, DataBytesAndTheChannelAreMaskedSoNoValueBecomesAStatusByte) {
    for (int controller : {-1, 0, 121, 127, 128, 200, 1000})
        for (int value : {-5, 0, 64, 127, 128, 255, 300}) {
            const auto bytes = controlChangeBytes(3, controller, value);
            EXPECT_EQ(bytes[0], 0xB3);
            EXPECT_LT(bytes[1], 0x80);
            EXPECT_LT(bytes[2], 0x80);
            if (controller >= 0 && controller < 128) {
                EXPECT_EQ(bytes[1], controller);
            }
            if (value >= 0 && value < 128) {
                EXPECT_EQ(bytes[2], value);
            }
        }
    EXPECT_EQ(controlChangeBytes(16, 1, 1)[0] & 0xF0, 0xB0);
}

TEST(MidiErrors, ACodeOutsideTheTableIsAnUnlistedError) {
    EXPECT_EQ(MidiErrorName(4), "device already allocated");
    EXPECT_EQ(MidiErrorName(11), "invalid parameter passed");
    for (int code : {-1, 12, 64, 1000}) EXPECT_EQ(MidiErrorName(code), "unlisted error") << code;
}

} // namespace
