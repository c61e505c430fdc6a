// Settings files that were cut short, damaged, written by something else or made up: loading
// never crashes, every value that reaches the engine is within its range (the engine runs a
// few blocks on the result and gives finite sound), and a line that cannot be read leaves
// its item as it was.

#include "core/BlockEvents.h"
#include "core/BlockLoop.h"
#include "core/CommandDispatcher.h"
#include "core/ControlTable.h"
#include "core/EngineParamsUpdate.h"
#include "core/NullCommandHost.h"
#include "core/VocoderCore.h"
#include "midi/MidiMapping.h"
#include "session/SettingsFile.h"
#include "WavTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// Where each section of a complete file starts, and the file's length.
constexpr int kButtonLines = 25;
constexpr int kMapLines = 66;
constexpr int kBankLines = 84;
constexpr int kMidiSlotLines = 246;
constexpr int kMidiChannelLine = 266;
constexpr int kLines = 267;

struct Panel {
    VocoderCore core;
    NullCommandHost host;
    CommandDispatcher dispatcher{core, host};
    void press(ControlId id) { dispatcher.dispatch(commandIdOfButton(buttonIndexOf(id))); }
};

// Everything a settings file can change, in a form that compares.
struct Snapshot {
    std::array<int, kSliderCount> sliders{};
    std::array<bool, kButtonCount> lit{};
    ChannelMap channelMap{};
    std::array<std::array<double, kChannels>, kBankCount> banks{};
    std::array<std::pair<int, int>, kMidiSlotCount> midiSlots{};
    std::pair<int, int> midiChannels{};
    ControlState state;

    explicit Snapshot(const VocoderCore& core) : channelMap(core.channelMap), state(core.state) {
        for (int s = 0; s < kSliderCount; ++s) sliders[s] = core.controls.slider(s);
        for (int b = 0; b < kButtonCount; ++b) lit[b] = core.controls.lit(b);
        for (int b = 0; b < kBankCount; ++b) banks[b] = core.banks[b].value;
        for (int k = 0; k < kMidiSlotCount; ++k)
            midiSlots[k] = {core.midiSlots[k].control, core.midiSlots[k].controller};
        midiChannels = {core.midiInChannel, core.midiOutChannel};
        state.slidersDirty = false; // a repaint request, not a setting
    }
    bool operator==(const Snapshot&) const = default;
};

// The button a line of section B stands for.
int buttonOfLine(int line) {
    int latched = kButtonLines;
    for (int b = 0; b < kButtonCount; ++b) {
        if (isPushButton(b)) continue;
        if (latched++ == line) return b;
    }
    return -1;
}

