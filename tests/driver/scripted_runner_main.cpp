// The runner of the beadwalks_scripted test executable: the driver's main
// with made-up results, so that whole runs of a real process can be compared
// record for record.
#include "tests/driver/run_fixture.hpp"

namespace bw {

std::unique_ptr<DataSetRunner> makeDataSetRunner() { return std::make_unique<test::ScriptedRunner>(); }

}  // namespace bw
