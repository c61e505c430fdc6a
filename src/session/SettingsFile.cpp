#include "session/SettingsFile.h"

#include "core/CommandDispatcher.h"
#include "core/ControlTable.h"
#include "core/VocoderCore.h"
#include "files/TemporaryFile.h"
#include "session/Preferences.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>

namespace {

constexpr int kMidiSlots = 20;
// A line keeps at most this many characters; the rest of a longer line is passed over, so
// a damaged file cannot shift the sections that follow.
constexpr std::size_t kLineRoom = 78;
// A bank value nearer 0 than this is taken as 0. No control makes one (the smallest a slider
// gives is the Level bank's 2e-9), and in fixed notation it would need more decimals than a
// line has room for, so it could never be written back as it was read.
constexpr double kSmallestValue = 1e-40;

// Lines of a file or a text, ending in LF, CR LF or a lone CR; a UTF-8 byte-order mark at
// the start is passed over. A line lives in the reader's own room until the next one is
// read: applying a text allocates nothing, so the live engine may do it inside a pass.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) { skipMark(); }
    explicit LineReader(std::FILE* file) : file_(file) { skipMark(); }

    std::optional<std::string_view> next() {
        int c = get();
        if (c == EOF) return std::nullopt;
        std::size_t length = 0;
        while (c != EOF && c != '\n' && c != '\r') {
            if (length < kLineRoom) line_[length++] = static_cast<char>(c);
            c = get();
        }
        if (c == '\r') {
            const int after = get();
            if (after != '\n' && after != EOF) unget(after);
        }
        return std::string_view(line_.data(), length);
    }

private:
    int get() {
        if (pending_ != EOF) {
            const int c = pending_;
            pending_ = EOF;
            return c;
        }
        if (file_) return std::fgetc(file_);
        if (at_ >= text_.size()) return EOF;
        return static_cast<unsigned char>(text_[at_++]);
    }
    void unget(int c) { pending_ = c; }
    void skipMark() {
        const int a = get();
        if (a != 0xEF) {
            if (a != EOF) unget(a);
            return;
        }
        const int b = get();
        const int c = get();
        if (b == 0xBB && c == 0xBF) return;
        // Not a mark after all: only files and texts we wrote ourselves matter here, and
        // no line of ours begins with 0xEF, so the line simply fails to parse.
        if (file_) {
            std::fseek(file_, 0, SEEK_SET);
        } else {
            at_ = 0;
        }
        pending_ = EOF;
    }

    std::array<char, kLineRoom> line_{};
    std::string_view text_;
    std::size_t at_ = 0;
    std::FILE* file_ = nullptr;
    int pending_ = EOF;
};

const char* skipBlanks(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    return p;
}

// Parses an integer as "%d" would, refusing values that do not fit.
std::optional<int> parseInt(const char*& p, const char* end) {
    p = skipBlanks(p, end);
    if (p < end && *p == '+') ++p;
    int value = 0;
    const auto [next, error] = std::from_chars(p, end, value);
    if (error != std::errc()) return std::nullopt;
    p = next;
    return value;
}

std::optional<std::pair<int, int>> parseTwoInts(const std::optional<std::string_view>& line) {
    if (!line) return std::nullopt;
    const char* p = line->data();
    const char* end = p + line->size();
    const auto first = parseInt(p, end);
    if (!first) return std::nullopt;
    const auto second = parseInt(p, end);
    if (!second) return std::nullopt;
    return std::pair{*first, *second};
}

// A bank value: a finite decimal number. Infinities and NaNs never reach the engine.
std::optional<double> parseValue(const std::optional<std::string_view>& line) {
    if (!line) return std::nullopt;
    const char* p = skipBlanks(line->data(), line->data() + line->size());
    const char* end = line->data() + line->size();
    if (p < end && *p == '+') ++p;
    double value = 0;
    const auto [next, error] = std::from_chars(p, end, value, std::chars_format::general);
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    return std::fabs(value) < kSmallestValue ? 0.0 : value;
}

void appendInts(std::string& out, int a, int b) {
    char buffer[16]; // an int takes at most 11
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, a).ptr);
    out += ' ';
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, b).ptr);
    out += '\n';
}

