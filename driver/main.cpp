// The beadwalks executable: the console program around run_program.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "driver/data_set_runner.hpp"
#include "driver/program.hpp"

int main() {
    const auto runner = bw::makeDataSetRunner();
    const bw::CommandShell shell = [](const std::string& command) {
        std::cout.flush();
        std::fflush(nullptr);
        // The command's own exit status is of no interest to the run.
        [[maybe_unused]] const int status = std::system(command.c_str());
    };
    return bw::run_program({std::cin, std::cout, std::cerr}, *runner, shell);
}
