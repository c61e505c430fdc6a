#include "RenderJob.h"

#include "core/BlockLoop.h"
#include "core/EngineParamsUpdate.h"
#include "engine/AirBand.h"
#include "files/AirTrack.h"
#include "core/CommandDispatcher.h"
#include "core/ControlTable.h"
#include "core/NullCommandHost.h"
#include "core/VocoderCore.h"
#include "files/BackgroundWavSave.h"
#include "files/TemporaryFile.h"
#include "files/WavDialogs.h"
#include "files/WavFiles.h"
#include "files/WavTexts.h"
#include "session/SettingsFile.h"

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>

namespace {

constexpr const char* kProgram = "quorvel-render";

// "-" for --out is standard output, as for most tools.
std::filesystem::path outputPath(const RenderOptions& options) {
    return options.out == "-" ? std::filesystem::path(TemporaryFile::kStandardOutput)
                              : std::filesystem::path(options.out);
}

std::string outputName(const RenderOptions& options) {
    return options.out == "-" ? "standard output" : options.out;
}

// Buttons that need a dialog, a device or MIDI: a render has none of them.
constexpr ControlId kRefused[] = {control::Rec,          control::Play,         control::Save,
                                  control::Load,         control::Help,         control::LoadSettings,
                                  control::SaveSettings, control::MidiSettings, control::AudioSettings};

// The dialogs answered from the command line: the carrier and modulator files and their
// sources for Load, the rate and the output file for Save.
class CommandLineDialogs final : public WavDialogs {
public:
    CommandLineDialogs(const RenderOptions& options, std::ostream& err) : options_(options), err_(err) {}

    std::optional<std::filesystem::path> openFile(WavSlot slot, std::string_view, std::string_view) override {
        const std::string& path = slot == WavSlot::Carrier ? options_.carrier : options_.modulator;
        current_ = path;
        if (path.empty()) return std::nullopt;
        return std::filesystem::path(path);
    }
    std::optional<std::filesystem::path> saveFile(std::string_view, std::string_view) override {
        current_ = outputName(options_);
        return outputPath(options_);
    }
    std::optional<SourceChoice> selectSource(WavSlot slot, std::string_view) override {
        return slot == WavSlot::Carrier ? options_.carrierSource : options_.modulatorSource;
    }
    std::optional<SaveRate> selectSaveRate() override { return options_.rate; }
    void message(std::string_view text) override {
        err_ << kProgram << ": " << current_ << ": " << text << '\n';
        failed = true;
    }
    // A failure of the save made while rendering, said as the Save command would say it.
    void saveFailed(std::string_view text) {
        current_ = outputName(options_);
        message(text);
    }

    bool failed = false;

private:
    const RenderOptions& options_;
    std::ostream& err_;
    std::string current_;
};

// The recording written to the output file while the render makes it, on the other core
// (see BackgroundWavSave). The take that was recording when the render began is not kept:
// its blocks go straight to the save, so that memory does not grow with the render, and
// this save is the only one there can be. Only when the file cannot be begun is the take
// kept, for Save to try the ordinary way and say what fails. If the take is replaced
// meanwhile, the new one is kept and saved the ordinary way, unless the old one went into
// a stream (a pipe, standard output, a device), where what went out cannot be taken back.
class EarlySave final : public TakeStream {
public:
    enum class Outcome { Saved, SaveAgain, Failed };

    // `passes`: how many blocks the take will have, which a stream's header states.
    EarlySave(const RenderOptions& options, VocoderCore& core, std::size_t passes, AirTrack* air) : core_(core) {
        if (!core.state.recordOn || !core.recording) return;
        take_ = core.recording.get();
        save_ = std::make_unique<BackgroundWavSave>(outputPath(options), options.rate);
        save_->setAir(air);
        if (!save_->start(passes)) {
            save_.reset();
            return;
        }
        take_->stream = this;
    }
    ~EarlySave() override { release(); }
    EarlySave(const EarlySave&) = delete;
    EarlySave& operator=(const EarlySave&) = delete;

    void recorded(const std::array<double, BLOCK_SIZE>& left, const std::array<double, BLOCK_SIZE>& right) override {
        save_->add(left, right);
    }

    // After each block: whether the take is still the one this save follows.
    void follow() {
        if (!save_ || core_.recording.get() == take_) return;
        // The old take is gone with its stream pointer.
        lost_ = true;
        take_ = nullptr;
        inPlace_ = save_->inPlace();
        save_.reset();
    }

    // Whether a write has failed: with nothing kept, rendering on would be for nothing.
    bool broken() const { return save_ && save_->failed(); }

