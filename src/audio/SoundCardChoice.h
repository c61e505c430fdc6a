#pragma once

// What the sound-card dialog's last OK chose: list positions (0 = "None", k = device k - 1),
// the buffer slider (0..100, clamped to 1..50 by the device) and the 16-bit box.
struct SoundCardChoice {
    int inputChoice = 0;
    int outputChoice = 0;
    int bufferSlider = 0;
    bool sixteenBit = false;
};
