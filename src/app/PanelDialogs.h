#pragma once

#include "files/SaveRate.h"
#include "files/SourceChoice.h"

#include <QPoint>

#include <filesystem>
#include <optional>
#include <string>

class MidiDeviceChooser;
class SoundCardDialog;

// Every modal question the window asks: message boxes, file dialogs, the small dialogs and
// the device dialogs. The program shows real Qt dialogs; tests answer from a script, so
// nothing modal is ever left open in a test.
// Thread: window.
class PanelDialogs {
public:
    static constexpr const char* kTitle = "QUORVEL - 18 Channel Vocoder - version 2.0";

    virtual ~PanelDialogs() = default;

    // A Yes/No question; true for Yes.
    virtual bool question(const std::string& text) = 0;
    enum class SaveAnswer { Save, Discard, Cancel };
    // A question with Save, Discard and Cancel buttons.
    virtual SaveAnswer askToSave(const std::string& text) = 0;
    // A message with an OK button.
    virtual void message(const std::string& text) = 0;
    // The filters come in the form "Description (*.wav)|*.wav|All Files (*.*)|*.*||".
    virtual std::optional<std::filesystem::path> openFile(const std::string& title, const std::string& filter) = 0;
    virtual std::optional<std::filesystem::path> saveFile(const std::string& defaultExtension,
                                                          const std::string& filter) = 0;
    // "Select the Carrier Source" or "Select the Modulator Source"; nothing for Escape.
    virtual std::optional<SourceChoice> selectSource(const std::string& title) = 0;
    virtual std::optional<SaveRate> selectSaveRate() = 0;
    // "Sound Card Device Select" over its model; true when it ended with OK.
    virtual bool soundCard(SoundCardDialog& model) = 0;
    // "MIDI Device Selection", created once and kept.
    virtual MidiDeviceChooser& midiDevices() = 0;
    // What the panel's menu chose: a zoom, or the Air switch flipped.
    struct PanelMenuChoice {
        std::optional<int> zoomPercent;
        bool flipAir = false;
    };
    // The panel's menu at a point of the screen: the zooms (100, 150, 200 %) and the Air
    // switch, each showing how it stands; nothing when the menu is left.
    virtual std::optional<PanelMenuChoice> choosePanelMenu(const QPoint& globalPosition, int currentPercent,
                                                           bool airOn) = 0;
    // The menu of one slider or button, headed by its name: "Learn MIDI controller", and
    // "Forget MIDI controller" when a slot holds it; nothing when the menu is left.
    enum class ControlAction { Learn, Forget };
    virtual std::optional<ControlAction> chooseControlAction(const QPoint& globalPosition, const std::string& name,
                                                             bool assigned) = 0;
    // Opens the manual in the desktop's viewer; false when nothing could show it.
    virtual bool openManual(const std::filesystem::path& page) = 0;
    // The primitives' error box: Yes/No (leaf mode) or OK/Cancel (parent mode); true when
    // the answer asks to terminate.
    virtual bool libraryError(const std::string& title, const std::string& text, bool parentMode) = 0;
};
