#pragma once

// The band-filter width. The window holds it as two flags, narrow and wide; narrow is
// tested first, and neither set means Normal.
enum class FilterWidth { Normal, Narrow, Wide };

inline FilterWidth filterWidthFromFlags(bool narrow, bool wide) {
    if (narrow) return FilterWidth::Narrow;
    if (wide) return FilterWidth::Wide;
    return FilterWidth::Normal;
}

// The output's gain for a width: narrower bands pass less of the carrier's power, so they
// are made up for, and wider ones pass more.
inline double widthGain(FilterWidth width) {
    switch (width) {
    case FilterWidth::Narrow: return 2.0;
    case FilterWidth::Wide: return 0.5;
    case FilterWidth::Normal: break;
    }
    return 1.0;
}
