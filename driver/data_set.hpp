#pragma once
// Reading, validating and echoing one data set of the input data file. The
// echo goes to the output file and the console as each group of items is
// read, so that whatever precedes a failure stands in the output file.
#include <cstdint>
#include <string>

#include "driver/output.hpp"
#include "driver/record_reader.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

// Largest number of P(r) intervals accepted; the property tables are sized to
// the data set, this bound only keeps them to a sane size.
inline constexpr std::int32_t MAXNPR = 1000000;
// Fewest beads a chain model can move (a crankshaft move needs neighbours).
inline constexpr std::int32_t MINBEADS = 2;
// Fewest sampled conformations: one per subsample.
inline constexpr std::int32_t MINCONFAVE = 5;

enum class DataSetStatus {
    Ready,      // read, validated and echoed
    EndOfRun,   // a negative bead count: the normal end
    ErrorStop,  // a validation message was written; the run stops
};

// What the reading of a data set found besides its items.
struct DataSetReading {
    // False when the ISEED record left rd.ISEED as it was (a comma or slash
    // before any value): the data set then starts from the random state the
    // data set before it left, and so does its echo.
    bool seed_given = true;
};

// Reads the items of one data set into `rd` (rd.ICODE chooses the
// model-specific items) and derives NFREQ, NCONFSUB and RCUT2. rd.NPIVOT is
// the run's and is echoed, not read.
DataSetStatus read_data_set(RecordReader& in, RunData& rd, Output& out);
DataSetStatus read_data_set(RecordReader& in, RunData& rd, Output& out, DataSetReading& how);

// The echo record of the pivot attempts per cycle, after the model-specific
// data; only a run with pivots (rd.NPIVOT > 0) has it.
std::string pivot_echo_record(std::int32_t NPIVOT);

// The echo record of the seed.
std::string seed_record(std::int32_t ISEED);

// Number of averaged properties: r2 and s2, D* and [eta]* when hydrodynamics
// is asked for, one per P(r) interval.
std::int32_t property_count(std::int32_t IHYD, std::int32_t NPR);
// Sampled conformations between two console progress records.
std::int32_t progress_interval(std::int32_t NCONFAVE);

}  // namespace bw