// The item a line of the file stands for, as text: the same text before and after a load
// means the line left it as it was.
std::string itemOfLine(const VocoderCore& core, int line) {
    std::ostringstream item;
    item.precision(17);
    if (line < kButtonLines) {
        item << core.controls.slider(line);
    } else if (line < kMapLines) {
        item << core.controls.lit(buttonOfLine(line));
    } else if (line < kBankLines) {
        item << core.channelMap[static_cast<std::size_t>(line - kMapLines)];
    } else if (line < kMidiSlotLines) {
        const int k = (line - kBankLines) / kBankCount, b = (line - kBankLines) % kBankCount;
        item << core.banks[static_cast<std::size_t>(b)].value[static_cast<std::size_t>(k)];
    } else if (line < kMidiChannelLine) {
        const MidiAssignment& slot = core.midiSlots[static_cast<std::size_t>(line - kMidiSlotLines)];
        item << slot.control << ' ' << slot.controller;
    } else {
        item << core.midiInChannel << ' ' << core.midiOutChannel;
    }
    return item.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string join(const std::vector<std::string>& lines, std::size_t count, const std::string& end = "\n") {
    std::string text;
    for (std::size_t i = 0; i < count && i < lines.size(); ++i) text += lines[i] + end;
    return text;
}

class RecordedEvents final : public BlockEvents {
public:
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    std::vector<std::string> messages;
};

// A state far from the start values: every section of its file differs from a fresh one.
void playAround(Panel& p) {
    for (int s = 0; s < kSliderCount; ++s) p.core.controls.setSlider(s, (s * 37 + 5) % 128);
    for (ControlId id : {control::Eq, control::Enhance, control::Yodel, control::WideFilter,
                         control::Chorus2Carrier, control::InputLR + 2, control::ShiftFirst + 4,
                         control::SlaveMove, control::InvertSpectrum, control::SwapSpectrum})
        p.press(id);
    for (ControlId bank = control::LevelBank; bank <= control::WarpBank; ++bank) {
        p.press(bank);
        p.press(control::Randomize);
    }
    p.press(control::LevelBank + 4); // Echo current when saved
    for (int k = 0; k < kMidiSlotCount; ++k) p.core.midiSlots[k] = MidiAssignment{k + 3, 100 - k};
    p.core.midiInChannel = 7;
    p.core.midiOutChannel = 3;
}

class CorruptSettings : public WavTest {
protected:
    CorruptSettings() {
        playAround(saved);
        real = settingsText(saved.core);
        lines = linesOf(real);
    }

    // What a file left: the state and every line's item as loading ended, before the
    // engine's first block (which takes the current bank's values from the sliders).
    struct Loaded {
        Snapshot snapshot;
        std::vector<std::string> items;
        const std::string& item(int line) const { return items[static_cast<std::size_t>(line)]; }
    };

    // Loads `text` into a fresh panel and checks that what the engine gets is sound.
    Loaded load(const std::string& text) {
        Panel p;
        loadSettingsText(p.core, p.dispatcher, text);
        Loaded loaded{Snapshot(p.core), itemsOf(p.core)};
        expectEngineInRange(p.core);
        return loaded;
    }

    static std::vector<std::string> itemsOf(const VocoderCore& core) {
        std::vector<std::string> items;
        for (int line = 0; line < kLines; ++line) items.push_back(itemOfLine(core, line));
        return items;
    }

    // Every value the engine reads is within its range, and a few blocks of sound from it
    // (a loud modulator on the input, the carrier the file chose) are finite.
    void expectEngineInRange(VocoderCore& core) {
        for (int s = 0; s < kSliderCount; ++s) {
            EXPECT_GE(core.controls.slider(s), 0) << "slider " << s;
            EXPECT_LE(core.controls.slider(s), sliderMaximum(s)) << "slider " << s;
        }
        for (int entry : core.channelMap) EXPECT_TRUE(entry >= 0 && entry < kChannels) << entry;

        RecordedEvents events;
        BlockLoop loop(core, events);
        InputBuffer input;
        OutputBuffer out;
        for (int block = 0; block < 6; ++block) {
            for (int n = 0; n < BLOCK_SIZE; ++n) {
                const auto v = static_cast<std::int16_t>(30000 * std::sin(0.3 * (block * BLOCK_SIZE + n)));
                for (int c = 0; c < 2; ++c) {
                    input.bytes[static_cast<std::size_t>(4 * n + 2 * c)] = static_cast<std::uint8_t>(v);
                    input.bytes[static_cast<std::size_t>(4 * n + 2 * c + 1)] =
                        static_cast<std::uint8_t>(v >> 8);
                }
            }
            loop.updateParameters();
            loop.process(&input, true, out);
            for (int n = 0; n < BLOCK_SIZE; ++n)
                ASSERT_TRUE(std::isfinite(loop.outputLeft()[n]) && std::isfinite(loop.outputRight()[n]))
                    << "block " << block << " sample " << n;
        }
        for (int b = 0; b < kBankCount; ++b) {
            const SliderBank& bank = core.banks[static_cast<std::size_t>(b)];
            const double low = std::min({0.0, bank.bottom, bank.top});
            const double high = std::max({0.0, bank.bottom, bank.top});
            for (double v : bank.value) EXPECT_TRUE(v >= low && v <= high) << "bank " << b << ": " << v;
        }
        const EngineParams& p = core.params;
        for (int k = 0; k < kChannels; ++k) {
            EXPECT_TRUE(p.delay[k] >= 0 && p.delay[k] <= 127);
            EXPECT_TRUE(p.echoTime[k] >= 0 && p.echoTime[k] <= 127);
            EXPECT_TRUE(p.source[k] >= 0 && p.source[k] < kChannels);
            EXPECT_TRUE(std::isfinite(core.kernel.values()[k]));
        }
        EXPECT_GT(p.period, 0);
        EXPECT_GT(p.sampleHoldPeriod, 0);
        EXPECT_TRUE(std::isfinite(p.dutyReciprocal));
    }

    Panel saved;
    const Panel fresh;
    std::string real;
    std::vector<std::string> lines;
};

// ---- Files cut short --------------------------------------------------------------------

TEST_F(CorruptSettings, EveryCutOfARealFileLoadsTheLinesBeforeTheCutAndLeavesTheRestAsItWas) {
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLines));
    for (int cut = 0; cut <= kLines; ++cut) {
        const Loaded p = load(join(lines, static_cast<std::size_t>(cut)));
        // Channel sliders show whichever bank ends current, so they are checked through the
        // bank values; every other line's item is the saved one if read, the fresh one if not.
        for (int line = kChannels; line < kLines; ++line) {
            if (line >= kButtonLines && line < kMapLines) continue; // buttons: by group below
            const VocoderCore& expected = line < cut ? saved.core : fresh.core;
            ASSERT_EQ(p.item(line), itemOfLine(expected, line)) << "cut " << cut << ", line " << line;
        }
        // A toggle is as saved once its line is read; an exclusive group ends with the member
        // that was saved lit, once that member's line is read.
        for (int line = kButtonLines; line < kMapLines; ++line) {
            const int b = buttonOfLine(line);
            if (kControlTable[controlIdOfButton(b)].kind != ControlKind::Toggle) continue;
            ASSERT_EQ(p.snapshot.lit[b], (line < cut ? saved : fresh).core.controls.lit(b))
                << "cut " << cut << ", button " << b;
        }
        for (int line = kButtonLines; line < kMapLines; ++line) {
            const int b = buttonOfLine(line);
            if (kControlTable[controlIdOfButton(b)].kind != ControlKind::Exclusive ||
                !saved.core.controls.lit(b))
                continue;
            if (line < cut) {
                ASSERT_TRUE(p.snapshot.lit[b]) << "cut " << cut << ", button " << b;
            }
        }
    }
}