    // At Save: whether the file is written, complete and in place, or is to be saved the
    // ordinary way, or cannot be.
    Outcome finish() {
        follow();
        if (lost_) {
            // A file can still take the new take; a stream has had part of the old one.
            if (!inPlace_) return Outcome::SaveAgain;
            failure_ = wavTexts::saveStepMessage(wavTexts::SaveStep::WriteData);
            return Outcome::Failed;
        }
        if (!save_) return Outcome::SaveAgain;
        release();
        const Outcome outcome = save_->finish() ? Outcome::Saved : Outcome::Failed;
        failure_ = save_->failure();
        save_.reset();
        return outcome;
    }

    // What failed, once known (broken() or finish()).
    std::string_view failure() const { return save_ ? save_->failure() : failure_; }

private:
    // The take records into its lists again (a save after this one keeps what follows).
    void release() {
        if (take_ && take_->stream == this) take_->stream = nullptr;
    }

    VocoderCore& core_;
    Recording* take_ = nullptr;
    std::unique_ptr<BackgroundWavSave> save_;
    bool inPlace_ = false;
    bool lost_ = false; // the take was replaced while this save carried it
    std::string_view failure_;
};

// The world around the dispatcher during a render: no device, no display, no MIDI; only
// Load and Save do anything, answered from the command line.
class RenderHost final : public NullCommandHost {
public:
    RenderHost(VocoderCore& core, CommandLineDialogs& dialogs) : core_(core), dialogs_(dialogs) {}

    void loadWavFiles() override { ::loadWavFiles(core_.modulatorFile, core_.carrierFile, dialogs_); }
    void saveRecording() override {
        if (early) {
            switch (early->finish()) {
            case EarlySave::Outcome::Saved:
                saved = true;
                return;
            case EarlySave::Outcome::Failed:
                // Nothing said means nothing was handed over, which the caller reports.
                if (!early->failure().empty()) dialogs_.saveFailed(early->failure());
                return;
            case EarlySave::Outcome::SaveAgain:
                break;
            }
        }
        if (core_.recording) saved = ::saveRecording(core_.recording->left, core_.recording->right, dialogs_);
    }

    EarlySave* early = nullptr;
    bool saved = false;

private:
    VocoderCore& core_;
    CommandLineDialogs& dialogs_;
};

class RenderEvents final : public BlockEvents {
public:
    explicit RenderEvents(std::ostream& err) : err_(err) {}
    void showMessage(std::string_view text) override {
        err_ << kProgram << ": " << text << '\n';
        failed = true;
    }
    bool failed = false;

private:
    std::ostream& err_;
};

// The air band for --air: the modulator file read again, keeping its own rate. Null, with a
// note, where there is nothing above the engine's band to add.
std::unique_ptr<AirTrack> airTrack(const RenderOptions& o, VocoderCore& core, CommandLineDialogs& dialogs,
                                   std::ostream& err) {
    NativeSamples native;
    FileBlockList unused;
    dialogs.openFile(WavSlot::Modulator, {}, {}); // so that a message names the file
    if (!readWavFile(o.modulator, o.modulatorSource, unused, dialogs, &native)) return nullptr;
    const int doublings = o.rate == SaveRate::Rate44100 ? 2 : o.rate == SaveRate::Rate22050 ? 1 : 0;
    if (!AirTrack::hasAir(native.rate, kEngineRate * (1 << doublings))) {
        err << kProgram << ": --air adds nothing here: " << (doublings == 0 ? "the file is saved at 11025 Hz"
                                                                                  : "the modulator has no band above 5.6 kHz")
                  << '\n';
        return nullptr;
    }
    // The gain the first pass will use: the band is laid on the sibilance band from the start.
    updateEngineParams(core);
    return std::make_unique<AirTrack>(std::move(native.samples), native.rate, doublings,
                                      AirBand::gainOf(core.params, core.filterBank.width()));
}

void drawProgress(std::ostream& err, long long done, long long total) {
    constexpr int kWidth = 40;
    const int filled = total > 0 ? int(kWidth * done / total) : 0;
    err << "\r[" << std::string(std::size_t(filled), '#') << std::string(std::size_t(kWidth - filled), ' ')
        << "] " << (total > 0 ? 100 * done / total : 0) << "%" << std::flush;
}

} // namespace

