#include "core/CRandom.h"

int CRandom::next() {
    state_ = state_ * 214013u + 2531011u; // unsigned: the wrap-around is the generator
    return static_cast<int>((state_ >> 16) & 0x7fffu);
}
