// The data-set reader with its echo: the first byte chooses the model code,
// the rest of the input is the data file, read data set after data set as the
// run does. A data set is read, echoed and passed on only when its values are
// the ones the simulation can take; every other outcome is a validation stop,
// the end of the run, or an IoError.
#include <cstdint>
#include <sstream>
#include <string>

#include "driver/data_set.hpp"
#include "driver/io_error.hpp"
#include "driver/output.hpp"
#include "driver/record_reader.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

using bw::fuzz::Bytes;

std::size_t count_lines(const std::string& s) {
    std::size_t n = 0;
    for (const char c : s) n += c == '\n';
    return n;
}

// Records of the echo of one data set: the general data, the P(r) range when
// asked for, the model-specific heading and records.
std::size_t echo_records(const bw::RunData& rd) {
    const std::size_t model = rd.ICODE == 1 ? 1 : 3;
    return 2 + 5 + 1 + 1 + (rd.NPR > 0 ? 1 : 0) + 2 + model;
}

void check_ready(const bw::RunData& rd, const std::string& echo) {
    FUZZ_CHECK(rd.N >= bw::MINBEADS && rd.N <= bw::MAXBEADS, "bead count in range");
    FUZZ_CHECK(rd.NCONFAVE >= bw::MINCONFAVE, "enough conformations for averaging");
    FUZZ_CHECK(rd.NPR <= bw::MAXNPR, "P(r) intervals bounded");
    FUZZ_CHECK(rd.NFREQ == rd.NCONF / rd.NCONFAVE, "NFREQ");
    FUZZ_CHECK(rd.NCONFSUB == rd.NCONFAVE / bw::NSUB, "NCONFSUB");
    if (rd.ICODE != 1) FUZZ_CHECK(rd.RCUT2 == rd.RCUT * rd.RCUT, "RCUT2");
    FUZZ_CHECK(count_lines(echo) == echo_records(rd), "one record per echo line");
    FUZZ_CHECK(echo.find("NaN") == std::string::npos && echo.find("Inf") == std::string::npos,
               "no value that is not a number reaches the echo");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    bw::RunData rd;
    rd.ICODE = 1 + in.take<std::uint8_t>() % 3;
    std::istringstream file(in.rest());
    bw::RecordReader reader(file, bw::kInputUnit, "fuzz.dat");
    try {
        for (int set = 0; set < 16; ++set) {
            std::ostringstream console;
            bw::Output out(console);
            std::ostringstream echo_file;
            out.attach_file(echo_file, "fuzz.out");
            const bw::DataSetStatus status = bw::read_data_set(reader, rd, out);
            FUZZ_CHECK(console.str() == echo_file.str(), "the echo goes to both alike");
            if (status != bw::DataSetStatus::Ready) break;
            check_ready(rd, echo_file.str());
        }
    } catch (const bw::IoError&) {
    }
    return 0;
}
