// Edit descriptors: exact strings, including the asterisks of a field that
// overflows. Where rounding is at stake the comment gives the exact decimal
// value of the float (a float is m * 2^e, so its expansion is finite).
#include "driver/records/format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "tests/driver/exact_decimal.hpp"

namespace bw::rec {
namespace {

TEST(format_I, right_justified_with_sign_and_asterisks_when_too_wide) {
    EXPECT_EQ(I(20, 4), "  20");
    EXPECT_EQ(I(0, 1), "0");
    EXPECT_EQ(I(-5, 3), " -5");
    EXPECT_EQ(I(1234, 15), "           1234");
    EXPECT_EQ(I(12345, 3), "***");
    EXPECT_EQ(I(-100, 3), "***");  // the sign needs its own column
    EXPECT_EQ(I(999, 3), "999");
    EXPECT_EQ(I(4, 1), "4");
    EXPECT_EQ(I(10, 1), "*");
    EXPECT_EQ(I(9000000000LL, 15), "     9000000000");
}

TEST(format_F, values_that_fit) {
    EXPECT_EQ(F(0.5f, 7, 2), "   0.50");
    EXPECT_EQ(F(1.0f, 7, 3), "  1.000");
    EXPECT_EQ(F(-2.5f, 7, 3), " -2.500");
    EXPECT_EQ(F(0.0f, 6, 3), " 0.000");
    EXPECT_EQ(F(0.2f, 6, 3), " 0.200");
    EXPECT_EQ(F(20.0f, 8, 2), "   20.00");
    EXPECT_EQ(F(123.456f, 7, 3), "123.456");  // exactly fills the field
    EXPECT_EQ(F(19.8f, 6, 3), "19.800");
}

TEST(format_F, leading_zero_only_when_there_is_room) {
    EXPECT_EQ(F(0.5f, 3, 2), ".50");
    EXPECT_EQ(F(0.5f, 4, 2), "0.50");
    EXPECT_EQ(F(-0.5f, 4, 2), "-.50");   // the minus takes the last free column
    EXPECT_EQ(F(-0.5f, 5, 2), "-0.50");
    EXPECT_EQ(F(-0.5f, 3, 2), "***");
    EXPECT_EQ(F(0.25f, 3, 0), " 0.");   // without decimals the zero is the only digit
}

TEST(format_F, overflow_gives_asterisks) {
    EXPECT_EQ(F(10.0f, 4, 2), "****");
    EXPECT_EQ(F(1000.0f, 7, 3), "*******");
    EXPECT_EQ(F(100.0f, 6, 3), "******");
    EXPECT_EQ(F(-10.0f, 5, 2), "*****");
    EXPECT_EQ(F(9.996f, 4, 2), "****");  // rounds up to 10.00, one column too many
    EXPECT_EQ(F(3.0e38f, 9, 3), "*********");
}

TEST(format_F, rounds_the_exact_value_of_the_float) {
    // 0.3085f = 0.308499991893...
    EXPECT_EQ(F(0.3085f, 6, 2), "  0.31");
    // 0.145f = 0.144999995827...: a shortest-decimal detour ("0.145") would
    // give 0.15.
    EXPECT_EQ(F(0.145f, 5, 2), " 0.14");
    // 1.005f = 1.004999995231...
    EXPECT_EQ(F(1.005f, 5, 2), " 1.00");
    // 0.155f = 0.155000001192...
    EXPECT_EQ(F(0.155f, 5, 2), " 0.16");
    // 9.996f = 9.996000289916...: the carry runs into a new integer digit.
    EXPECT_EQ(F(9.996f, 5, 2), "10.00");
    // 2.675f = 2.674999952316...
    EXPECT_EQ(F(2.675f, 6, 2), "  2.67");
}

TEST(format_F, exact_ties_go_away_from_zero) {
    EXPECT_EQ(F(0.125f, 5, 2), " 0.13");
    EXPECT_EQ(F(-0.125f, 5, 2), "-0.13");
    EXPECT_EQ(F(0.375f, 4, 2), "0.38");
    EXPECT_EQ(F(2.5f, 3, 0), " 3.");
    EXPECT_EQ(F(-2.5f, 3, 0), "-3.");
    EXPECT_EQ(F(1.0f / 1024.0f, 11, 9), "0.000976563");  // 0.0009765625
}

TEST(format_F, negative_values_rounding_to_zero_keep_their_sign) {
    EXPECT_EQ(F(-0.001f, 5, 2), "-0.00");
    EXPECT_EQ(F(-0.001f, 4, 2), "-.00");
    EXPECT_EQ(F(-0.0f, 5, 2), "-0.00");
    EXPECT_EQ(F(0.001f, 5, 2), " 0.00");
}

TEST(format_F, non_finite_values_right_justified_when_they_fit) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(F(std::nanf(""), 6, 2), "   NaN");
    EXPECT_EQ(F(inf, 6, 2), "   Inf");
    EXPECT_EQ(F(-inf, 6, 2), "  -Inf");
    EXPECT_EQ(F(std::nanf(""), 3, 1), "NaN");
    EXPECT_EQ(F(std::nanf(""), 2, 1), "**");
    EXPECT_EQ(F(-inf, 3, 1), "***");
}

TEST(format_F, subnormal_and_tiny_values) {
    const float tiny = std::numeric_limits<float>::denorm_min();
    EXPECT_EQ(F(tiny, 6, 3), " 0.000");
    EXPECT_EQ(F(-tiny, 6, 3), "-0.000");
    // 0.0025f = 0.002499999944...: below the tie, rounds down.
    EXPECT_EQ(F(0.0025f, 6, 3), " 0.002");
}

TEST(format_D1P, one_digit_before_the_point_and_a_two_digit_exponent) {
    EXPECT_EQ(D1P(12.34f, 10, 3), " 1.234D+01");
    EXPECT_EQ(D1P(0.0f, 10, 3), " 0.000D+00");
    EXPECT_EQ(D1P(-12.34f, 10, 3), "-1.234D+01");
    EXPECT_EQ(D1P(1.0f, 9, 3), "1.000D+00");
    // 0.00012345f = 1.23449994...e-4: five significant digits round up.
    EXPECT_EQ(D1P(0.00012345f, 11, 4), " 1.2345D-04");
    // 9.9996f = 9.99960041...: the carry moves the exponent.
    EXPECT_EQ(D1P(9.9996f, 9, 3), "1.000D+01");
    EXPECT_EQ(D1P(3.0e38f, 10, 3), " 3.000D+38");
    EXPECT_EQ(D1P(1.0e-30f, 10, 3), " 1.000D-30");
    // 0.125 = 1.25e-1 exactly: a tie, away from zero.
    EXPECT_EQ(D1P(0.125f, 8, 1), " 1.3D-01");
}

TEST(format_D1P, overflow_and_non_finite) {
    EXPECT_EQ(D1P(1.0e30f, 8, 3), "********");
    EXPECT_EQ(D1P(-1.0f, 9, 3), "*********");
    EXPECT_EQ(D1P(std::nanf(""), 10, 3), "       NaN");
}

TEST(format_F_D1P, decimals_that_cannot_fit_give_asterisks_without_expanding) {
    EXPECT_EQ(F(1.0f, 5, 5), "*****");  // ".00000" alone is six columns
    EXPECT_EQ(F(0.0f, 5, 4), ".0000");
    EXPECT_EQ(F(1.0f, 6, std::numeric_limits<int>::max()), "******");
    EXPECT_EQ(D1P(1.0f, 8, 3), "********");  // "1.000D+00" is nine
    EXPECT_EQ(D1P(1.0f, 9, std::numeric_limits<int>::max()), "*********");
    EXPECT_EQ(F(1.0f, 0, 2), "");
    EXPECT_EQ(F(1.0f, -4, 2), "");
}

// Fw.d against an independent rounding in 128-bit integers (exact_decimal.hpp)
// over many floats: random bit patterns, exact ties and values next to them.
TEST(format_F, agrees_with_an_exact_integer_rounding) {
    std::uint32_t state = 12345;
    auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    std::vector<float> values;
    for (int k = 0; k < 20000; ++k) {
        const std::uint32_t bits = next();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v)) values.push_back(v);
        values.push_back(static_cast<float>(static_cast<std::int32_t>(next() % 2000001) - 1000000) / 1024.0f);
    }
    for (const float tie : {0.125f, 0.375f, 2.5f, 1.0f / 1024.0f, 0.0025f, 0.3085f, 9.996f}) {
        values.push_back(tie);
        values.push_back(std::nextafter(tie, 0.0f));
        values.push_back(std::nextafter(tie, 10.0f));
    }
    int compared = 0;
    for (const float v : values)
        for (const auto& [w, d] : {std::pair{6, 2}, {7, 3}, {10, 5}, {9, 3}, {4, 2}, {3, 0}, {20, 10}, {45, 30}})
            if (const auto exact = test::exact_F(v, w, d)) {
                EXPECT_EQ(F(v, w, d), *exact) << v << " F" << w << "." << d;
                ++compared;
            }
    EXPECT_GT(compared, 200000);
}

