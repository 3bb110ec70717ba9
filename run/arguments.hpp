#pragma once
// The command line of beadwalks-run, the program without the dialogue:
//   beadwalks-run CODE INFILE OUTFILE [--moves local|pivot] [--pivots K]
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bw::run {

inline constexpr const char* kUsage =
    "usage: beadwalks-run CODE INFILE OUTFILE [--moves local|pivot] [--pivots K]"
    "  (CODE 1 rigid bonds, 2 Hookean springs, 3 springs of rest length 1)";

struct Arguments {
    std::int32_t ICODE = 0;
    std::string INFILE;
    std::string OUTFILE;
    std::int32_t NPIVOT = 0;  // pivot attempts per cycle; 0: local moves only
    bool help = false;        // --help or -h: the usage on standard output, nothing else
};

struct ParsedArguments {
    std::optional<Arguments> arguments;
    std::string problem;  // why there are none
};

// args: the words after the program name. Whether the input file exists is
// the entry point's to check.
ParsedArguments parse_arguments(const std::vector<std::string>& args);

}  // namespace bw::run
