#pragma once

#include "audio/LiveEngine.h"
#include "audio/LowDelayResampler.h"
#include "core/BlockEvents.h"
#include "core/BlockLoop.h"
#include "core/CommandDispatcher.h"
#include "core/ControlTable.h"
#include "core/NullCommandHost.h"
#include "core/VocoderCore.h"
#include "core/WaveBuffers.h"
#include "engine/AirBand.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The vocoder inside a plugin host's audio callback instead of a sound card's: each call
// brings any number of frames at the host's rate and takes as many back. The frames go
// through the live streams' low-delay converter to the engine's rate, gather into blocks,
// and each full block runs one pass of the same core, dispatcher and block loop the
// program and the renderer run; its sound comes back a fixed delay later
// (latencyFrames()), so a host can line it up with the tracks around it.
//
// At 11025 Hz nothing is converted and the delay is one block: the output is then the
// renderer's, sample for sample, for the same two signals and presses (the random numbers
// start from the renderer's seed).
//
// Thread: stopped (making it and reset(): they allocate), audio (process() and everything
// that changes the core: the host's run() owns it), any (the counts).
class HostedEngine {
public:
    // Thread: any. The engine's own rate, or one the low-delay converter serves.
    static bool supports(double hostRate);

    // Thread: stopped. Throws std::invalid_argument for a rate supports() refuses.
    explicit HostedEngine(double hostRate);
    ~HostedEngine();
    HostedEngine(const HostedEngine&) = delete;
    HostedEngine& operator=(const HostedEngine&) = delete;

    // Thread: stopped. Silence in the converters and the block being gathered, as after
    // construction; the controls and banks stay as they are.
    void reset();

    // Thread: audio (the core's owner).
    VocoderCore& core() noexcept { return core_; }
    CommandDispatcher& dispatcher() noexcept { return dispatcher_; }
    // A press of a button control, as a click on the panel.
    void press(ControlId id) noexcept;
    // Slider `index` (0..24, ControlTable's order) moved to `position`, as a drag on the
    // panel: with slave move on, the other channel sliders follow in parallel.
    void moveSlider(int index, int position) noexcept;

    // Thread: audio. `frames` frames of each channel, any number; the outputs may be the
    // inputs' buffers.
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                 std::size_t frames) noexcept;

    // Thread: audio. The air band on or off (off: the output is the engine's alone, bit
    // for bit). At the engine's own rate there is no room above its band: nothing changes.
    void setAir(bool on) noexcept;
    bool air() const noexcept { return airOn_; }
    // Thread: any. How many frames the air band lags the modulator: the engine path's delay
    // where the two bands meet (0 where there is no air band).
    std::size_t airDelayFrames() const { return airDelay_; }

    // Thread: audio. A copy of what a saved state holds, for a host that saves while the
    // passes run; made after anything changed the controls.
    void publishImage() noexcept;
    // Thread: any (one thread at a time, never the audio thread). The newest copy published.
    const PanelImage& image() noexcept;

    // Thread: any. How many host frames the output lags the input.
    std::uint32_t latencyFrames() const { return latency_; }
    std::uint64_t passes() const { return passes_.load(std::memory_order_relaxed); }
    // Output frames that were due before the engine had made them (played as silence).
    std::uint64_t underruns() const { return underruns_.load(std::memory_order_relaxed); }

private:
    class QuietEvents final : public BlockEvents {
        // No window to show a message in; nothing the hosted controls reach raises one.
        void showMessage(std::string_view) override {}
    };

    // Thread: audio. Interleaved engine-rate frames through the blocks, one pass per full one.
    void engineFrames(const float* in, float* out, std::size_t frames) noexcept;
    void convertedChunk(std::size_t frames) noexcept;
    void addAir(float* outLeft, float* outRight, std::size_t frames) noexcept;

    double rate_;
    VocoderCore core_;
    NullCommandHost host_;
    QuietEvents events_;
    CommandDispatcher dispatcher_{core_, host_};
    BlockLoop loop_{core_, events_};

    InputBuffer input_{};
    OutputBuffer output_{};
    int position_ = 0; // frames of the block being gathered

    std::unique_ptr<LowDelayResampler> down_, up_;
    std::vector<float> hostFrames_;   // one chunk, interleaved
    std::vector<float> engineIn_, engineOut_;
    // Converted output made and not yet handed back, primed with enough silence that the
    // converters' uneven output never leaves a call short.
    std::vector<float> fifo_;
    std::size_t fifoFrames_ = 0;
    std::size_t prime_ = 0;
    std::uint32_t latency_ = kWaveBufferFrames;

    // The modulator's top band at the host's rate, held back by the latency; null at rates
    // with no room above the engine's band.
    std::unique_ptr<AirBand> airBand_;
    std::vector<float> airIn_, airOut_;
    bool airOn_ = false;
    std::size_t airDelay_ = 0;

    TripleBuffer<PanelImage> images_;

    std::atomic<std::uint64_t> passes_{0};
    std::atomic<std::uint64_t> underruns_{0};
};
