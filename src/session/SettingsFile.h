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
// The same for any text: the folder is made when needed, and the file replaced only whole.
bool writeWholeFile(const std::filesystem::path& path, std::string_view text, std::string* error = nullptr);

// Who asked for a load. A session never starts a recording by itself: loaded from the
// session, REC stays as it is whatever the file says.
enum class SettingsSource { UserFile, Session };

// Applies a file: sliders, then the latched buttons through the dispatcher exactly as
// clicks, then routing, bank values, MIDI slots and channels. A line that is missing or
// does not parse leaves its item as it was. False only when the file cannot be opened.
bool LoadSettings(VocoderCore& core, CommandDispatcher& dispatcher, const std::filesystem::path& path,
                  SettingsSource source = SettingsSource::UserFile);
void loadSettingsText(VocoderCore& core, CommandDispatcher& dispatcher, std::string_view text,
                      SettingsSource source = SettingsSource::UserFile);
// Whether a text has the layout of a settings file: every line the form of its section
// (two integers, or one number in the bank section), sliders and routing entries within
// their ranges, nothing after the last section but empty lines. A file cut short after
// whole lines still reads as one; an empty text, a WAV file or any other text does not.
// The loader itself takes any text line by line; the window asks this first, so that
// something that is not a settings file changes nothing at all.
bool readsAsSettings(std::string_view text);
// The lines of a file as loadSettingsText reads them (each cut to its room, LF-ended), so
// that the file can be read on one thread and applied on another: applying a text never
// allocates. False when the file cannot be opened.
bool readSettingsText(const std::filesystem::path& path, std::string& text);

// Where the session is kept: $XDG_CONFIG_HOME/quorvel/session.set, by default
// ~/.config/quorvel/session.set (beside the preferences).
std::filesystem::path sessionFilePath();
