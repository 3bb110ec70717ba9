#include "driver/data_set.hpp"

#include <vector>

#include "driver/records/format.hpp"
#include "driver/records/list_directed.hpp"

namespace bw {
namespace {

using rec::Record;
using rec::list_directed;

constexpr int kBeadCountColumns = 7;

// Writes a validation message to both and reports the stop.
DataSetStatus refuse(Output& out, const char* name, std::int32_t value, const char* why) {
    out.write(Route::Both, list_directed({name, value, why}));
    return DataSetStatus::ErrorStop;
}

void echo_general(const RunData& rd, Output& out) {
    out.write(Route::Both, list_directed({"General data"}));
    out.write(Route::Both, list_directed({"------------"}));
    out.both(Record().lit(" N=").i(rd.N, 4));
    out.both(Record().lit(" Total number of conformations: ").i(rd.NCONF, 15));
    out.both(Record().lit(" Number of conformations for averaging: ").i(rd.NCONFAVE, 15));
    out.both(Record().lit(" Sampling frequecy for averaging: ").i(rd.NFREQ, 15));
    out.both(seed_record(rd.ISEED));
}

// The model-specific items of rd.ICODE, in reading order.
void read_model_items(RecordReader& in, RunData& rd) {
    std::vector<float*> items;
    switch (rd.ICODE) {
    case 1: items = {&rd.DHS, &rd.DELTAPHI}; break;
    case 2: items = {&rd.EPS, &rd.SIG, &rd.RCUT, &rd.HOOK, &rd.AMPL}; break;
    case 3: items = {&rd.A, &rd.ALPHA, &rd.RCUT, &rd.HOOK, &rd.AMPL}; break;
    default: return;
    }
    for (float* item : items) read_list(in, *item);
    // The cut-off tests compare squared distances.
    if (rd.ICODE != 1) rd.RCUT2 = rd.RCUT * rd.RCUT;
}

// The echo lists HOOK first, then the potential, then AMPL.
void echo_model(const RunData& rd, Output& out) {
    const Record amplitude = Record().lit(" Amplitude of Monte-Carlo coordinate displacement=").f(rd.AMPL, 6, 3);
    switch (rd.ICODE) {
    case 1:
        out.both(Record().lit(" Hard sphere diameter=").f(rd.DHS, 7, 2).lit("  DeltaPhi=").f(rd.DELTAPHI, 7, 3));
        break;
    case 2:
        out.both(Record().lit(" Hookean constant=").f(rd.HOOK, 5, 2));
        out.both(Record()
                     .lit(" Lennard Jones parameters  EPS=").f(rd.EPS, 4, 2)
                     .lit("  SIG=").f(rd.SIG, 4, 2)
                     .lit("  RCUT=").f(rd.RCUT, 4, 2));
        out.both(amplitude);
        break;
    case 3:
        out.both(Record().lit(" Hookean constant=").f(rd.HOOK, 6, 3));
        out.both(Record()
                     .lit(" Exponential potential parameters  A=").f(rd.A, 6, 3)
                     .lit("  Alpha=").f(rd.ALPHA, 6, 3)
                     .lit("  RCUT=").f(rd.RCUT, 4, 2));
        out.both(amplitude);
        break;
    default:
        break;
    }
}

}  // namespace

std::string pivot_echo_record(std::int32_t NPIVOT) {
    return Record().lit(" Pivot moves after the local moves of each cycle, attempts per cycle=").i(NPIVOT, 10);
}

std::string seed_record(std::int32_t ISEED) {
    return Record().lit(" Seed for random number generator: ").i(ISEED, 15);
}

DataSetStatus read_data_set(RecordReader& in, RunData& rd, Output& out) {
    DataSetReading how;
    return read_data_set(in, rd, out, how);
}

DataSetStatus read_data_set(RecordReader& in, RunData& rd, Output& out, DataSetReading& how) {
    rd.N = read_fixed_int(in, kBeadCountColumns);
    if (rd.N < 0) return DataSetStatus::EndOfRun;
    if (rd.N > MAXBEADS) return refuse(out, "N=", rd.N, " is not valid. Maximum number of beads is 100");
    if (rd.N < MINBEADS) return refuse(out, "N=", rd.N, " is not valid. Minimum number of beads is 2");

    read_list(in, rd.NCONF);
    read_list(in, rd.NCONFAVE);
    if (rd.NCONFAVE < MINCONFAVE)
        return refuse(out, "NCONFAVE=", rd.NCONFAVE,
                      " is not valid. Minimum value of conformations for averaging is 5");
    how.seed_given = read_list_given(in, rd.ISEED);
    rd.NFREQ = rd.NCONF / rd.NCONFAVE;
    rd.NCONFSUB = rd.NCONFAVE / NSUB;
    echo_general(rd, out);

    read_list(in, rd.IHYD);
    out.both(Record().lit(" Hydrodynamic calculations?  (0-No, other-Yes):").i(rd.IHYD, 3));

    read_list(in, rd.NPR);
    if (rd.NPR > MAXNPR)
        return refuse(out, "NPR=", rd.NPR, " is not valid. Maximum number of intervals is 1000000");
    out.both(Record()
                 .lit(" Radial distribution function P(r) ? ")
                 .lit("(0-NO, other-Number of intervals):")
                 .i(rd.NPR, 5));
    if (rd.NPR > 0) {
        read_list(in, rd.RMAX);
        out.both(Record().lit(" P(r) from r=0.0 to rmax=").f(rd.RMAX, 8, 2));
    }

    out.write(Route::Both, list_directed({"Model-specific data"}));
    out.write(Route::Both, list_directed({"-------------------"}));
    read_model_items(in, rd);
    echo_model(rd, out);
    if (rd.NPIVOT > 0) out.both(pivot_echo_record(rd.NPIVOT));
    return DataSetStatus::Ready;
}

std::int32_t property_count(std::int32_t IHYD, std::int32_t NPR) {
    return 2 + (IHYD != 0 ? 2 : 0) + (NPR > 0 ? NPR : 0);
}

std::int32_t progress_interval(std::int32_t NCONFAVE) {
    const std::int32_t n = NCONFAVE / 20;
    return n == 0 ? 1 : n;
}

}  // namespace bw
