#pragma once

#include "app/PanelDialogs.h"
#include "audio/SoundCardDialog.h"
#include "midi/MidiDeviceChooser.h"
#include "midi/MidiDeviceSettings.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Answers the window's dialogs from queues a test fills, and records what was asked. A
// question the test did not expect fails the test and is answered as cancelled, so no
// dialog can ever wait for a user.
class ScriptedPanelDialogs final : public PanelDialogs {
public:
    struct Script {
        std::deque<bool> questions;
        std::vector<std::string> questionsAsked;
        std::deque<SaveAnswer> saveAnswers3;
        std::deque<std::optional<PanelMenuChoice>> menus;
        std::vector<bool> airShown; // how the menu showed the Air switch, each time
        // A control's menu: what is chosen, and the names and "assigned" it showed.
        std::deque<std::optional<ControlAction>> controlActions;
        std::vector<std::pair<std::string, bool>> controlMenus;
        std::vector<std::string> openTitles;
        // Runs while a file dialog or the rate dialog is up: what the panel shows meanwhile.
        std::function<void()> whileDialogIsUp;
        std::vector<std::string> messages;
        std::deque<std::optional<std::filesystem::path>> openAnswers, saveAnswers;
        std::deque<std::optional<SourceChoice>> sources;
        std::deque<std::optional<SaveRate>> rates;
        // The sound-card dialog: the list positions to choose, or nothing for Escape;
        // kReturn presses OK on what the dialog shows.
        std::deque<std::optional<SoundCardChoice>> soundCards;
        // What it showed when it opened, each time.
        std::vector<SoundCardChoice> soundCardsShown;
        std::vector<std::vector<std::string>> soundCardOutputs;
        // Runs while the sound-card dialog is up, after its lists were made.
        std::function<void()> whileSoundCardDialogIsUp;
        // Runs while a message box is up, after its text was recorded: what the user or a
        // timer could do in the box's event loop.
        std::function<void()> whileMessageIsUp;
        std::vector<std::filesystem::path> manualsOpened;
        std::vector<std::string> libraryErrors;
        int midiDialogs = 0;
        // What the user does in "MIDI Device Selection", given the device lists.
        std::function<void(const std::vector<std::string>&, const std::vector<std::string>&, MidiDeviceSettings&)>
            midiChoice;
    };

    static constexpr SoundCardChoice kReturn{-1, -1, -1, false};

    explicit ScriptedPanelDialogs(Script& script) : s_(script) {}

    SaveAnswer askToSave(const std::string& text) override {
        s_.questionsAsked.push_back(text);
        if (s_.saveAnswers3.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return SaveAnswer::Cancel;
        }
        const SaveAnswer answer = s_.saveAnswers3.front();
        s_.saveAnswers3.pop_front();
        return answer;
    }
    std::optional<PanelMenuChoice> choosePanelMenu(const QPoint&, int, bool airOn) override {
        s_.airShown.push_back(airOn);
        return take(s_.menus, "panel menu");
    }
    std::optional<ControlAction> chooseControlAction(const QPoint&, const std::string& name, bool assigned) override {
        s_.controlMenus.emplace_back(name, assigned);
        return take(s_.controlActions, "control menu");
    }

    bool question(const std::string& text) override {
        s_.questionsAsked.push_back(text);
        if (s_.questions.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return false;
        }
        const bool answer = s_.questions.front();
        s_.questions.pop_front();
        return answer;
    }
    void message(const std::string& text) override {
        s_.messages.push_back(text);
        if (s_.whileMessageIsUp) s_.whileMessageIsUp();
    }
    std::optional<std::filesystem::path> openFile(const std::string& title, const std::string&) override {
        s_.openTitles.push_back(title);
        dialogIsUp();
        return take(s_.openAnswers, "open-file dialog");
    }
    std::optional<std::filesystem::path> saveFile(const std::string&, const std::string&) override {
        dialogIsUp();
        return take(s_.saveAnswers, "save-file dialog");
    }
    std::optional<SourceChoice> selectSource(const std::string&) override { return take(s_.sources, "source dialog"); }
    std::optional<SaveRate> selectSaveRate() override {
        dialogIsUp();
        return take(s_.rates, "rate dialog");
    }
    bool soundCard(SoundCardDialog& model) override {
        model.open();
        s_.soundCardsShown.push_back({model.inputSelection, model.outputSelection, model.slider, model.sixteenBit});
        s_.soundCardOutputs.push_back(model.outputList());
        if (s_.whileSoundCardDialogIsUp) s_.whileSoundCardDialogIsUp();
        const auto answer = take(s_.soundCards, "sound-card dialog");
        if (!answer) {
            model.escape();
            return false;
        }
        if (answer->outputChoice < 0) {
            model.ok();
            return true;
        }
        model.inputSelection = answer->inputChoice;
        model.outputSelection = answer->outputChoice;
        model.slider = answer->bufferSlider;
        model.sixteenBit = answer->sixteenBit;
        model.ok();
        return true;
    }
    MidiDeviceChooser& midiDevices() override { return chooser_; }
    bool openManual(const std::filesystem::path& page) override {
        s_.manualsOpened.push_back(page);
        return true;
    }
    bool libraryError(const std::string& title, const std::string& text, bool) override {
        s_.libraryErrors.push_back(title + "\n" + text);
        return false;
    }

private:
    void dialogIsUp() {
        // What the panel would paint while the dialog's event loop runs.
        QApplication::processEvents();
        if (s_.whileDialogIsUp) s_.whileDialogIsUp();
    }
    template <typename T>
    std::optional<T> take(std::deque<std::optional<T>>& answers, const char* what) {
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected " << what;
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    struct Chooser final : MidiDeviceChooser {
        explicit Chooser(Script& script) : s(script) {}
        void choose(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                    MidiDeviceSettings& settings) override {
            ++s.midiDialogs;
            if (s.midiChoice) s.midiChoice(inputs, outputs, settings);
        }
        Script& s;
    };

    Script& s_;
    Chooser chooser_{s_};
};