int RenderJob::run() {
    const RenderOptions& o = options_;

    // Every name is checked before any work, so a typing error costs nothing.
    for (const RenderAction& action : o.actions) {
        const ControlId id = controlIdByName(action.name);
        if (id < 0) {
            err_ << kProgram << ": no control is named \"" << action.name << "\"\n";
            return kUsageError;
        }
        const ControlKind kind = kControlTable[static_cast<std::size_t>(id)].kind;
        const bool slider = kind == ControlKind::ParameterSlider || kind == ControlKind::ChannelSlider;
        if (action.kind == RenderAction::Kind::Set && !slider) {
            err_ << kProgram << ": \"" << action.name << "\" is a button: use --press\n";
            return kUsageError;
        }
        if (action.kind == RenderAction::Kind::Press) {
            if (slider) {
                err_ << kProgram << ": \"" << action.name << "\" is a slider: use --set NAME=POSITION\n";
                return kUsageError;
            }
            for (ControlId refused : kRefused) {
                if (id == refused) {
                    err_ << kProgram << ": \"" << action.name
                         << "\" needs a dialog, a sound card or MIDI and cannot be pressed in a render\n";
                    return kUsageError;
                }
            }
        }
    }

    VocoderCore core;
    core.random.seed(o.seed);
    CommandLineDialogs dialogs(o, err_);
    RenderHost host(core, dialogs);
    CommandDispatcher dispatcher(core, host);
    auto press = [&](ControlId id) { dispatcher.dispatch(id + kCommandFirst - kFirstButtonControl); };

    if (!o.settings.empty() && !LoadSettings(core, dispatcher, o.settings)) {
        err_ << kProgram << ": " << o.settings << ": Cannot read file!\n";
        return kFileError;
    }
    if (!o.carrier.empty() || !o.modulator.empty()) {
        press(control::Load);
        if (dialogs.failed) return kFileError;
    }
    // A settings file saved while recording (and no Load to darken REC) has REC lit already:
    // a press would stop the take before it began.
    if (!core.state.recordOn) press(control::Rec);
    if (!o.carrier.empty()) press(control::PlayCarrier);
    if (!o.modulator.empty()) press(control::PlayModulator);
    if (o.repeatCarrier) press(control::RepeatCarrier);
    if (o.repeatModulator) press(control::RepeatModulator);
    for (const RenderAction& action : o.actions) {
        const ControlId id = controlIdByName(action.name);
        if (action.kind == RenderAction::Kind::Set)
            core.controls.setSlider(sliderIndexOf(id), action.position);
        else
            press(id);
    }

    RenderEvents events(err_);
    BlockLoop loop(core, events);
    loop.setDither(o.dither);
    loop.setDeviceOutput(false); // only the recording is kept
    const bool byModulator = !o.modulator.empty();
    // Known exactly before the first pass, as the loop below ends: at least one pass, and
    // with a file, the one that takes its last block (or the first, when it does not play).
    const long long total =
        o.blocks ? *o.blocks
                 : std::max<long long>(1, static_cast<long long>(byModulator ? loop.modulatorBlocksLeft()
                                                                              : loop.carrierBlocksLeft()));
    std::unique_ptr<AirTrack> air;
    if (o.air && !o.modulator.empty()) {
        air = airTrack(o, core, dialogs, err_);
        if (dialogs.failed) return kFileError;
    }
    EarlySave early(o, core, static_cast<std::size_t>(total), air.get());
    host.early = &early;
    OutputBuffer out;
    long long done = 0;
    const long long progressStep = std::max(1LL, total / 200);
    for (;;) {
        loop.updateParameters();
        loop.process(nullptr, true, out);
        early.follow();
        ++done;
        if (events.failed) return kFileError;
        if (early.broken()) {
            if (showProgress_) err_ << '\n';
            dialogs.saveFailed(early.failure());
            return kFileError;
        }
        if (showProgress_ && done % progressStep == 0) drawProgress(err_, done, total);
        if (o.blocks) {
            if (done >= *o.blocks) break;
        } else if (byModulator) {
            // The pass that used the last block ends the render; so does a file that stopped
            // playing some other way (a pressed PMod, a settings file), which would never end.
            if (loop.usedLastModulatorBlock() || !core.state.playModulatorFile) break;
        } else if (loop.usedLastCarrierBlock() || !core.state.playCarrierFile) {
            break;
        }
    }
    if (showProgress_) {
        drawProgress(err_, done, done);
        err_ << '\n';
    }

    press(control::Save);
    if (dialogs.failed || !host.saved) {
        if (!dialogs.failed) err_ << kProgram << ": " << outputName(o) << ": nothing was recorded\n";
        return kFileError;
    }
    if (!o.saveSettings.empty()) {
        std::string error;
        if (!SaveSettings(core, o.saveSettings, &error)) {
            err_ << kProgram << ": " << error << '\n';
            return kFileError;
        }
    }
    return kSuccess;
}
