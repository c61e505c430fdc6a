#include "session/Preferences.h"

#include "session/SettingsFile.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::optional<int> number(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

} // namespace

int Preferences::zoomStep(int percent) {
    int best = kZoomSteps[0];
    for (int step : kZoomSteps)
        if (std::abs(step - percent) < std::abs(best - percent)) best = step;
    return best;
}

bool Preferences::load(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "input") {
            inputDevice = value;
        } else if (key == "output") {
            outputDevice = value;
        } else if (key == "buffers") {
            if (const auto n = number(value); n && *n >= 0) bufferSlider = *n;
        } else if (key == "sixteen-bit") {
            sixteenBit = value == "1";
        } else if (key == "zoom") {
            if (const auto n = number(value)) zoomPercent = zoomStep(*n);
        } else if (key == "air") {
            air = value == "1";
        }
    }
    return true;
}

bool Preferences::save(const std::filesystem::path& path, std::string* error) const {
    std::ostringstream out;
    // A name with a line break in it could not be read back; no device has one.
    if (hasSoundCard()) {
        out << "input=" << inputDevice << '\n' << "output=" << outputDevice << '\n';
        if (bufferSlider) out << "buffers=" << *bufferSlider << '\n';
        out << "sixteen-bit=" << (sixteenBit ? 1 : 0) << '\n';
    }
    out << "zoom=" << zoomPercent << '\n';
    out << "air=" << (air ? 1 : 0) << '\n';
    return writeWholeFile(path, out.str(), error);
}

std::filesystem::path Preferences::configFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // The XDG rules ignore a relative path here.
    if (config && *config == '/') return std::filesystem::path(config) / "quorvel";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".config" / "quorvel";
}