// Fixed notation with the fewest decimals (six at least) that read back as the same double,
// never longer than a line has room for: a value that would need more is written as closely
// as the room allows (loading keeps no such value).
void appendValue(std::string& out, double value) {
    std::array<char, kLineRoom> text;
    std::array<char, kLineRoom> fitting;
    std::size_t length = 0;
    for (int decimals = 6;; ++decimals) {
        const auto [end, error] =
            std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
        if (error != std::errc()) break;
        length = static_cast<std::size_t>(end - text.data());
        std::copy(text.data(), end, fitting.data());
        double back = 0;
        std::from_chars(text.data(), end, back);
        if (back == value) break;
    }
    if (length == 0) {
        out.append("0.000000\n");
        return;
    }
    out.append(fitting.data(), length);
    out.push_back('\n');
}

// Loads every section from `lines`.
void apply(VocoderCore& core, CommandDispatcher& dispatcher, LineReader& lines, SettingsSource source) {
    // A. Sliders: the index comes from the line; the slider clamps the position.
    for (int i = 0; i < kSliderCount; ++i) {
        const auto item = parseTwoInts(lines.next());
        if (item && item->first >= 0 && item->first < kSliderCount) core.controls.setSlider(item->first, item->second);
    }

    // B. Latched buttons, through the dispatcher as clicks. A button ends as its line says:
    // a toggle is pressed only when its state differs (so its engine flag always follows
    // the lamp, and a running recording is not thrown away by re-pressing REC); a group
    // member stored lit is pressed, which darkens the rest of its group.
    for (int button = 0; button < kButtonCount; ++button) {
        if (core.controls.isPush(button)) continue;
        const auto item = parseTwoInts(lines.next());
        if (!item) continue;
        const bool wanted = item->second != 0;
        const ControlId id = controlIdOfButton(button);
        const bool exclusive = kControlTable[static_cast<std::size_t>(id)].kind == ControlKind::Exclusive;
        // A take the user recorded is never thrown away by loading a sound, and a session
        // starts no recording (one that did would grow for as long as the program runs).
        if (id == control::Rec && (source == SettingsSource::Session || (wanted && core.recording))) continue;
        if (exclusive ? wanted : wanted != core.controls.lit(button)) dispatcher.dispatch(kCommandFirst + button);
    }

    // C. Routing entries; an index or a source outside 0..17 is passed over.
    for (int i = 0; i < kChannels; ++i) {
        const auto item = parseTwoInts(lines.next());
        if (item && item->first >= 0 && item->first < kChannels && item->second >= 0 && item->second < kChannels)
            core.channelMap[static_cast<std::size_t>(item->first)] = item->second;
    }

    // D. Bank values, channel by channel, each bank in its fixed order. A value is kept
    // within its bank's range (or 0, which files written with six decimals hold for the
    // smallest levels), so a damaged file cannot drive a filter into overflow.
    for (int k = 0; k < kChannels; ++k) {
        for (int b = 0; b < kBankCount; ++b) {
            const auto value = parseValue(lines.next());
            if (!value) continue;
            SliderBank& bank = core.banks[static_cast<std::size_t>(b)];
            const double low = std::fmin(0.0, std::fmin(bank.bottom, bank.top));
            const double high = std::fmax(0.0, std::fmax(bank.bottom, bank.top));
            bank.value[static_cast<std::size_t>(k)] = std::fmin(std::fmax(*value, low), high);
            if (static_cast<BankId>(b) == core.state.currentBank) {
                core.controls.setChannelSlider(k, bank.positionOf(bank.value[static_cast<std::size_t>(k)]));
                core.state.slidersDirty = true;
            }
        }
    }

    // E. MIDI slots, as held: the MIDI mapping treats a control outside 1..83 as unassigned.
    for (int slot = 0; slot < kMidiSlots; ++slot) {
        const auto item = parseTwoInts(lines.next());
        if (item) core.midiSlots[static_cast<std::size_t>(slot)] = MidiAssignment{item->first, item->second};
    }

    // F. MIDI channels.
    if (const auto item = parseTwoInts(lines.next())) {
        core.midiInChannel = item->first;
        core.midiOutChannel = item->second;
    }
}

} // namespace

std::string settingsText(const VocoderCore& core) {
    std::string out;
    out.reserve(8192);
    for (int i = 0; i < kSliderCount; ++i) appendInts(out, i, core.controls.slider(i));
    for (int button = 0; button < kButtonCount; ++button)
        if (!core.controls.isPush(button)) appendInts(out, button, core.controls.lit(button) ? 1 : 0);
    for (int k = 0; k < kChannels; ++k) appendInts(out, k, core.channelMap[static_cast<std::size_t>(k)]);
    for (int k = 0; k < kChannels; ++k)
        for (int b = 0; b < kBankCount; ++b)
            appendValue(out, core.banks[static_cast<std::size_t>(b)].value[static_cast<std::size_t>(k)]);
    for (const MidiAssignment& slot : core.midiSlots) appendInts(out, slot.control, slot.controller);
    appendInts(out, core.midiInChannel, core.midiOutChannel);
    return out;
}