TEST_F(CorruptSettings, AnEmptyFileOrOneOfEmptyLinesChangesNothing) {
    for (const std::string& text :
         {std::string(), std::string(300, '\n'), std::string(300, '\r'), std::string(10000, ' ')})
        EXPECT_EQ(load(text).snapshot, Snapshot(fresh.core)) << text.size() << " bytes";
}

// ---- Other encodings of the same lines ---------------------------------------------------

TEST_F(CorruptSettings, LineEndsOfAnyKindAndAByteOrderMarkLoadTheSameState) {
    const Snapshot expected = load(real).snapshot;
    EXPECT_EQ(load(join(lines, lines.size(), "\r\n")).snapshot, expected);
    EXPECT_EQ(load(join(lines, lines.size(), "\r")).snapshot, expected);
    EXPECT_EQ(load("\xEF\xBB\xBF" + real).snapshot, expected);
    // Without a line end after the last line, and with more lines than a file has.
    EXPECT_EQ(load(real.substr(0, real.size() - 1)).snapshot, expected);
    EXPECT_EQ(load(real + real).snapshot, expected);
    // Blanks before, between and after the numbers.
    std::vector<std::string> spaced = lines;
    for (std::string& l : spaced) {
        const std::size_t space = l.find(' ');
        if (space != std::string::npos) l.replace(space, 1, " \t ");
        l = "  " + l + " \t";
    }
    EXPECT_EQ(load(join(spaced, spaced.size())).snapshot, expected);
}

TEST_F(CorruptSettings, AFileInUtf16IsReadAsNothingButDamagedLines) {
    std::string utf16 = "\xFF\xFE";
    for (char c : real) utf16 += {c, '\0'};
    EXPECT_EQ(load(utf16).snapshot, Snapshot(fresh.core));
}

// ---- Binary and random content -----------------------------------------------------------

TEST_F(CorruptSettings, RandomBytesBinaryAndNulBytesNeverPutTheEngineOutOfRange) {
    std::mt19937 random(4711);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 8; ++round) {
        std::string noise(static_cast<std::size_t>(1000 + 3000 * round), '\0');
        for (char& c : noise) c = static_cast<char>(byte(random));
        load(noise);
    }
    // Digits, signs, points, blanks and line ends only: a file that nearly parses.
    const std::string alphabet = "0123456789-+. \n\n\ne";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 8; ++round) {
        std::string text(6000, ' ');
        for (char& c : text) c = alphabet[pick(random)];
        load(text);
    }
    load(std::string(4096, '\0'));
    std::string withNuls = real;
    for (std::size_t at = 3; at < withNuls.size(); at += 41) withNuls[at] = '\0';
    load(withNuls);
}

TEST_F(CorruptSettings, ANulByteEndsTheNumbersOfItsLine) {
    std::vector<std::string> damaged = lines;
    damaged[kMapLines + 2] = std::string("2 5") + '\0' + "7"; // "2 5" then junk
    damaged[kMapLines + 3] = std::string("3") + '\0' + " 9";  // one number only
    const Loaded p = load(join(damaged, damaged.size()));
    EXPECT_EQ(p.snapshot.channelMap[2], 5);
    EXPECT_EQ(p.snapshot.channelMap[3], fresh.core.channelMap[3]);
}

