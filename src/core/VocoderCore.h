#pragma once

#include "core/CRandom.h"
#include "core/ChannelMap.h"
#include "core/ControlModel.h"
#include "core/ControlState.h"
#include "core/MidiAssignment.h"
#include "core/Recording.h"
#include "core/SliderBank.h"
#include "engine/ChannelBank.h"
#include "engine/EngineParams.h"
#include "engine/FastCarrierGenerator.h"
#include "engine/FastVocoderKernel.h"
#include "engine/FileBlock.h"

#include <array>
#include <cstddef>
#include <memory>

// Everything the vocoder is apart from its windows and devices: the control values, the
// banks and routing, the engine with its filters, the loaded files, the recording and the
// MIDI table. The dispatcher, the per-block loop, the command-line renderer and the window
// all work on one of these.
//
// Thread: owner (the window in the program, the main thread in the renderer). None of it
// is locked: whoever owns a core calls everything on it (dispatcher, parameter derivation,
// block processing, reading the controls) from one thread at a time.
class VocoderCore {
public:
    // Sets every start value in start-up order and builds the filter bank for the Normal
    // width.
    VocoderCore();
    ~VocoderCore();
    VocoderCore(const VocoderCore&) = delete;
    VocoderCore& operator=(const VocoderCore&) = delete;

    ControlModel controls;
    ControlState state;
    std::array<SliderBank, kBankCount> banks;
    std::array<int, kChannels> delayPositions;
    std::array<int, kChannels> etimePositions;
    ChannelMap channelMap;

    ChannelBank filterBank;
    // The optimised kernel and generator; VocoderKernel and CarrierGenerator are the
    // references they are tested against.
    FastVocoderKernel kernel{filterBank};
    FastCarrierGenerator generator{filterBank};
    EngineParams params;

    FileBlockList carrierFile, modulatorFile; // empty = none loaded
    std::size_t carrierFilePos = 0, modulatorFilePos = 0;
    std::unique_ptr<Recording> recording; // null = no recording lists
    // Null: takes are made and freed here (the renderer, tests); the live engine sets one.
    RecordingSupply* recordingSupply = nullptr;

    std::array<MidiAssignment, kMidiSlotCount> midiSlots;
    int midiInChannel = 0;   // 0 OMNI, 1..16 a channel, 17 off
    int midiOutChannel = -1; // 0..15 a channel; anything else sends nothing

    CRandom random; // the one random source: routing, randomize and the block loop's noise

    SliderBank& bank(BankId id) { return banks[static_cast<std::size_t>(id)]; }
    const SliderBank& bank(BankId id) const { return banks[static_cast<std::size_t>(id)]; }
    SliderBank& currentBank() { return bank(state.currentBank); }
    const SliderBank& currentBank() const { return bank(state.currentBank); }

    // The current bank's value as channel slider position p shows it (presets' order).
    double bankValueAt(int position) const { return currentBank().valueAtPosition(position); }

    // Sets the 18 channel sliders to the positions that show the current bank's values,
    // and marks them for repainting.
    void showCurrentBank();
    // The three preset buttons show the current bank's preset names.
    void showPresetNames();
    // Replaces the recording with a new empty take; false (and no recording) when the
    // supply has none ready.
    bool startNewTake();
    // Sets the 18 channel sliders to `positions` and marks them for repainting.
    void setChannelSliders(const std::array<int, kChannels>& positions);
};
