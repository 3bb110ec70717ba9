#pragma once
// A rank other than 0: runs the data sets rank 0 sends on its own CPUs (its
// threads and hydrodynamic pool, as beadwalks does) and sends back, in
// order, the console records of each and its end. Returns when rank 0 says
// the run is over, after its last message. Signals are not its own to act
// on: rank 0 ends the run, a checkpoint first.

#include "driver/data_set_runner.hpp"
#include "mpi/comm.hpp"

namespace bw::mpi {

void serve_rank(Comm& comm, DataSetRunner& runner);

}  // namespace bw::mpi
