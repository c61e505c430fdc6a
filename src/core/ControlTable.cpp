#include "core/ControlTable.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

ControlId controlIdByName(std::string_view name) {
    for (ControlId id = 0; id < kControlCount; ++id)
        if (equalIgnoringCase(controlInfo(id).name, name)) return id;
    return -1;
}

std::string channelSliderCaption(int channel) {
    char text[kMaxCaptionLength + 1];
    std::snprintf(text, sizeof text, " %d", kChannelCentreHz[static_cast<std::size_t>(channel)]);
    return text;
}
