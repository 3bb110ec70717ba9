// The record formatter: any float (NaN, infinities, subnormals included), any
// width and any number of decimals for Iw, Fw.d, 1PDw.d and Aw, and
// list-directed records of any values. A field is always exactly w columns;
// Fw.d agrees with an independent exact-decimal rounding where that is cheap;
// 1PDw.d reads back to within half a unit of its last digit; a list-directed
// write loses and invents nothing.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "driver/records/format.hpp"
#include "driver/records/list_directed.hpp"
#include "fuzz/fuzz_check.hpp"
#include "tests/driver/exact_decimal.hpp"

namespace {

using bw::fuzz::Bytes;

// Widths up to a few thousand columns, negative ones too.
int width_from(std::int16_t raw) { return raw % 4096; }

bool all_stars(const std::string& s) { return std::all_of(s.begin(), s.end(), [](char c) { return c == '*'; }); }

std::string trimmed(const std::string& s) {
    const std::size_t b = s.find_first_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b);
}

void check_I(std::int64_t v, int w) {
    const std::string s = bw::rec::I(v, w);
    FUZZ_CHECK(s.size() == static_cast<std::size_t>(std::max(w, 0)), "Iw is w columns");
    if (w > 0 && !all_stars(s)) FUZZ_CHECK(std::strtoll(s.c_str(), nullptr, 10) == v, "Iw reads back");
}

void check_F(float v, int w, int d) {
    const std::string s = bw::rec::F(v, w, d);
    FUZZ_CHECK(s.size() == static_cast<std::size_t>(std::max(w, 0)), "Fw.d is w columns");
    if (const auto exact = bw::test::exact_F(v, w, std::max(d, 0))) FUZZ_CHECK(s == *exact, "Fw.d is the exact rounding");
}

void check_D(float v, int w, int d) {
    const std::string s = bw::rec::D1P(v, w, d);
    FUZZ_CHECK(s.size() == static_cast<std::size_t>(std::max(w, 0)), "Dw.d is w columns");
    d = std::max(d, 0);  // a negative d writes no decimals
    if (w <= 0 || all_stars(s) || !std::isfinite(v) || d > 40) return;
    std::string t = trimmed(s);
    const std::size_t letter = t.find('D');
    FUZZ_CHECK(letter != std::string::npos, "Dw.d has its exponent letter");
    t[letter] = 'e';
    const int exponent = std::atoi(t.c_str() + letter + 1);
    const double back = std::strtod(t.c_str(), nullptr);
    // Half a unit in the last of the d + 1 significant digits, plus slack for
    // the double arithmetic of the comparison itself (the read-back decimal
    // is itself rounded to a double).
    const double half_unit = 0.5 * std::pow(10.0, exponent - d);
    const double slack = half_unit * 1e-9 + 4 * std::numeric_limits<double>::epsilon() * std::fabs(back);
    FUZZ_CHECK(std::fabs(back - static_cast<double>(v)) <= half_unit + slack, "Dw.d reads back");
    const std::size_t lead = t[0] == '-' ? 1 : 0;
    FUZZ_CHECK(v == 0.0f || t[lead] != '0', "1P puts a non-zero digit before the point");
}

void check_A(const std::string& text, int w) {
    const std::string s = bw::rec::A(text, w);
    FUZZ_CHECK(s.size() == static_cast<std::size_t>(std::max(w, 0)), "Aw is w columns");
}

std::string without_blanks(const std::string& s) {
    std::string r;
    for (const char c : s)
        if (c != ' ') r += c;
    return r;
}

// Values from the input: 0x00 starts an integer (the next 8 bytes), anything
// else is a text up to the next 0x00.
void check_list(const std::string& raw) {
    std::vector<std::string> texts;
    std::vector<bw::rec::ListValue> values;
    std::string expected;
    texts.reserve(raw.size() + 1);
    for (std::size_t pos = 0; pos < raw.size();) {
        if (raw[pos] == '\0') {
            std::int64_t v = 0;
            const std::size_t n = std::min<std::size_t>(8, raw.size() - pos - 1);
            for (std::size_t k = 0; k < n; ++k) v = v << 8 | static_cast<unsigned char>(raw[pos + 1 + k]);
            values.emplace_back(v);
            expected += std::to_string(v);
            pos += 1 + n;
        } else {
            const std::size_t end = std::min(raw.find('\0', pos), raw.size());
            texts.push_back(raw.substr(pos, end - pos));
            values.emplace_back(texts.back());
            expected += texts.back();
            pos = end;
        }
    }
    const std::vector<std::string> records = bw::rec::list_directed(values);
    std::string got;
    for (const std::string& r : records) {
        FUZZ_CHECK(!r.empty() && r[0] == ' ', "a list-directed record begins with a blank");
        got += r;
    }
    FUZZ_CHECK(without_blanks(got) == without_blanks(expected), "a list-directed write keeps every value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const auto bits = in.take<std::uint32_t>();
    const int w = width_from(in.take<std::int16_t>());
    const int d = in.take<std::int16_t>() % 256;  // at most 255 decimals, negative ones too
    float v = 0.0f;
    static_assert(sizeof v == sizeof bits);
    std::memcpy(&v, &bits, sizeof v);

    check_F(v, w, d);
    check_D(v, w, d);
    check_I(static_cast<std::int64_t>(static_cast<std::int32_t>(bits)) * (d - 7), w);
    const std::string rest = in.rest();
    check_A(rest, w);
    check_list(rest.substr(0, 400));
    return 0;
}
