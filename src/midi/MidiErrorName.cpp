#include "midi/MidiErrorName.h"

#include <array>

namespace {

constexpr std::array<std::string_view, 12> kErrorNames{
    "no error",
    "unspecified error",
    "device ID out of range",
    "driver failed enable",
    "device already allocated",
    "device handle is invalid",
    "no device driver present",
    "memory allocation error",
    "function isn't supported",
    "error value out of range",
    "invalid flag passed",
    "invalid parameter passed",
};

constexpr std::string_view kUnlisted = "unlisted error";

} // namespace

std::string_view MidiErrorName(int code) {
    if (code < 0 || code >= static_cast<int>(kErrorNames.size())) return kUnlisted;
    return kErrorNames[static_cast<std::size_t>(code)];
}
