#include "MidiAlerts.h"

MidiAlerts::~MidiAlerts() = default;
