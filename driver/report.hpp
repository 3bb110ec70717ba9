#pragma once
// The results report of one data set: rejection statistics, the reduced
// conformational averages, on request the reduced hydrodynamic averages and
// the P(r) table. A pure function from values to routed records.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/output.hpp"

namespace bw {

// PSTAT[p-1] = {mean, standard error} of property p.
using PropertyStats = std::vector<std::array<float, 2>>;

// Percentage of rejected moves among NCONF * N attempted ones, in single
// precision; the product is formed in 64 bits so that it cannot wrap, and a
// product of 0 or less (no beads, no cycles, a negative NCONF) gives 0.
float rejected_percent(std::int64_t NREJ, std::int64_t NCONF, std::int64_t N);

// The mean and the error of property p (1 to 4) as the report prints them:
// F7.3 for <r2>* and <s2>*, F9.5 for D*, F9.3 for [eta]*.
std::array<std::string, 2> printed_fields(int p, float mean, float error);

// Throws std::runtime_error when PSTAT holds fewer properties than IHYD and
// NPR call for. With pivots (NPIVOT > 0) one record follows the rejection
// statistics: NPIVOT and the percentage of NPREJ among the NCONF * NPIVOT
// pivots asked for.
std::vector<RoutedRecord> report_records(std::int64_t NREJ, std::int64_t NCONF, std::int32_t N,
                                         std::int32_t IHYD, std::int32_t NPR, float RMAX,
                                         const PropertyStats& PSTAT, std::int32_t NPIVOT = 0,
                                         std::int64_t NPREJ = 0);

}  // namespace bw