TEST_F(CorruptSettings, SectionsShiftedByAMissingOrAnExtraLineStillKeepEveryValueInRange) {
    for (int at : {0, 10, kButtonLines, kMapLines + 5, kBankLines + 40, kMidiSlotLines}) {
        std::vector<std::string> missing = lines;
        missing.erase(missing.begin() + at);
        load(join(missing, missing.size()));
        std::vector<std::string> extra = lines;
        extra.insert(extra.begin() + at, "12 34");
        load(join(extra, extra.size()));
    }
}

// ---- Single damaged lines -----------------------------------------------------------------

struct Damage {
    int line;
    std::string text;
};

// Lines that cannot be read, in every section: each leaves its own item as a fresh panel
// has it, and every other line is read as saved.
TEST_F(CorruptSettings, ALineThatCannotBeReadLeavesItsItemAndOnlyItsItemAsItWas) {
    const std::string megabyte(1 << 20, 'x');
    const std::vector<Damage> damages{
        {18, "18"},
        {19, "19 x"},
        {20, "2147483648 5"},
        {21, "21 2147483648"},
        {22, "21474836470000000000 1"},
        {23, "25 7"},
        {24, "-1 7"},
        {kMapLines, "0"},
        {kMapLines + 1, "18 3"},
        {kMapLines + 2, "2 18"},
        {kMapLines + 3, "3 -1"},
        {kMapLines + 4, "-2147483648 -2147483648"},
        {kMapLines + 5, "5 2147483647"},
        {kBankLines, "nan"},
        {kBankLines + 1, "-nan"},
        {kBankLines + 2, "inf"},
        {kBankLines + 3, "-infinity"},
        {kBankLines + 4, "abc"},
        {kBankLines + 5, ""},
        {kBankLines + 6, megabyte},
        {kBankLines + 7, "- 0.5"},
        {kBankLines + 8, "1e999"},
        {kMidiSlotLines, "7"},
        {kMidiSlotLines + 1, "x y"},
        {kMidiSlotLines + 2, "2147483648 1"},
        {kMidiChannelLine, "1"},
    };
    for (const Damage& d : damages) {
        std::vector<std::string> damaged = lines;
        damaged[static_cast<std::size_t>(d.line)] = d.text;
        const Loaded p = load(join(damaged, damaged.size()));
        EXPECT_EQ(p.item(d.line), itemOfLine(fresh.core, d.line))
            << "line " << d.line << " \"" << d.text.substr(0, 30) << "\"";
        for (int line = kChannels; line < kLines; ++line) {
            if (line == d.line || (line >= kButtonLines && line < kMapLines)) continue;
            EXPECT_EQ(p.item(line), itemOfLine(saved.core, line))
                << "line " << line << " after damage to line " << d.line;
        }
    }
}

TEST_F(CorruptSettings, ADamagedChannelSliderLineChangesNothingSinceTheBankValuesDecideThoseSliders) {
    const Snapshot expected = load(real).snapshot;
    for (const Damage& d : std::vector<Damage>{{0, ""}, {3, "x 5"}, {17, "-2147483648 5"}, {9, "9 -7"}}) {
        std::vector<std::string> damaged = lines;
        damaged[static_cast<std::size_t>(d.line)] = d.text;
        EXPECT_EQ(load(join(damaged, damaged.size())).snapshot, expected) << "line " << d.line;
    }
}

TEST_F(CorruptSettings, AButtonLineThatCannotBeReadLeavesThatButtonAsItWas) {
    for (int line = kButtonLines; line < kMapLines; ++line) {
        const int b = buttonOfLine(line);
        if (kControlTable[controlIdOfButton(b)].kind != ControlKind::Toggle) continue;
        std::vector<std::string> damaged = lines;
        damaged[static_cast<std::size_t>(line)] = std::to_string(b) + " one";
        EXPECT_EQ(load(join(damaged, damaged.size())).snapshot.lit[b], fresh.core.controls.lit(b))
            << "button " << b;
    }
}

// ---- Numbers out of range that do parse ----------------------------------------------------

