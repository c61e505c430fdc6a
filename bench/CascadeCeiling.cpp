#include "CascadeCeiling.h"

#include "engine/ChannelBank.h"

int blockLaneSections(const ChannelBank& bank) {
    int total = 0;
    for (int k = 0; k < kChannels; ++k) {
        const int samples = BLOCK_SIZE >> ChannelBank::octaveOf(k);
        total += samples * (bank.modulatorBand[k].sections() + bank.envelopeLowpass[k].sections() +
                            bank.carrierBand[k].sections());
    }
    for (int o = 0; o + 1 < kOctaves; ++o) {
        const int samples = BLOCK_SIZE >> o; // a decimator runs at its octave's rate, the
                                             // interpolation it undoes at the same rate
        total += samples * (bank.modulatorDecimation[o].sections() + bank.carrierDecimation[o].sections() +
                            bank.leftInterpolation[o].sections() + bank.rightInterpolation[o].sections());
    }
    return total + BLOCK_SIZE * bank.sibilanceHighpass.sections();
}
