#include "driver/banner.hpp"

#include "driver/records/format.hpp"

namespace bw {
namespace {

constexpr int kNameColumns = 30;

// Centred on the 70-column rule that starts in column 6.
std::string centred(const std::string& text) {
    const std::size_t pad = text.size() < 81 ? (81 - text.size()) / 2 : 0;
    return std::string(pad, ' ') + text;
}

// A file name in 30 columns, or whole when it is longer: a name is never cut.
std::string name_field(const std::string& name) {
    return name.size() > kNameColumns ? name : rec::A(name, kNameColumns);
}

}  // namespace

std::string rule_record() { return rec::X(5) + std::string(70, '='); }

std::vector<std::string> banner_records() {
    return {
        "",
        "",
        rule_record(),
        centred("Program BEADWALKS"),
        centred("Monte Carlo simulation of flexible bead chains"),
        centred("rigid bonds, Hookean springs, hard, Lennard-Jones or soft beads"),
        centred("conformational averages and P(r) of the end-to-end distance"),
        centred("rigid-body hydrodynamics of every sampled conformation"),
        rule_record(),
        "",
    };
}

std::vector<std::string> menu_records() {
    return {" Codes for your model:", " 1 -- RL , RLHS", " 2 -- GS , GSLJ", " 3 -- SS , SSSR",
            " Give your model code:"};
}

std::string code_record(std::int32_t ICODE) {
    switch (ICODE) {
    case 1: return " Code 1. RL or RLHS model";
    case 2: return " Code 2. GS or GSLJ model";
    case 3: return " Code 3. SS or SSSR model";
    default: return {};
    }
}

std::string invalid_code_record(std::int32_t ICODE) {
    return rec::Record().lit("Code=").i(ICODE, 3).lit(" is not valid");
}

std::vector<std::string> file_name_records(const std::string& INFILE, const std::string& OUTFILE) {
    return {" Output file (this file): " + name_field(OUTFILE), " Input data file: " + name_field(INFILE), ""};
}

}  // namespace bw
