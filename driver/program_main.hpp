#pragma once
// The main of beadwalks: the console program on the standard streams, every
// usable CPU, checkpoints beside the output file, stop signals. points: test
// executables stop the run at chosen instants through it; beadwalks has none.
#include "driver/checkpoint/checkpoint_file.hpp"

namespace bw {

int beadwalks_main(StopPoints* points);

}  // namespace bw
