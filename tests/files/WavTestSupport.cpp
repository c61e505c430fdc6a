#include "WavTestSupport.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>

namespace {

void put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

template <typename T>
std::optional<T> next(std::deque<std::optional<T>>& answers, const std::string& question) {
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << question;
        return std::nullopt;
    }
    std::optional<T> answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

Bytes formatRecord(const PcmFormat& f, std::size_t size) {
    Bytes out;
    put16(out, f.tag);
    put16(out, f.channels);
    put32(out, f.rate);
    const int width = (f.bits + 7) / 8;
    const std::uint16_t align = f.blockAlign.value_or(static_cast<std::uint16_t>(f.channels * width));
    put32(out, f.rate * align);
    put16(out, align);
    put16(out, f.bits);
    out.resize(size, 0);
    return out;
}

Bytes extensibleRecord(const PcmFormat& format, std::uint16_t subformat) {
    PcmFormat f = format;
    f.tag = 0xFFFE;
    Bytes out = formatRecord(f, 16);
    put16(out, 22);
    put16(out, f.bits);
    put32(out, 0);
    put16(out, subformat);
    for (std::uint8_t b :
         {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
        out.push_back(b);
    return out;
}

Bytes chunk(std::string_view id, const Bytes& content, std::optional<std::uint32_t> claimedSize) {
    Bytes out(id.begin(), id.end());
    put32(out, claimedSize.value_or(static_cast<std::uint32_t>(content.size())));
    out.insert(out.end(), content.begin(), content.end());
    if (content.size() % 2) out.push_back(0);
    return out;
}

Bytes riffWave(const std::vector<Bytes>& chunks, std::optional<std::uint32_t> claimedSize) {
    Bytes body{'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes out{'R', 'I', 'F', 'F'};
    put32(out, claimedSize.value_or(static_cast<std::uint32_t>(body.size())));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes wavFile(const PcmFormat& format, const Bytes& data) {
    return riffWave({chunk("fmt ", formatRecord(format)), chunk("data", data)});
}

Bytes pcm16(const std::vector<std::int16_t>& samples) {
    Bytes out;
    for (std::int16_t s : samples) put16(out, static_cast<std::uint16_t>(s));
    return out;
}

Bytes pcmWide(const std::vector<std::int32_t>& samples, int width) {
    Bytes out;
    for (std::int32_t s : samples)
        for (int i = 0; i < width; ++i)
            out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(s) >> (8 * i)));
    return out;
}

std::vector<std::int16_t> interleave(const std::vector<std::int16_t>& left,
                                     const std::vector<std::int16_t>& right) {
    std::vector<std::int16_t> out;
    for (std::size_t i = 0; i < left.size(); ++i) {
        out.push_back(left[i]);
        out.push_back(right[i]);
    }
    return out;
}

std::vector<std::int16_t> samplesOf(const FileBlockList& blocks) {
    std::vector<std::int16_t> out;
    for (const FileBlock& b : blocks) out.insert(out.end(), b.samples.begin(), b.samples.end());
    return out;
}

std::vector<std::int16_t> testSignal(int length, double frequency, double rate, double level) {
    std::vector<std::int16_t> out(length);
    for (int i = 0; i < length; ++i) {
        const double t = i / rate;
        const double v = std::sin(2 * std::numbers::pi * frequency * t) +
                         0.5 * std::sin(2 * std::numbers::pi * 3.3 * frequency * t);
        out[i] = static_cast<std::int16_t>(level / 1.5 * v);
    }
    return out;
}

std::int16_t truncatedClipped(double value) {
    const double t = std::trunc(value);
    return static_cast<std::int16_t>(t > 32767 ? 32767 : t < -32768 ? -32768 : t);
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-files-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::write(const std::string& name, const Bytes& bytes) const {
    const std::filesystem::path p = path_ / name;
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p;
}

Bytes readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::filesystem::path> ScriptedDialogs::openFile(WavSlot slot, std::string_view,
                                                               std::string_view filter) {
    slots.push_back(slot);
    asked.push_back("open: " + std::string(filter));
    return next(openAnswers, asked.back());
}

std::optional<std::filesystem::path> ScriptedDialogs::saveFile(std::string_view defaultExtension,
                                                               std::string_view filter) {
    asked.push_back("save: " + std::string(defaultExtension) + " " + std::string(filter));
    return next(saveAnswers, asked.back());
}

std::optional<SourceChoice> ScriptedDialogs::selectSource(WavSlot slot, std::string_view title) {
    slots.push_back(slot);
    asked.push_back("source: " + std::string(title));
    return next(sourceAnswers, asked.back());
}

std::optional<SaveRate> ScriptedDialogs::selectSaveRate() {
    asked.push_back("rate");
    return next(rateAnswers, asked.back());
}

void ScriptedDialogs::message(std::string_view text) {
    asked.push_back("message: " + std::string(text));
    messages.emplace_back(text);
}
