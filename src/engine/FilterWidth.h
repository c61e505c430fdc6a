#pragma once

// The band-filter width. The window holds it as two flags, narrow and wide; narrow is
// tested first, and neither set means Normal.
enum class FilterWidth { Normal, Narrow, Wide };

inline FilterWidth filterWidthFromFlags(bool narrow, bool wide) {
    if (narrow) return FilterWidth::Narrow;
    if (wide) return FilterWidth::Wide;
    return FilterWidth::Normal;
}
