#pragma once

#include <filesystem>
#include <string>
#include <string_view>

class CommandDispatcher;
class VocoderCore;

// The whole playing state as a text file of 267 lines in six sections: slider positions,
// latched buttons, channel map, bank values, MIDI slots and MIDI channels. The layout is
// fixed by the order of the lines alone.
//
// Numbers are written and read in the C locale whatever the user's locale is, and bank
// values with as many decimals as it takes to read back the very same double (at least
// six, so files stay readable by older copies). Files with six decimals load as before.
// No line is longer than the 78 characters a reader keeps: a bank value too small to be
// written in that room (below 1e-40, which no control makes) loads as 0.
//
// Thread: owner (the core's).

// The file's text for the current state.
std::string settingsText(const VocoderCore& core);

// Writes the file through a temporary file and a rename: a failure (an unwritable folder,
// a full disk) leaves any existing file as it was. False with `error` set on failure.
bool SaveSettings(const VocoderCore& core, const std::filesystem::path& path, std::string* error = nullptr);

// Applies a file: sliders, then the latched buttons through the dispatcher exactly as
// clicks, then routing, bank values, MIDI slots and channels. A line that is missing or
// does not parse leaves its item as it was. False only when the file cannot be opened.
bool LoadSettings(VocoderCore& core, CommandDispatcher& dispatcher, const std::filesystem::path& path);
void loadSettingsText(VocoderCore& core, CommandDispatcher& dispatcher, std::string_view text);
// The lines of a file as loadSettingsText reads them (each cut to its room, LF-ended), so
// that the file can be read on one thread and applied on another: applying a text never
// allocates. False when the file cannot be opened.
bool readSettingsText(const std::filesystem::path& path, std::string& text);

// Where the session is kept: $XDG_CONFIG_HOME/quorvel/session.set, by default
// ~/.config/quorvel/session.set.
std::filesystem::path sessionFilePath();
