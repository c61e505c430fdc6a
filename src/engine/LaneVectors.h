#pragma once

// The vector layer of the lane routines: vectors of two, four and eight doubles in the
// compiler's vector extensions, their loads, stores and broadcasts, and max and min as the
// x86 units do them. One of the parts LaneRoutinesImpl.h includes in order, once for each
// instruction set; nothing else includes them, and what they define has internal linkage.

#ifndef LANE_ROUTINES
#error "the lane routines' parts are included by engine/LaneRoutinesImpl.h only"
#endif

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

#define LANE_INLINE inline __attribute__((always_inline))
#define LANE_INLINE_LAMBDA __attribute__((always_inline))

typedef double V2 __attribute__((vector_size(16)));
typedef double V4 __attribute__((vector_size(32)));
typedef double V8 __attribute__((vector_size(64)));
typedef long long I2 __attribute__((vector_size(16)));
typedef long long I4 __attribute__((vector_size(32)));
typedef long long I8 __attribute__((vector_size(64)));
// The same vectors at any double's address.
typedef double M2 __attribute__((vector_size(16), aligned(8), may_alias));
typedef double M4 __attribute__((vector_size(32), aligned(8), may_alias));
typedef double M8 __attribute__((vector_size(64), aligned(8), may_alias));
typedef long long N2 __attribute__((vector_size(16), aligned(8), may_alias));
typedef long long N4 __attribute__((vector_size(32), aligned(8), may_alias));
typedef long long N8 __attribute__((vector_size(64), aligned(8), may_alias));

template <class V>
struct Vec;
template <>
struct Vec<V2> {
    static constexpr int kLanes = 2;
    using Int = I2;
    using Mem = M2;
    using IntMem = N2;
};
template <>
struct Vec<V4> {
    static constexpr int kLanes = 4;
    using Int = I4;
    using Mem = M4;
    using IntMem = N4;
};
template <>
struct Vec<V8> {
    static constexpr int kLanes = 8;
    using Int = I8;
    using Mem = M8;
    using IntMem = N8;
};

template <class V>
LANE_INLINE V load(const double* p) {
    return *reinterpret_cast<const typename Vec<V>::Mem*>(p);
}
template <class V>
LANE_INLINE typename Vec<V>::Int loadMask(const void* p) {
    return *reinterpret_cast<const typename Vec<V>::IntMem*>(p);
}
template <class V>
LANE_INLINE void store(double* p, V v) {
    *reinterpret_cast<typename Vec<V>::Mem*>(p) = v;
}
// Written as lists, which the compiler turns into a single broadcast.
template <class V>
LANE_INLINE V splat(double x);
template <>
LANE_INLINE V2 splat<V2>(double x) {
    return V2{x, x};
}
template <>
LANE_INLINE V4 splat<V4>(double x) {
    return V4{x, x, x, x};
}
template <>
LANE_INLINE V8 splat<V8>(double x) {
    return V8{x, x, x, x, x, x, x, x};
}

// a > b ? a : b and a < b ? a : b, lane by lane: b whenever the comparison fails (a NaN,
// equal values, zeros of either sign), which is exactly what the x86 max and min
// instructions do. The compiler does not see that and would spend a comparison and a blend
// on each, so where the unit has them they are asked for by name.
template <class V>
LANE_INLINE V greaterOf(V a, V b) {
#if defined(__AVX512F__)
    // (The masked form: GCC's plain one reads an undefined vector, which it warns about.)
    if constexpr (sizeof(V) == 64) return _mm512_mask_max_pd(a, 0xff, a, b);
#endif
#if defined(__AVX__)
    if constexpr (sizeof(V) == 32) return _mm256_max_pd(a, b);
#endif
#if defined(__SSE2__)
    if constexpr (sizeof(V) == 16) return _mm_max_pd(a, b);
#endif
    return a > b ? a : b;
}
template <class V>
LANE_INLINE V lessOf(V a, V b) {
#if defined(__AVX512F__)
    if constexpr (sizeof(V) == 64) return _mm512_mask_min_pd(a, 0xff, a, b);
#endif
#if defined(__AVX__)
    if constexpr (sizeof(V) == 32) return _mm256_min_pd(a, b);
#endif
#if defined(__SSE2__)
    if constexpr (sizeof(V) == 16) return _mm_min_pd(a, b);
#endif
    return a < b ? a : b;
}

// A vector of values just stored one at a time: loaded one at a time too, since a vector
// load of several recent scalar stores cannot be served from the store buffer and waits
// for them to reach the cache. The empty asm keeps the compiler from merging the loads.
LANE_INLINE double loadOne(const double* p) {
    double x = *p;
#if defined(__SSE2__)
    __asm__("" : "+x"(x));
#endif
    return x;
}
template <class V>
LANE_INLINE V loadEach(const double* p);
template <>
LANE_INLINE V2 loadEach<V2>(const double* p) {
    return V2{loadOne(p), loadOne(p + 1)};
}
template <>
LANE_INLINE V4 loadEach<V4>(const double* p) {
    return V4{loadOne(p), loadOne(p + 1), loadOne(p + 2), loadOne(p + 3)};
}

} // namespace
