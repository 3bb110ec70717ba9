// beadwalks-diagnose: how far the error bars of a beadwalks run can be
// trusted. See diagnose_program.hpp.
#include <iostream>
#include <string>
#include <vector>

#include "averaging/data_set_run.hpp"
#include "diagnose/arguments.hpp"
#include "diagnose/diagnose_program.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    const bw::diagnose::ParsedArguments parsed = bw::diagnose::parse_arguments(words);
    if (!parsed.arguments) {
        std::cerr << "beadwalks-diagnose: " << parsed.problem << '\n' << bw::diagnose::kUsage << '\n';
        return 2;
    }
    if (parsed.arguments->help) {
        std::cout << bw::diagnose::kUsage << '\n';
        return 0;
    }
    return bw::diagnose::run_diagnose(*parsed.arguments, std::cout, std::cerr, bw::usable_cpu_count());
}
