// Number reading for the text formats, with the rules of the C runtime's atof
// but never the process locale: the decimal separator is always ".", whatever
// LC_NUMERIC the terminal front end has set.
#pragma once

/// As atof(text) in the "C" locale: leading white space, an optional sign,
/// then a decimal or hexadecimal ("0x") number with optional exponent, or
/// "inf", "infinity", "nan", "nan(...)" in any case. Stops at the first byte
/// that does not fit; no number at all reads as 0.0. Out-of-range values give
/// what strtod gives (infinity, or zero and subnormals).
double ParseDouble(const char* text);
