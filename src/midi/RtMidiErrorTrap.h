#pragma once

#include <rtmidi/RtMidi.h>
#include <string>

// Collects what an RtMidi object reports through its error callback, so that a failure
// comes back to the caller as a code instead of a printed line or an exception thrown
// from inside the library.
//
// Thread: window. RtMidi calls the callback on the thread of the call that failed; the
// ports here only make calls that can fail (open, close, enumeration) from the window,
// never from RtMidi's input thread.
class RtMidiErrorTrap {
public:
    // Routes `midi`'s reports here for as long as both live.
    void attach(RtMidi& midi) { midi.setErrorCallback(&RtMidiErrorTrap::report, this); }

    // Forgets what was reported so far.
    void clear();
    // The code of the first failure reported since clear(), 0 when there was none. RtMidi
    // reports some failures (a JACK server that does not answer) as warnings, so every
    // report but a debugging note counts.
    int code() const { return code_; }
    const std::string& text() const { return text_; }

    // The error code that stands closest to an RtMidi failure.
    static int codeOf(RtMidiError::Type type);

private:
    static void report(RtMidiError::Type type, const std::string& text, void* self);

    int code_ = 0;
    std::string text_;
};
