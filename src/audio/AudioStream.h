#pragma once

#include "audio/AudioDeviceCatalog.h"
#include "audio/InputRing.h"
#include "audio/OutputRing.h"

#include <memory>

class LiveAir;
#include <stdexcept>
#include <string>

// A failure of the sound system, with the back end's own words.
class AudioDeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One open stream in one direction, feeding or fed by its ring. Every member is called on the
// window's thread; the stream's callback runs the rings' audio side on the audio thread.
// Thread: window.
class AudioStream {
public:
    virtual ~AudioStream() = default;
    virtual void start() = 0; // throws AudioDeviceError
    // Stops at once, dropping what is queued; never waits on a sound server that hangs.
    // When it returns the callback has returned and does not run again before start(), so
    // the rings' audio side may then be touched from the window's thread (cleared, primed).
    // Destroying a stream stops it first.
    virtual void stop() = 0;
    // False once the sound server has gone away under the stream.
    virtual bool isAlive() const = 0;
    // The rate the device actually runs at.
    virtual double rate() const = 0;
    // What the stream adds between a sound arriving and leaving: its period, and with a
    // device at another rate the converters and the wait for a whole engine block.
    virtual double latencySeconds() const = 0;
    // Whether the callback's thread runs with real-time priority (as far as can be told
    // before it has run: what the server or the back end was asked for and granted).
    virtual bool realTime() const = 0;
    // The air band of a stream that runs both directions in one callback at a rate with
    // room above the engine's band; null otherwise.
    virtual LiveAir* air() { return nullptr; }

    // Open a stream on a device; throw AudioDeviceError with the back end's message.
    static std::unique_ptr<AudioStream> openOutput(const AudioDeviceEntry& device, OutputRing& ring);
    static std::unique_ptr<AudioStream> openInput(const AudioDeviceEntry& device, InputRing& ring);
    // Both directions on one device, in one stream.
    static std::unique_ptr<AudioStream> openDuplex(const AudioDeviceEntry& device, OutputRing& output,
                                                   InputRing& input);
    // The rate a stream on `device` runs at: the engine's where the device offers it (a
    // JACK server runs at its own), else the device's preferred rate.
    static double rateFor(const AudioDeviceEntry& device);
    // What a stream on `device` will add between a sound arriving and leaving (its
    // latencySeconds() once open), for the output, the input or both directions.
    static double expectedLatencySeconds(const AudioDeviceEntry& device, bool output, bool input);
    // The rule both give: one period, and where the device is not at the engine's rate the
    // converters' delays and the wait for a whole engine block.
    static double latencyOf(double rate, double periodFrames, double outputDelay, double inputDelay);
    // Whether two catalogue entries are the same device of the same back end.
    static bool sameDevice(const AudioDeviceEntry& a, const AudioDeviceEntry& b);
};
