#include "MidiDeviceChooser.h"

MidiDeviceChooser::~MidiDeviceChooser() = default;
