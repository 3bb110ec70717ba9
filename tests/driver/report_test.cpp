#include "driver/report.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

namespace bw {
namespace {

std::vector<std::string> texts(const std::vector<RoutedRecord>& records, Route route) {
    std::vector<std::string> out;
    for (const RoutedRecord& r : records)
        if (r.route == route) out.push_back(r.text);
    return out;
}

// What the output file receives: every record routed to both.
std::vector<std::string> file_records(const std::vector<RoutedRecord>& records) {
    return texts(records, Route::Both);
}

PropertyStats example_stats() {
    PropertyStats s = {{25.123f, 0.456f}, {4.020f, 0.061f}, {0.12345f, 0.00123f}, {12.345f, 0.321f}};
    for (int i = 0; i < 50; ++i) s.push_back({0.01234f, 0.5f});
    return s;
}

TEST(report, example_with_hydrodynamics_and_fifty_bins) {
    const auto r = report_records(1234, 20000, 20, 1, 50, 20.0f, example_stats());
    const auto file = file_records(r);
    ASSERT_EQ(file.size(), 8u + 50u);
    const std::vector<std::string> head = {
        " --------------",
        " FINAL RESULTS:",
        " Number of rejected conformations =           1234",
        " Percent of rejected conformations=  0.31",
        " Reduced mean square end-to-end distance <r2>*= 25.123 +-  0.456",
        " Reduced mean square radius of gyration  <s2>*=  4.020 +-  0.061",
        " Reduced diffusion coefficient  D*=  0.12345+-  0.00123",
        " Reduced intrinsic viscosity [eta]*=   12.345+-    0.321",
    };
    EXPECT_EQ(std::vector<std::string>(file.begin(), file.begin() + 8), head);
    for (int i = 1; i <= 50; ++i) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%6.3f   0.01234", (i - 0.5) * 0.4);
        EXPECT_EQ(file[7 + static_cast<std::size_t>(i)], expected) << "bin " << i;
    }
    EXPECT_EQ(file[8], " 0.200   0.01234");
    EXPECT_EQ(file.back(), "19.800   0.01234");
}

TEST(report, table_headings_go_to_the_console_only_just_before_the_rows) {
    const auto r = report_records(0, 100, 10, 0, 2, 4.0f, {{1, 0}, {1, 0}, {0.25f, 0}, {0.75f, 0}});
    EXPECT_EQ(texts(r, Route::Console),
              (std::vector<std::string>{" Table of radial distribution function", "   r*     P(r*)"}));
    EXPECT_TRUE(texts(r, Route::File).empty());
    ASSERT_EQ(r.size(), 10u);
    EXPECT_EQ(r[6].text, " Table of radial distribution function");
    EXPECT_EQ(r[8].text, " 1.000   0.25000");
    EXPECT_EQ(r[9].text, " 3.000   0.75000");
}

TEST(report, without_hydrodynamics_the_bins_follow_property_two) {
    const PropertyStats s = {{2.0f, 0.1f}, {0.5f, 0.01f}, {0.125f, 9.0f}};
    const auto file = file_records(report_records(10, 100, 10, 0, 1, 3.0f, s));
    ASSERT_EQ(file.size(), 7u);
    EXPECT_EQ(file[4], " Reduced mean square end-to-end distance <r2>*=  2.000 +-  0.100");
    EXPECT_EQ(file[5], " Reduced mean square radius of gyration  <s2>*=  0.500 +-  0.010");
    EXPECT_EQ(file[6], " 1.500   0.12500");  // one bin: centre RMAX / 2
}

TEST(report, no_table_when_npr_is_zero_or_negative) {
    const PropertyStats s = {{1, 0}, {1, 0}, {0.1f, 0.01f}, {3.0f, 0.2f}};
    for (std::int32_t npr : {0, -4}) {
        const auto r = report_records(0, 100, 10, 7, npr, 5.0f, s);
        EXPECT_EQ(r.size(), 8u);
        EXPECT_TRUE(texts(r, Route::Console).empty());
        EXPECT_EQ(r.back().text, " Reduced intrinsic viscosity [eta]*=    3.000+-    0.200");
    }
}

TEST(report, percentage_of_rejected_moves) {
    const PropertyStats s = {{1, 0}, {1, 0}};
    auto pct = [&](std::int64_t nrej, std::int64_t nconf, std::int32_t n) {
        return file_records(report_records(nrej, nconf, n, 0, 0, 0.0f, s))[3];
    };
    EXPECT_EQ(pct(0, 20000, 20), " Percent of rejected conformations=  0.00");
    EXPECT_EQ(pct(400000, 20000, 20), " Percent of rejected conformations=100.00");
    EXPECT_EQ(pct(1, 3, 1), " Percent of rejected conformations= 33.33");
    // 3e9 of 2e9 * 100 = 2e11 attempts: 1.5 %; a 32-bit product would wrap.
    EXPECT_EQ(pct(3000000000LL, 2000000000, 100), " Percent of rejected conformations=  1.50");
    // No attempted moves at all.
    EXPECT_EQ(pct(0, 0, 20), " Percent of rejected conformations=  0.00");
    // A negative NCONF runs no cycle: 0 / -20000 would be -0.0, printed "-0.00".
    EXPECT_EQ(pct(0, -1000, 20), " Percent of rejected conformations=  0.00");
    // The long-run case: every move of 30,000,000 cycles of 100 beads refused.
    EXPECT_EQ(pct(3000000000LL, 30000000, 100), " Percent of rejected conformations=100.00");
    EXPECT_EQ(file_records(report_records(3000000000LL, 2000000000, 100, 0, 0, 0.0f, s))[2],
              " Number of rejected conformations =     3000000000");
}

TEST(report, overflowing_fields_are_asterisks) {
    PropertyStats s = {{1000.0f, 0.5f}, {-2.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}};
    const auto file = file_records(report_records(1, 1, 1, 0, 2, 300.0f, s));
    EXPECT_EQ(file[4], " Reduced mean square end-to-end distance <r2>*=******* +-  0.500");
    EXPECT_EQ(file[5], " Reduced mean square radius of gyration  <s2>*= -2.000 +-  0.000");
    EXPECT_EQ(file[6], "75.000   0.00000");
    EXPECT_EQ(file[7], "******   0.00000");  // a centre of 225 does not fit F6.3
}

TEST(report, refuses_a_results_table_shorter_than_the_properties) {
    const PropertyStats s = {{1, 0}, {1, 0}, {1, 0}};
    EXPECT_THROW(report_records(0, 1, 1, 1, 0, 0.0f, s), std::runtime_error);
    EXPECT_THROW(report_records(0, 1, 1, 0, 2, 1.0f, s), std::runtime_error);
    EXPECT_NO_THROW(report_records(0, 1, 1, 0, 1, 1.0f, s));
}

}  // namespace
}  // namespace bw