TEST_F(CorruptSettings, PositionsBeyondTheSlidersAreClampedAndBankValuesBeyondTheBanksTook) {
    std::vector<std::string> damaged = lines;
    damaged[18] = "18 64";
    damaged[19] = "19 2147483647";
    damaged[20] = "20 -2147483648";
    damaged[kBankLines + 1] = "1e39";      // Pan, channel 1: beyond the single-precision range
    damaged[kBankLines + 2] = "-1e39";     // Dist
    damaged[kBankLines + 3] = "1e-320";    // Delay: a denormal
    damaged[kBankLines + 8] = "-0.000000"; // Warp
    damaged[kBankLines + 6] = "1e308";     // Regen
    const Snapshot p = load(join(damaged, damaged.size())).snapshot;
    EXPECT_EQ(p.banks[1][0], 1.0);
    EXPECT_EQ(p.banks[2][0], 0.0);
    EXPECT_GE(p.banks[3][0], 0.0);
    EXPECT_EQ(p.banks[8][0], 0.0);
    EXPECT_EQ(p.banks[6][0], 1.05);
    EXPECT_EQ(p.sliders[18], 63);
    EXPECT_EQ(p.sliders[19], 63);
    EXPECT_EQ(p.sliders[20], 0);
}

// Found by fuzzing: a value like 4.9e-324 was kept, written back with hundreds of decimals
// and read from that line's first 78 characters as 0, so the file did not load what it held.
TEST_F(CorruptSettings, AValueTooSmallToBeWrittenWithinALineLoadsAsZeroAndWhatIsWrittenLoadsBack) {
    std::vector<std::string> damaged = lines;
    damaged[kBankLines + 1] = "-4.9e-324"; // Pan
    damaged[kBankLines + 2] = "1e-320";    // Dist
    damaged[kBankLines + 4] = "1e-60";     // Echo
    damaged[kBankLines + 5] = "1e-30";     // ETime: small, but it fits a line
    Panel p;
    loadSettingsText(p.core, p.dispatcher, join(damaged, damaged.size()));
    EXPECT_EQ(p.core.banks[1].value[0], 0.0);
    EXPECT_EQ(p.core.banks[2].value[0], 0.0);
    EXPECT_EQ(p.core.banks[4].value[0], 0.0);
    EXPECT_EQ(p.core.banks[5].value[0], 1e-30);

    const std::string written = settingsText(p.core);
    for (const std::string& line : linesOf(written)) EXPECT_LE(line.size(), 78u) << line;
    Panel again;
    loadSettingsText(again.core, again.dispatcher, written);
    for (int b = 0; b < kBankCount; ++b)
        EXPECT_EQ(again.core.banks[b].value, p.core.banks[b].value) << "bank " << b;
}

TEST_F(CorruptSettings, NoLineWrittenIsLongerThanALineHasRoomFor) {
    Panel p;
    p.core.banks[1].value[3] = -1e-300; // no control makes such a value; the writer copes
    p.core.banks[8].value[17] = 5e-324;
    const std::string written = settingsText(p.core);
    for (const std::string& line : linesOf(written)) EXPECT_LE(line.size(), 78u) << line;
    EXPECT_EQ(linesOf(written).size(), static_cast<std::size_t>(kLines));
}

TEST_F(CorruptSettings, MidiSlotsNamingNoControlAreKeptAsWrittenAndMidiIgnoresThem) {
    std::vector<std::string> damaged = lines;
    const std::vector<std::pair<int, int>> slots{{84, 7}, {-5, 7},    {2147483647, 7},  {-2147483647 - 1, 7},
                                                 {0, 7},  {1000, -1}, {30, 2147483647}, {83, 500}};
    for (std::size_t k = 0; k < slots.size(); ++k)
        damaged[kMidiSlotLines + k] = std::to_string(slots[k].first) + " " + std::to_string(slots[k].second);
    damaged[kMidiChannelLine] = "99 -99";
    Panel p;
    loadSettingsText(p.core, p.dispatcher, join(damaged, damaged.size()));
    for (std::size_t k = 0; k < slots.size(); ++k)
        EXPECT_EQ(std::make_pair(p.core.midiSlots[k].control, p.core.midiSlots[k].controller), slots[k]);
    EXPECT_EQ(std::make_pair(p.core.midiInChannel, p.core.midiOutChannel), std::make_pair(99, -99));

    // Every controller at every value, on a channel the loaded setting lets through.
    p.core.midiInChannel = 0;
    MidiMapping mapping(p.core, p.dispatcher);
    for (int controller = 0; controller < 128; ++controller)
        for (int value : {0, 127, 64, 0})
            mapping.handleMessage(MidiMessage::of(0xB0, static_cast<std::uint8_t>(controller),
                                                  static_cast<std::uint8_t>(value)));
    expectEngineInRange(p.core);
}

} // namespace
