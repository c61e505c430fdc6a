#pragma once

#include <filesystem>
#include <optional>
#include <string>

// What the program remembers between runs that the settings files do not hold: the sound
// card chosen last and the panel's zoom. A small text file of "key=value" lines, by default
// $XDG_CONFIG_HOME/quorvel/preferences (~/.config/quorvel/preferences). A missing or damaged
// file, or a line that makes no sense, only means that item is not remembered.
// Thread: window (the program reads it at start and writes it when something changes).
class Preferences {
public:
    static constexpr int kZoomSteps[] = {100, 150, 200};

    // The sound-card dialog's last OK, by the names of the devices (positions change as
    // devices come and go). Empty names: nothing chosen yet.
    std::string inputDevice;
    std::string outputDevice;
    std::optional<int> bufferSlider;
    bool sixteenBit = false;
    // The panel's size in percent: one of kZoomSteps.
    int zoomPercent = 100;
    // Air: the voice's band above the engine's, on a device that can carry it.
    bool air = false;

    bool operator==(const Preferences&) const = default;
    bool hasSoundCard() const { return !outputDevice.empty(); }

    // Reads `path`; false (everything left as it was) when it cannot be opened.
    bool load(const std::filesystem::path& path);
    // Writes the whole file; false with `error` set on failure.
    bool save(const std::filesystem::path& path, std::string* error = nullptr) const;

    // The nearest zoom step to `percent`.
    static int zoomStep(int percent);

    // $XDG_CONFIG_HOME/quorvel, by default ~/.config/quorvel: where the program keeps its files.
    static std::filesystem::path configFolder();
    static std::filesystem::path defaultPath() { return configFolder() / "preferences"; }
};
