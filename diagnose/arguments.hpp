#pragma once
// The command line of beadwalks-diagnose:
//   beadwalks-diagnose CODE INFILE [--json FILE] [--series DIR] [--moves local|pivot] [--pivots K]
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bw::diagnose {

inline constexpr const char* kUsage =
    "usage: beadwalks-diagnose CODE INFILE [--json FILE] [--series DIR] [--moves local|pivot] [--pivots K]"
    "  (CODE 1 rigid bonds, 2 Hookean springs, 3 springs of rest length 1)";

struct Arguments {
    std::int32_t ICODE = 0;
    std::string INFILE;
    std::string json;    // empty: no JSON document
    std::string series;  // empty: no CSV series
    std::int32_t NPIVOT = 0;  // pivot attempts per cycle, as beadwalks-run runs them; 0: local moves only
    bool help = false;   // --help or -h: the usage line on standard output, nothing else
};

struct ParsedArguments {
    std::optional<Arguments> arguments;
    std::string problem;  // why there are none: no code, an unknown code or option, ...
};

// args: the words after the program name.
ParsedArguments parse_arguments(const std::vector<std::string>& args);

}  // namespace bw::diagnose
