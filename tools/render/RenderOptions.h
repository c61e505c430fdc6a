#pragma once

#include "files/SaveRate.h"
#include "files/SourceChoice.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// One --set or --press, in command-line order.
struct RenderAction {
    enum class Kind { Set, Press } kind;
    std::string name;
    int position = 0;
};

// What quorvel-render was asked to do.
struct RenderOptions {
    std::string out;
    std::string modulator, carrier;
    SourceChoice modulatorSource = SourceChoice::LeftPlusRight;
    SourceChoice carrierSource = SourceChoice::LeftPlusRight;
    bool repeatCarrier = false, repeatModulator = false;
    std::string settings;
    std::string saveSettings;
    std::vector<RenderAction> actions;
    SaveRate rate = SaveRate::Rate44100;
    std::optional<long long> blocks;
    std::uint32_t seed = 1;
    bool dither = true;
    bool air = false;
    bool quiet = false;
    bool help = false;
};

// The options, or the reason they make no sense (a usage error).
std::variant<RenderOptions, std::string> parseRenderOptions(const std::vector<std::string>& args);

extern const char* const kRenderUsage;
