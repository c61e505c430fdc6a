#include "audio/LiveEngine.h"

#include "engine/AirBand.h"

#include "core/EngineParamsUpdate.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Spare takes the window keeps ready, and how far ahead of the recording it makes chunks:
// a stalled window has these many blocks (about 6 s) before REC runs out of room.
constexpr std::size_t kSpareTakes = 2;
constexpr std::size_t kRecordAhead = 2 * RecordBlockList::kChunkBlocks;

} // namespace

// Whatever a command carries that is too big for the queue: it goes to the core's owner
// and comes back (holding whatever it replaced) for the window to free.
struct LiveEngine::Parcel {
    std::optional<FileBlockList> modulator;
    std::optional<FileBlockList> carrier;
    std::string text;
};

void PanelImage::capture(const VocoderCore& core) {
    controls = core.controls;
    state = core.state;
    banks = core.banks;
    delayPositions = core.delayPositions;
    etimePositions = core.etimePositions;
    channelMap = core.channelMap;
    midiSlots = core.midiSlots;
    midiInChannel = core.midiInChannel;
    midiOutChannel = core.midiOutChannel;
    take = core.recording.get();
}

void PanelImage::copyTo(VocoderCore& core) const {
    core.controls = controls;
    core.state = state;
    core.banks = banks;
    core.delayPositions = delayPositions;
    core.etimePositions = etimePositions;
    core.channelMap = channelMap;
    core.midiSlots = midiSlots;
    core.midiInChannel = midiInChannel;
    core.midiOutChannel = midiOutChannel;
}

LiveEngine::LiveEngine(VocoderCore& core, Hooks& hooks, WakeupSignal& wake)
    : core_(core), hooks_(hooks), wake_(wake) {
    core_.recordingSupply = this;
    waiting_.reserve(256);
    topUpTakes();
    publish(true);
    images_.take();
}

LiveEngine::~LiveEngine() {
    core_.recordingSupply = nullptr;
    Command command;
    while (commands_.pop(command)) delete command.parcel;
    Event event;
    while (events_.pop(event)) {
        delete event.parcel;
        if (event.kind == Event::Kind::RetireTake) retiredTakes_.push_back(event.take);
    }
    for (Recording* take : retiredTakes_) delete take;
    Recording* spare;
    while (spareTakes_.pop(spare)) delete spare;
}

// ---- Window: commands -------------------------------------------------------------------

void LiveEngine::post(const Command& command) {
    if (!commands_.push(command)) {
        overflows_.fetch_add(1, std::memory_order_relaxed);
        delete command.parcel;
        return;
    }
    ++posted_;
    if (!audioOwns_) applyHere();
}

void LiveEngine::press(int commandId) {
    Command c;
    c.kind = Command::Kind::Press;
    c.a = commandId;
    post(c);
}

void LiveEngine::doubleClick(int commandId) {
    Command c;
    c.kind = Command::Kind::DoubleClick;
    c.a = commandId;
    post(c);
}

void LiveEngine::moveSlider(int index, int position, SlaveMode mode) {
    Command c;
    c.kind = Command::Kind::Slider;
    c.a = index;
    c.b = position;
    c.c = static_cast<int>(mode);
    post(c);
}

void LiveEngine::setChannelMap(const ChannelMap& map) {
    Command c;
    c.kind = Command::Kind::Map;
    c.map = map;
    post(c);
}

void LiveEngine::midi(const std::array<std::uint8_t, 3>& bytes, std::uint8_t size) {
    Command c;
    c.kind = Command::Kind::Midi;
    c.bytes = bytes;
    c.a = size;
    post(c);
}

void LiveEngine::replaceFiles(std::optional<FileBlockList> modulator, std::optional<FileBlockList> carrier) {
    Command c;
    c.kind = Command::Kind::Files;
    c.parcel = new Parcel{std::move(modulator), std::move(carrier), {}};
    post(c);
}

void LiveEngine::applySettings(std::string text) {
    Command c;
    c.kind = Command::Kind::Settings;
    c.parcel = new Parcel{{}, {}, std::move(text)};
    post(c);
}

void LiveEngine::setMidiTable(const std::array<MidiAssignment, kMidiSlotCount>& slots, int inChannel,
                              int outChannel) {
    Command c;
    c.kind = Command::Kind::MidiTable;
    c.slots = slots;
    c.a = inChannel;
    c.b = outChannel;
    post(c);
}

