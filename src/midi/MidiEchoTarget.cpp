#include "midi/MidiEchoTarget.h"

MidiEchoTarget::~MidiEchoTarget() = default;