namespace bw {
namespace {

// With pivots, one record between the rejection statistics and the
// averages: the attempts per cycle and the percentage of the NCONF * K
// pivots asked for that were refused; nothing else moves.
TEST(report, pivots_add_one_record_after_the_rejection_statistics) {
    const auto local = file_records(report_records(1234, 20000, 20, 1, 50, 20.0f, example_stats()));
    const auto pivot = file_records(report_records(1234, 20000, 20, 1, 50, 20.0f, example_stats(), 8, 40000));
    ASSERT_EQ(pivot.size(), local.size() + 1);
    EXPECT_EQ(pivot[4], " Pivot attempts per cycle=         8  Percent of rejected pivots= 25.00");
    std::vector<std::string> without = pivot;
    without.erase(without.begin() + 4);
    EXPECT_EQ(without, local);
    EXPECT_EQ(file_records(report_records(0, 100, 5, 0, 0, 1.0f, example_stats(), 3, 0))[4],
              " Pivot attempts per cycle=         3  Percent of rejected pivots=  0.00");
    // Every pivot refused, and no cycle asked for.
    EXPECT_EQ(file_records(report_records(0, 7, 5, 0, 0, 1.0f, example_stats(), 1, 7))[4],
              " Pivot attempts per cycle=         1  Percent of rejected pivots=100.00");
    EXPECT_EQ(file_records(report_records(0, 0, 5, 0, 0, 1.0f, example_stats(), 2, 0))[4],
              " Pivot attempts per cycle=         2  Percent of rejected pivots=  0.00");
}

}  // namespace
}  // namespace bw
