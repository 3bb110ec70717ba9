#pragma once
// The whole diagnosis of one input data file: every data set read, validated
// and echoed as beadwalks does it, run as beadwalks runs it (same sampler,
// stream and conformations, the hydrodynamics on the worker pool), its report
// written, then the diagnosis of each averaged property. Standard output gets
// the code and file records, per data set the separator, echo, report and
// the diagnosis table, and the messages that stop a run; the records the
// simulation writes to its console (subsample and progress records, messages
// of the hydrodynamic stages) go to standard error, with the one-line
// diagnostic of a fatal input/output failure.
#include <ostream>

#include "diagnose/arguments.hpp"

namespace bw::diagnose {

// Exit status as beadwalks: 0 the end of the file reached, 1 a data set
// refused or a failed simulation, 2 a file that could not be read or written.
// The --json document holds every data set diagnosed before the run stopped.
int run_diagnose(const Arguments& args, std::ostream& out, std::ostream& err, unsigned threads);

}  // namespace bw::diagnose
