#include "driver/report.hpp"

#include <stdexcept>
#include <string>

#include "driver/data_set.hpp"
#include "driver/records/format.hpp"

namespace bw {

using rec::Record;

float rejected_percent(std::int64_t NREJ, std::int64_t NCONF, std::int64_t N) {
    const std::int64_t attempted = NCONF * N;
    // No move was asked for (no beads, no cycles, or a negative NCONF, which
    // runs none): nothing was refused, and 0 / 0 or a "-0.00" must not show.
    if (attempted <= 0) return 0.0f;
    const float q = static_cast<float>(NREJ) / static_cast<float>(attempted);
    return q * 100.0f;
}

std::array<std::string, 2> printed_fields(int p, float mean, float error) {
    const int w = p <= 2 ? 7 : 9;
    const int d = p <= 2 ? 3 : (p == 3 ? 5 : 3);
    return {rec::F(mean, w, d), rec::F(error, w, d)};
}

std::vector<RoutedRecord> report_records(std::int64_t NREJ, std::int64_t NCONF, std::int32_t N,
                                         std::int32_t IHYD, std::int32_t NPR, float RMAX,
                                         const PropertyStats& PSTAT, std::int32_t NPIVOT,
                                         std::int64_t NPREJ) {
    const auto needed = static_cast<std::size_t>(property_count(IHYD, NPR));
    if (PSTAT.size() < needed)
        throw std::runtime_error("results hold " + std::to_string(PSTAT.size()) + " properties, " +
                                 std::to_string(needed) + " expected");

    std::vector<RoutedRecord> r;
    auto both = [&r](std::string text) { r.push_back({Route::Both, std::move(text)}); };
    auto mean = [&PSTAT](int p) { return PSTAT[static_cast<std::size_t>(p - 1)][0]; };
    auto error = [&PSTAT](int p) { return PSTAT[static_cast<std::size_t>(p - 1)][1]; };

    both(" --------------");
    both(" FINAL RESULTS:");
    both(Record().lit(" Number of rejected conformations =").i(NREJ, 15));
    both(Record().lit(" Percent of rejected conformations=").f(rejected_percent(NREJ, NCONF, N), 6, 2));
    if (NPIVOT > 0) {
        both(Record()
                 .lit(" Pivot attempts per cycle=").i(NPIVOT, 10)
                 .lit("  Percent of rejected pivots=").f(rejected_percent(NPREJ, NCONF, NPIVOT), 6, 2));
    }
    auto stat = [&](const char* label, int p, const char* plus_minus) {
        const std::array<std::string, 2> f = printed_fields(p, mean(p), error(p));
        both(std::string(label) + f[0] + plus_minus + f[1]);
    };
    stat(" Reduced mean square end-to-end distance <r2>*=", 1, " +-");
    stat(" Reduced mean square radius of gyration  <s2>*=", 2, " +-");
    int first_bin = 3;
    if (IHYD != 0) {
        stat(" Reduced diffusion coefficient  D*=", 3, "+-");
        stat(" Reduced intrinsic viscosity [eta]*=", 4, "+-");
        first_bin = 5;
    }
    if (NPR > 0) {
        // Bin centres in single precision; the average of an indicator is the
        // fraction of conformations in the bin, not a density.
        const float width = RMAX / static_cast<float>(NPR);
        r.push_back({Route::Console, " Table of radial distribution function"});
        r.push_back({Route::Console, "   r*     P(r*)"});
        for (std::int32_t i = 1; i <= NPR; ++i) {
            const float centre = (static_cast<float>(i - 1) + 0.5f) * width;
            both(Record().f(centre, 6, 3).f(mean(first_bin + i - 1), 10, 5));
        }
    }
    return r;
}

}  // namespace bw