TEST(exact_decimal, hand_rounded_values) {
    EXPECT_EQ(test::exact_F(0.125f, 5, 2), " 0.13");          // 12.5 hundredths: a tie, away from zero
    EXPECT_EQ(test::exact_F(-0.125f, 4, 2), "-.13");
    EXPECT_EQ(test::exact_F(0.3085f, 6, 2), "  0.31");
    EXPECT_EQ(test::exact_F(1000.0f, 7, 3), "*******");
    EXPECT_EQ(test::exact_F(2.5f, 3, 0), " 3.");
    EXPECT_EQ(test::exact_F(0.0f, 6, 3), " 0.000");
    EXPECT_FALSE(test::exact_F(1.0f, 60, 50).has_value());  // beyond the cheap range
}

TEST(format_A_X, character_fields_and_blanks) {
    EXPECT_EQ(A("data.txt", 12), "data.txt    ");
    EXPECT_EQ(A("abcdef", 3), "abc");
    EXPECT_EQ(A("", 2), "  ");
    EXPECT_EQ(A(std::string(30, 'x'), 30), std::string(30, 'x'));
    EXPECT_EQ(X(5), "     ");
    EXPECT_EQ(X(0), "");
}

TEST(format_Record, builds_a_record_from_literals_and_fields) {
    const std::string r = Record().lit(" Hard sphere diameter=").f(0.5f, 7, 2).lit("  DeltaPhi=").f(1.0f, 7, 3);
    EXPECT_EQ(r, " Hard sphere diameter=   0.50  DeltaPhi=  1.000");
    EXPECT_EQ(Record().lit("Code=").i(4, 3).lit(" is not valid").str(), "Code=  4 is not valid");
    EXPECT_EQ(Record().x(5).lit("ab").a("c", 3).d1p(12.34f, 10, 3).str(), "     abc   1.234D+01");
}

}  // namespace
}  // namespace bw::rec
