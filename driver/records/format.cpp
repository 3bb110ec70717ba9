// Edit descriptors of formatted records. Every conversion works on the exact
// decimal expansion of the value: a float widened to double is exact, and
// printf with enough digits prints that double exactly, so rounding the
// digit string ourselves gives round-to-nearest with ties away from zero on
// the true value, independent of the C library's own rounding mode.
#include "driver/records/format.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace bw::rec {
namespace {

// More decimals than the exact expansion of any float needs (the smallest
// subnormal, 2^-149, has 149 fractional digits; no float has more than about
// 112 significant digits).
constexpr int kExactDigits = 160;

std::string stars(int w) { return std::string(static_cast<std::size_t>(w > 0 ? w : 0), '*'); }

// Right-justifies `text` in w columns, or w asterisks when it is too long.
std::string justify(const std::string& text, int w) {
    if (w <= 0) return {};
    if (text.size() > static_cast<std::size_t>(w)) return stars(w);
    return std::string(static_cast<std::size_t>(w) - text.size(), ' ') + text;
}

// Adds one unit in the last place of a string of decimal digits; returns true
// when the carry runs out of the string ("999" becomes "000" and true).
bool increment(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return false;
        }
        *it = '0';
    }
    return true;
}

// "NaN", "Inf" or "-Inf", or empty for a finite value.
std::string non_finite(float value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0.0f ? "-Inf" : "Inf";
    return {};
}

}  // namespace

std::string I(std::int64_t value, int w) {
    return justify(std::to_string(value), w);
}

std::string F(float value, int w, int d) {
    if (w <= 0) return {};
    if (d < 0) d = 0;
    if (std::string s = non_finite(value); !s.empty()) return justify(s, w);
    // The point and d decimals alone overflow the field: no need to expand
    // (and no room to allocate for an absurd d).
    if (d > w - 1) return stars(w);

    // The magnitude's exact expansion "iii.fff...", then rounded to d decimals.
    char buf[kExactDigits + 64];
    std::snprintf(buf, sizeof buf, "%.*f", kExactDigits, std::fabs(static_cast<double>(value)));
    const std::string exact(buf);
    const std::size_t point = exact.find('.');
    const std::string ipart = exact.substr(0, point);
    const std::string fpart = exact.substr(point + 1);
    const std::size_t dd = static_cast<std::size_t>(d < kExactDigits ? d : kExactDigits);

    std::string digits = ipart + fpart.substr(0, dd);
    if (fpart[dd] >= '5' && increment(digits)) digits.insert(digits.begin(), '1');
    std::string int_digits = digits.substr(0, digits.size() - dd);
    const std::string frac_digits = digits.substr(digits.size() - dd) + std::string(static_cast<std::size_t>(d) - dd, '0');

    // A zero integer part is optional: it is written only when there is room
    // for it (with no decimals at all it is the only digit and required).
    const bool zero_int = int_digits == "0";
    if (zero_int && d > 0) int_digits.clear();
    // A negative value keeps its sign even when it rounds to zero, as the
    // compiled runtimes do ("-0.00" for -0.001 in F5.2).
    const std::string sign = std::signbit(value) ? "-" : "";
    std::string body = sign + int_digits + "." + frac_digits;
    if (body.size() > static_cast<std::size_t>(w)) return stars(w);
    if (zero_int && d > 0 && body.size() < static_cast<std::size_t>(w)) body = sign + "0." + frac_digits;
    return justify(body, w);
}

std::string D1P(float value, int w, int d) {
    if (w <= 0) return {};
    if (d < 0) d = 0;
    if (std::string s = non_finite(value); !s.empty()) return justify(s, w);
    // A digit, the point, d decimals and a four-column exponent overflow the field.
    if (d > w - 6) return stars(w);

    const std::size_t sig = static_cast<std::size_t>(d) + 1;  // significant digits kept
    std::string mant;
    int exponent = 0;
    if (value == 0.0f) {
        mant.assign(sig, '0');
    } else {
        char buf[kExactDigits + 64];
        std::snprintf(buf, sizeof buf, "%.*e", kExactDigits, std::fabs(static_cast<double>(value)));
        const std::string exact(buf);
        const std::size_t e = exact.find('e');
        std::string all = exact.substr(0, 1) + exact.substr(2, e - 2);  // digits without the point
        exponent = std::atoi(exact.c_str() + e + 1);
        if (all.size() < sig + 1) all.append(sig + 1 - all.size(), '0');
        mant = all.substr(0, sig);
        if (all[sig] >= '5' && increment(mant)) {
            mant.insert(mant.begin(), '1');
            mant.pop_back();
            ++exponent;
        }
    }
    std::string body = std::signbit(value) ? "-" : "";
    body += mant.substr(0, 1);
    body += '.';
    body += mant.substr(1);
    const int mag = std::abs(exponent);
    char ebuf[16];
    // Two exponent digits after the letter; a three-digit exponent drops the
    // letter (cannot happen for a float, kept for completeness).
    if (mag <= 99)
        std::snprintf(ebuf, sizeof ebuf, "D%c%02d", exponent < 0 ? '-' : '+', mag);
    else
        std::snprintf(ebuf, sizeof ebuf, "%c%03d", exponent < 0 ? '-' : '+', mag);
    body += ebuf;
    return justify(body, w);
}

std::string A(std::string_view value, int w) {
    if (w <= 0) return {};
    const auto width = static_cast<std::size_t>(w);
    if (value.size() >= width) return std::string(value.substr(0, width));
    return std::string(value) + std::string(width - value.size(), ' ');
}

std::string X(int n) { return std::string(static_cast<std::size_t>(n > 0 ? n : 0), ' '); }

}  // namespace bw::rec
