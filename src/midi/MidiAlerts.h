#pragma once

#include <string>

// Where the MIDI ports show their failures: modal message boxes in the program, a list in
// the tests. Failures are shown at once and work goes on; nothing is retried.
// Thread: window. Called from inside the MidiLink call that failed.
class MidiAlerts {
public:
    virtual ~MidiAlerts();

    // A port could not be opened.
    virtual void error(const std::string& text) = 0;
    // A port reported a failure while closing.
    virtual void warning(const std::string& text) = 0;
};
