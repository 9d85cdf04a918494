// A double as the shortest text that reads back as the same double, laid out the way
// Python's repr() lays out a float.
#pragma once

#include <string>

namespace tarnex {

// "1.0", "-0.0", "0.1", "1e-05", "1e+16", "1.5e+300", "nan", "inf", "-inf": the shortest
// digit string that rounds back to `value` (the one nearest it when several are that
// short), written with a decimal point when its decimal exponent (of the form 0.ddd x 10**p)
// satisfies -4 < p <= 16, and in exponent form with at least two exponent digits otherwise.
std::string float_text(double value);

// Appends float_text(value) to `out`.
void append_float_text(std::string& out, double value);

}  // namespace tarnex
