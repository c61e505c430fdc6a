#include "MidiEchoTarget.h"

MidiEchoTarget::~MidiEchoTarget() = default;
