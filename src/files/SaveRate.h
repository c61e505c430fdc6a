#pragma once

// The rate a recording is saved at, as the rate dialog returns it: whole kilohertz.
enum class SaveRate : int {
    Rate11025 = 11,
    Rate22050 = 22,
    Rate44100 = 44,
};
