#include "midi/MidiAlerts.h"

MidiAlerts::~MidiAlerts() = default;
