#pragma once

#include "files/SaveRate.h"
#include "files/SourceChoice.h"

#include <filesystem>
#include <optional>
#include <string_view>

// Which of the two file players a Load question is for. The questions' texts are for the
// user; whoever answers them without a user (the renderer) goes by this.
enum class WavSlot { Carrier, Modulator };

// The dialogs and message boxes the Load and Save commands need. The window implements
// them with its own widgets; the commands only decide what to ask and in which order.
// Every call is modal: it returns when the user has answered.
// Thread: owner (the window in the program, the main thread in the renderer); the commands
// that call it run there too.
class WavDialogs {
public:
    virtual ~WavDialogs() = default;

    // The filters are in the form "Description (*.wav)|*.wav|All Files (*.*)|*.*||".
    // Returns no path when the user cancels.
    virtual std::optional<std::filesystem::path> openFile(WavSlot slot, std::string_view title,
                                                          std::string_view filter) = 0;
    virtual std::optional<std::filesystem::path> saveFile(std::string_view defaultExtension,
                                                          std::string_view filter) = 0;
    // Returns nothing when the dialog was closed with Escape.
    virtual std::optional<SourceChoice> selectSource(WavSlot slot, std::string_view title) = 0;
    // The "Save File Sampling Rate Select" dialog; nothing when cancelled.
    virtual std::optional<SaveRate> selectSaveRate() = 0;
    // A modal box with an OK button, titled with the application's title.
    virtual void message(std::string_view text) = 0;
};
