#pragma once

// How the other channel sliders follow a moved one while slave move is on.
enum class SlaveMode {
    Parallel, // left drag or MIDI: every other slider moves by the same amount
    Tilt,     // right drag: slider i moves by the amount times its distance from the moved one
};
