#pragma once

#include "app/PanelDialogs.h"

#include <memory>

class MidiDeviceDialog;
class QWidget;

// The real dialogs, over the main window.
// Thread: window.
class QtPanelDialogs final : public PanelDialogs {
public:
    explicit QtPanelDialogs(QWidget* parent);
    ~QtPanelDialogs() override;

    bool question(const std::string& text) override;
    SaveAnswer askToSave(const std::string& text) override;
    std::optional<PanelMenuChoice> choosePanelMenu(const QPoint& globalPosition, int currentPercent,
                                                   bool airOn) override;
    std::optional<ControlAction> chooseControlAction(const QPoint& globalPosition, const std::string& name,
                                                     bool assigned) override;
    void message(const std::string& text) override;
    std::optional<std::filesystem::path> openFile(const std::string& title, const std::string& filter) override;
    std::optional<std::filesystem::path> saveFile(const std::string& defaultExtension,
                                                  const std::string& filter) override;
    std::optional<SourceChoice> selectSource(const std::string& title) override;
    std::optional<SaveRate> selectSaveRate() override;
    bool soundCard(SoundCardDialog& model) override;
    MidiDeviceChooser& midiDevices() override;
    bool openManual(const std::filesystem::path& page) override;
    bool libraryError(const std::string& title, const std::string& text, bool parentMode) override;

    // "Vocoder WAV Files (*.wav)|*.wav|All Files (*.*)|*.*||" in Qt's syntax:
    // "Vocoder WAV Files (*.wav);;All Files (*.*)".
    static std::string qtFilter(const std::string& filter);

private:
    QWidget* parent_;
    std::unique_ptr<MidiDeviceDialog> midi_;
};
