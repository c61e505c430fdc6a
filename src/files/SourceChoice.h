#pragma once

// Which part of a WAV file's channels becomes the mono carrier or modulator. The values are
// those the source-select dialogs return; a mono file always reads as LeftPlusRight.
enum class SourceChoice : int {
    None = 0,          // keep whatever the slot holds
    LeftPlusRight = 1, // (L + R) / 2
    Left = 2,
    Right = 3,
    LeftMinusRight = 4, // (L - R) / 2: what is not in the middle of a stereo mix
};
