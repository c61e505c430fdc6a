#include "core/NullCommandHost.h"

void NullCommandHost::pauseOutput() {}
void NullCommandHost::resumeOutput() {}
void NullCommandHost::loadWavFiles() {}
void NullCommandHost::saveRecording() {}
void NullCommandHost::loadSettings() {}
void NullCommandHost::saveSettings() {}
void NullCommandHost::openHelp() {}
void NullCommandHost::toggleDisplayMode() {}
void NullCommandHost::configureMidi() {}
void NullCommandHost::reopenAudio() {}
void NullCommandHost::channelMapChanged() {}
bool NullCommandHost::midiEchoReady() {
    return false;
}
void NullCommandHost::sendControl(int, int) {}
