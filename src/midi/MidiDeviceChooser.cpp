#include "midi/MidiDeviceChooser.h"

MidiDeviceChooser::~MidiDeviceChooser() = default;
