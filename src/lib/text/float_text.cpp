#include "lib/text/float_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tarnex {

void append_float_text(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    // The shortest round-trip digits in exponent form: "-d.ddde+XX".
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::scientific);
    const char* p = buffer;
    if (*p == '-') {
        out += '-';
        ++p;
    }
    char digits[24];
    int n = 0;
    for (; *p != 'e'; ++p) {
        if (*p != '.') digits[n++] = *p;
    }
    int exponent = 0;
    std::from_chars(p[1] == '+' ? p + 2 : p + 1, result.ptr, exponent);
    const int point = exponent + 1;  // value = 0.digits x 10**point
    if (point > -4 && point <= 16) {
        if (point <= 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-point), '0');
            out.append(digits, static_cast<std::size_t>(n));
        } else if (point < n) {
            out.append(digits, static_cast<std::size_t>(point));
            out += '.';
            out.append(digits + point, static_cast<std::size_t>(n - point));
        } else {
            out.append(digits, static_cast<std::size_t>(n));
            out.append(static_cast<std::size_t>(point - n), '0');
            out += ".0";
        }
        return;
    }
    out += digits[0];
    if (n > 1) {
        out += '.';
        out.append(digits + 1, static_cast<std::size_t>(n - 1));
    }
    out += exponent < 0 ? "e-" : "e+";
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
}

std::string float_text(double value) {
    std::string out;
    append_float_text(out, value);
    return out;
}

}  // namespace tarnex
