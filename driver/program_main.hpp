#pragma once
// The main of beadwalks: the console program on the standard streams, every
// usable CPU, checkpoints beside the output file, stop signals. points and
// interval: test executables stop the run at chosen instants and write
// checkpoints more often; beadwalks has no points and the interval of 30 s.
#include <chrono>

#include "driver/checkpoint/checkpoint_file.hpp"
#include "driver/checkpoint/checkpointer.hpp"

namespace bw {

int beadwalks_main(StopPoints* points, std::chrono::milliseconds interval = Checkpointer::kInterval);

}  // namespace bw
