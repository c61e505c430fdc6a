#include "engine/ChannelBank.h"

namespace {

// Channel 17 is the T prototype at the full rate; below it A, B, C repeat, one octave
// lower each time, down to A and B at fs/32 for channels 1 and 0.
constexpr ChannelBank::Prototype kPrototypeOf[kChannels] = {
    ChannelBank::Prototype::B, ChannelBank::Prototype::A, // fs/32
    ChannelBank::Prototype::C, ChannelBank::Prototype::B, ChannelBank::Prototype::A, // fs/16
    ChannelBank::Prototype::C, ChannelBank::Prototype::B, ChannelBank::Prototype::A, // fs/8
    ChannelBank::Prototype::C, ChannelBank::Prototype::B, ChannelBank::Prototype::A, // fs/4
    ChannelBank::Prototype::C, ChannelBank::Prototype::B, ChannelBank::Prototype::A, // fs/2
    ChannelBank::Prototype::C, ChannelBank::Prototype::B, ChannelBank::Prototype::A, // fs
    ChannelBank::Prototype::T,
};
constexpr int kOctaveOf[kChannels] = {5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 1, 1, 1, 0, 0, 0, 0};

const coefficients::PrototypeSet& setFor(FilterWidth width) {
    switch (width) {
    case FilterWidth::Narrow: return coefficients::kNarrow;
    case FilterWidth::Wide: return coefficients::kWide;
    case FilterWidth::Normal: break;
    }
    return coefficients::kNormal;
}

} // namespace

ChannelBank::Prototype ChannelBank::prototypeOf(int channel) { return kPrototypeOf[channel]; }

int ChannelBank::octaveOf(int channel) { return kOctaveOf[channel]; }

const coefficients::FourSections& ChannelBank::taps(FilterWidth width, Prototype prototype) {
    const coefficients::PrototypeSet& set = setFor(width);
    switch (prototype) {
    case Prototype::T: return set.t;
    case Prototype::A: return set.a;
    case Prototype::B: return set.b;
    case Prototype::C: break;
    }
    return set.c;
}

int ChannelBank::initialise(bool reinitialise, FilterWidth width) {
    width_ = width;
    ++bandGeneration_;
    // Rebuilt band filters keep their memory: a width change inside a live pass allocates
    // nothing, and restarts them from silence as freeing and making them again would.
    for (int k = 0; k < kChannels; ++k) {
        const coefficients::FourSections& set = taps(width, prototypeOf(k));
        if (reinitialise) {
            modulatorBand[k].reload(set.data(), 4);
            carrierBand[k].reload(set.data(), 4);
        } else {
            modulatorBand[k].init(set.data(), 4);
            carrierBand[k].init(set.data(), 4);
        }
    }
    if (!reinitialise) {
        for (BiquadCascade& filter : envelopeLowpass) filter.init(coefficients::kEnvelopeLowpass.data(), 1);
        sibilanceHighpass.init(coefficients::kSibilanceHighpass.data(), 5);
        for (auto* group : {&modulatorDecimation, &carrierDecimation, &leftInterpolation, &rightInterpolation})
            for (BiquadCascade& filter : *group) filter.init(coefficients::kHalfBandLowpass.data(), 5);
        for (BiquadCascade& filter : generatorDecimation) filter.init(coefficients::kHalfBandLowpass.data(), 5);
    }
    return 0;
}

void ChannelBank::release() {
    auto freeAll = [](auto& filters) {
        for (BiquadCascade& filter : filters) filter.free();
    };
    freeAll(modulatorBand);
    freeAll(carrierBand);
    freeAll(envelopeLowpass);
    sibilanceHighpass.free();
    freeAll(modulatorDecimation);
    freeAll(carrierDecimation);
    freeAll(leftInterpolation);
    freeAll(rightInterpolation);
    freeAll(generatorDecimation);
}