void LiveEngine::setAudioOwnsCore(bool audio) {
    audioOwns_ = audio;
    // Whatever the last passes left in the queue is the window's to apply now.
    if (!audio) applyHere();
}

VocoderCore& LiveEngine::ownedCore() { return core_; }
CommandDispatcher& LiveEngine::ownedDispatcher() { return dispatcher_; }

void LiveEngine::applyHere() {
    applyCommands();
    publish(true);
}

// ---- Window: what comes back ------------------------------------------------------------

bool LiveEngine::service(Listener& listener) {
    if (!audioOwns_) applyHere();
    // Events first, then the image: a pass sends its events after its image, so the image
    // taken now is at least as new as every event taken.
    Event event;
    while (events_.pop(event)) {
        switch (event.kind) {
        case Event::Kind::Retire:
            delete event.parcel;
            break;
        case Event::Kind::RetireTake:
            retiredTakes_.push_back(event.take);
            break;
        default:
            waiting_.push_back(event);
            break;
        }
    }
    const bool fresh = images_.take();
    freeRetired();
    topUpTakes();
    if (servicing_ > 0) return fresh;
    ++servicing_;
    // A listener's dialog may service again; what it raises waits behind these.
    for (std::size_t i = 0; i < waiting_.size(); ++i) {
        const Event e = waiting_[i];
        switch (e.kind) {
        case Event::Kind::Request: listener.request(e.request); break;
        case Event::Kind::SendControl: listener.sendControl(e.a, e.b); break;
        case Event::Kind::Message: listener.message(std::string_view(e.text.data())); break;
        default: break;
        }
    }
    waiting_.clear();
    --servicing_;
    return fresh;
}

void LiveEngine::freeRetired() {
    // A take the newest image still names may be what the window is looking at.
    const Recording* current = images_.front().take;
    auto kept = std::remove_if(retiredTakes_.begin(), retiredTakes_.end(), [&](Recording* take) {
        if (take == current || take == keptTake_) return false;
        delete take;
        return true;
    });
    retiredTakes_.erase(kept, retiredTakes_.end());
}

void LiveEngine::topUpTakes() {
    while (spareTakes_.size() < kSpareTakes) {
        auto take = std::make_unique<Recording>();
        take->left.setGrowsOnDemand(false);
        take->right.setGrowsOnDemand(false);
        if (!take->left.reserveAhead(kRecordAhead) || !take->right.reserveAhead(kRecordAhead)) return;
        if (!spareTakes_.push(take.get())) return;
        take.release();
    }
    // The take being recorded gets its room ahead of time; a take retired since the image
    // was made is still alive (freeRetired keeps it), so this never touches a freed one.
    if (Recording* take = images_.front().take) {
        take->left.reserveAhead(kRecordAhead);
        take->right.reserveAhead(kRecordAhead);
    }
}

// ---- The core's owner: the pass -----------------------------------------------------------

void LiveEngine::beginPass() noexcept {
    applyCommands();
    hooks_.takeMidiInput();
    loop_.updateParameters();
}

void LiveEngine::endPass() noexcept {
    passes_.fetch_add(1, std::memory_order_relaxed);
    const Overloads& o = loop_.overloads();
    const bool flags[4] = {o.carrier, o.modulator, o.left, o.right};
    bool overloaded = false;
    for (int i = 0; i < 4; ++i) {
        if (flags[i]) ++overloadCounts_[static_cast<std::size_t>(i)];
        overloaded |= flags[i];
    }
    // A lamp going on or off is worth a look; a lasting overload shows at the next one.
    if (overloaded != lastOverloaded_) wakeWindow_ = true;
    lastOverloaded_ = overloaded;
    const ControlState& s = core_.state;
    airGain_ = s.playModulatorFile ? 0.0f : static_cast<float>(AirBand::gainOf(core_.params, core_.filterBank.width()));
    airChannel_ = s.inputMode == 0 || s.inputMode == 2 ? 0 : 1;
    publish(false);
}

void LiveEngine::applyCommands() noexcept {
    Command command;
    while (commands_.pop(command)) {
        apply(command);
        ++commandsApplied_;
    }
}

