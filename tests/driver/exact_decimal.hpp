#pragma once
// An independent Fw.d for checking the record formatter: the float is split
// into m * 2^e, scaled by 10^d in 128-bit integer arithmetic and rounded to
// the nearest integer with ties away from zero, so no decimal conversion of
// the C library takes part. Cheap, hence limited: d <= 44 and a scaled value
// below 2^127; outside that it declines.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

namespace bw::test {

__extension__ using u128 = unsigned __int128;  // GCC and clang

inline int bit_length(u128 v) {
    int n = 0;
    while (v != 0) {
        v >>= 1;
        ++n;
    }
    return n;
}

inline std::string to_decimal(u128 v) {
    std::string s;
    do {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v != 0);
    return s;
}

// round(|value| * 10^d), ties away from zero, or nothing when it does not
// fit the 128-bit arithmetic.
inline std::optional<u128> scaled_rounded(float value, int d) {
    if (!std::isfinite(value) || d < 0 || d > 44) return std::nullopt;
    int exp2 = 0;
    const float frac = std::frexp(std::fabs(value), &exp2);  // |value| = frac * 2^exp2
    const auto m = static_cast<std::uint32_t>(std::ldexp(frac, 24));  // exact: 24 bits
    const int e = exp2 - 24;                                          // |value| = m * 2^e
    u128 p = m;
    for (int k = 0; k < d; ++k) p *= 5;  // m * 5^d < 2^24 * 2^103
    const int s = e + d;                 // |value| * 10^d = p * 2^s
    if (s >= 0) {
        if (p != 0 && bit_length(p) + s > 127) return std::nullopt;
        return p << s;
    }
    const int shift = -s;
    if (shift >= 128) return u128{0};  // p < 2^127 = 2^128 / 2: rounds to 0
    const u128 one = 1;
    const u128 q = p >> shift;
    const u128 rem = p & ((one << shift) - 1);
    return rem >= (one << (shift - 1)) ? q + 1 : q;
}

// The Fw.d field: the rounded digits with the point d from the right, a
// minus when the float's sign bit is set, the zero before the point only
// when the field has a free column for it (always when d is 0), asterisks
// when the field is too narrow. Nothing when the arithmetic declines.
inline std::optional<std::string> exact_F(float value, int w, int d) {
    if (w <= 0) return std::nullopt;
    const auto r = scaled_rounded(value, d);
    if (!r) return std::nullopt;
    std::string digits = to_decimal(*r);
    if (digits.size() < static_cast<std::size_t>(d) + 1)
        digits.insert(0, static_cast<std::size_t>(d) + 1 - digits.size(), '0');
    const std::string int_part = digits.substr(0, digits.size() - static_cast<std::size_t>(d));
    const std::string frac_part = digits.substr(digits.size() - static_cast<std::size_t>(d));
    const std::string sign = std::signbit(value) ? "-" : "";
    std::string body = sign + int_part + "." + frac_part;
    if (int_part == "0" && d > 0 && body.size() > static_cast<std::size_t>(w)) body = sign + "." + frac_part;
    if (body.size() > static_cast<std::size_t>(w)) return std::string(static_cast<std::size_t>(w), '*');
    return std::string(static_cast<std::size_t>(w) - body.size(), ' ') + body;
}

}  // namespace bw::test