bool SaveSettings(const VocoderCore& core, const std::filesystem::path& path, std::string* error) {
    return writeWholeFile(path, settingsText(core), error);
}

bool writeWholeFile(const std::filesystem::path& path, std::string_view text, std::string* error) {
    std::error_code ignored;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
    TemporaryFile file;
    auto fail = [&](const std::string& what, int number) {
        if (error) *error = what + ": " + std::strerror(number);
        return false;
    };
    if (!file.create(path)) {
        // Through a link the file is made where the link leads, so that folder is the one
        // that refused it.
        const std::filesystem::path& target = file.target();
        const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
        return fail("cannot create a file in " + folder.string(), file.error());
    }
    if (std::fwrite(text.data(), 1, text.size(), file.stream()) != text.size()) {
        const int number = errno;
        return fail("cannot write " + path.string(), number);
    }
    switch (file.commit()) {
    case TemporaryFile::CommitResult::Committed:
        return true;
    case TemporaryFile::CommitResult::WriteFailed:
        return fail("cannot write " + path.string(), file.error());
    case TemporaryFile::CommitResult::RenameFailed:
        return fail("cannot replace " + path.string(), file.error());
    }
    return false;
}

bool LoadSettings(VocoderCore& core, CommandDispatcher& dispatcher, const std::filesystem::path& path,
                  SettingsSource source) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    LineReader lines(file);
    apply(core, dispatcher, lines, source);
    std::fclose(file);
    return true;
}

bool readSettingsText(const std::filesystem::path& path, std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    // Far more lines than a file has: the rest of a huge file is never read, just as
    // LoadSettings never reads past the lines it applies.
    constexpr int kMostLines = 4096;
    LineReader lines(file);
    text.clear();
    for (int i = 0; i < kMostLines; ++i) {
        const auto line = lines.next();
        if (!line) break;
        text.append(*line);
        text.push_back('\n');
    }
    std::fclose(file);
    return true;
}

void loadSettingsText(VocoderCore& core, CommandDispatcher& dispatcher, std::string_view text,
                      SettingsSource source) {
    LineReader lines(text);
    apply(core, dispatcher, lines, source);
}

bool readsAsSettings(std::string_view text) {
    LineReader lines(text);
    int latched = 0;
    for (int b = 0; b < kButtonCount; ++b) latched += isPushButton(b) ? 0 : 1;
    const int buttonsEnd = kSliderCount + latched;
    const int mapEnd = buttonsEnd + kChannels;
    const int banksEnd = mapEnd + kChannels * kBankCount;
    const int fileEnd = banksEnd + kMidiSlots + 1;
    int line = 0;
    for (auto next = lines.next(); next; next = lines.next(), ++line) {
        const char* end = next->data() + next->size();
        if (line >= fileEnd) {
            if (skipBlanks(next->data(), end) != end) return false;
            continue;
        }
        if (line >= mapEnd && line < banksEnd) {
            const char* p = skipBlanks(next->data(), end);
            const char* digits = p < end && (*p == '+' || *p == '-') ? p + 1 : p;
            // A number, not a word that happens to start like one ("inf", "nan").
            if (digits >= end || !((*digits >= '0' && *digits <= '9') || *digits == '.')) return false;
            double value = 0;
            const auto [after, error] = std::from_chars(*p == '+' ? p + 1 : p, end, value);
            if (error != std::errc() || !std::isfinite(value) || skipBlanks(after, end) != end) return false;
            continue;
        }
        const char* p = next->data();
        const auto first = parseInt(p, end);
        const auto second = first ? parseInt(p, end) : std::nullopt;
        if (!second || skipBlanks(p, end) != end) return false;
        if (line < kSliderCount && (*first < 0 || *first >= kSliderCount)) return false;
        if (line >= buttonsEnd && line < mapEnd &&
            (*first < 0 || *first >= kChannels || *second < 0 || *second >= kChannels))
            return false;
    }
    return line > 0;
}

std::filesystem::path sessionFilePath() { return Preferences::configFolder() / "session.set"; }