void LiveEngine::apply(Command& command) noexcept {
    switch (command.kind) {
    case Command::Kind::Press:
        // The banks follow the sliders once per pass; a command sees them as they are now.
        updateEngineParams(core_);
        dispatcher_.dispatch(command.a);
        break;
    case Command::Kind::DoubleClick:
        dispatcher_.doubleClick(command.a);
        break;
    case Command::Kind::Slider:
        if (command.a < kChannelSliderCount)
            dispatcher_.moveChannelSlider(command.a, command.b, static_cast<SlaveMode>(command.c));
        else
            core_.controls.setSlider(command.a, command.b);
        break;
    case Command::Kind::Map:
        core_.channelMap = command.map;
        break;
    case Command::Kind::Midi:
        hooks_.midi(command.bytes, static_cast<std::uint8_t>(command.a));
        break;
    case Command::Kind::Files:
        // Swapped, not copied: the old files leave with the parcel.
        if (command.parcel->modulator) std::swap(core_.modulatorFile, *command.parcel->modulator);
        if (command.parcel->carrier) std::swap(core_.carrierFile, *command.parcel->carrier);
        break;
    case Command::Kind::Settings:
        hooks_.applySettings(core_, dispatcher_, command.parcel->text);
        break;
    case Command::Kind::MidiTable:
        core_.midiSlots = command.slots;
        core_.midiInChannel = command.a;
        core_.midiOutChannel = command.b;
        break;
    }
    if (command.parcel) {
        Event e;
        e.kind = Event::Kind::Retire;
        e.parcel = command.parcel;
        raise(e);
    }
}

void LiveEngine::raise(const Event& event) noexcept {
    if (raisedCount_ == raised_.size()) {
        // Only a flood of MIDI echo can fill this; what must not be lost (parcels and takes
        // to free) goes straight out.
        if (event.kind == Event::Kind::Retire || event.kind == Event::Kind::RetireTake) {
            if (!events_.push(event)) overflows_.fetch_add(1, std::memory_order_relaxed);
        } else {
            overflows_.fetch_add(1, std::memory_order_relaxed);
        }
        return;
    }
    raised_[raisedCount_++] = event;
}

void LiveEngine::publish(bool always) noexcept {
    if (core_.controls.revision() != shownRevision_) {
        shownRevision_ = core_.controls.revision();
        wakeWindow_ = true;
    }
    if (raisedCount_ > 0) wakeWindow_ = true;
    // An image nobody is woken for would never be looked at: most passes change nothing
    // the panel shows, and the display is due every 18th.
    if (!always && !wakeWindow_) return;
    PanelImage& image = images_.back();
    image.capture(core_);
    image.overloadCounts = overloadCounts_;
    image.spectrum = spectrum_;
    image.spectrumCount = spectrumCount_;
    image.passes = passes_.load(std::memory_order_relaxed);
    image.commandsApplied = commandsApplied_;
    images_.publish();
    for (std::size_t i = 0; i < raisedCount_; ++i)
        if (!events_.push(raised_[i])) overflows_.fetch_add(1, std::memory_order_relaxed);
    raisedCount_ = 0;
    if (wakeWindow_) wake_.signal();
    wakeWindow_ = false;
}

void LiveEngine::request(Request what) noexcept {
    Event e;
    e.kind = Event::Kind::Request;
    e.request = what;
    raise(e);
}

void LiveEngine::sendControl(int controller, int value) {
    Event e;
    e.kind = Event::Kind::SendControl;
    e.a = controller;
    e.b = value;
    raise(e);
}

void LiveEngine::showMessage(std::string_view text) {
    Event e;
    e.kind = Event::Kind::Message;
    const std::size_t n = std::min(text.size(), e.text.size() - 1);
    std::memcpy(e.text.data(), text.data(), n);
    e.text[n] = '\0';
    raise(e);
}

void LiveEngine::spectrumDue(const std::array<double, kChannels>& values) {
    spectrum_ = values;
    ++spectrumCount_;
    wakeWindow_ = true;
}

std::unique_ptr<Recording> LiveEngine::freshTake() noexcept {
    Recording* take = nullptr;
    if (spareTakes_.pop(take)) return std::unique_ptr<Recording>(take);
    // The window could not make one (or has not come by for seconds): REC stays dark.
    showMessage("Not enough memory for rec buffer");
    return nullptr;
}

void LiveEngine::retireTake(std::unique_ptr<Recording> take) noexcept {
    Event e;
    e.kind = Event::Kind::RetireTake;
    e.take = take.release();
    raise(e);
}
