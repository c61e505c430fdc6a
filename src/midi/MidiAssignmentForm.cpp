#include "midi/MidiAssignmentForm.h"

#include "core/ControlTable.h"

namespace midi_assignment_form {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Digits only, read without overflow: anything past a byte stops counting.
std::optional<int> byteValue(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > kHighestByte) return std::nullopt;
    }
    return value;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::string rangeMessage(int lowest, int highest) {
    std::string text(kRangePattern);
    replaceAll(text, "%1", std::to_string(lowest));
    replaceAll(text, "%2", std::to_string(highest));
    return text;
}

BoxReading readControllerBox(std::string_view text) {
    const std::optional<int> value = byteValue(trimmed(text));
    if (!value) return {std::nullopt, std::string(kNotAByteMessage)};
    if (*value < kLowestController || *value > kHighestController)
        return {std::nullopt, rangeMessage(kLowestController, kHighestController)};
    return {value, {}};
}

std::string controllerBoxText(const MidiAssignment& slot) {
    return std::to_string(slot.controller);
}

int controlListPosition(const MidiAssignment& slot) {
    return isValidControl(slot.control) ? slot.control : control::Off;
}

int controlFromListPosition(int position, int held) {
    if (position == control::Off && !isValidControl(held)) return held;
    return isValidControl(position) ? position : -1;
}

} // namespace midi_assignment_form
