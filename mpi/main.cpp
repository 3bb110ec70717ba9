// beadwalks-mpi: beadwalks on every rank of an MPI job. Rank 0 alone holds
// the dialogue, both files, the console and the pause, reads the data sets in
// order and writes everything in the order of the serial run; the data sets
// run on every rank (rank 0 included), each on the CPUs of its rank. The
// bytes written are those of beadwalks whatever the number of ranks.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "driver/data_set_runner.hpp"
#include "driver/io_error.hpp"
#include "driver/program.hpp"
#include "mpi/comm.hpp"
#include "mpi/rank_worker.hpp"
#include "mpi/ranks_executor.hpp"

namespace {

// Set when the MPI runtime (or a batch system) ends the job, e.g. because a
// rank failed: rank 0 then stops at once, keeping what it has written.
std::atomic<bool> signalled{false};
extern "C" void on_signal(int) { signalled = true; }

int rank_zero(bw::mpi::Comm& comm, bw::DataSetRunner& runner, const std::vector<unsigned>& cpus) {
    bw::mpi::RanksExecutor executor(comm, runner, cpus, signalled);
    const bw::CommandShell shell = [](const std::string& command) {
        std::cout.flush();
        std::fflush(nullptr);
        [[maybe_unused]] const int status = std::system(command.c_str());
    };
    const int status = bw::run_program({std::cin, std::cout, std::cerr}, executor, shell);
    std::cout.flush();
    if (signalled) comm.abort(status);
    try {
        executor.end_ranks();
    } catch (const bw::IoError& e) {
        std::cerr << e.what() << '\n';
        comm.abort(bw::kExitIoFailure);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGTERM, on_signal);
    std::signal(SIGINT, on_signal);
    // A command typed at the pause is run by fork(); Open MPI would print a
    // warning about it that the serial program does not.
    setenv("OMPI_MCA_mpi_warn_on_fork", "0", 0);
    try {
        bw::mpi::Comm comm(argc, argv);
        const auto runner = bw::makeDataSetRunner();
        const std::vector<unsigned> cpus = comm.gather(runner->concurrency());
        if (comm.rank() != 0) {
            try {
                bw::mpi::serve_rank(comm, *runner, signalled);
            } catch (const std::exception& e) {
                std::cerr << e.what() << '\n';
                comm.abort(bw::kExitIoFailure);
            }
            return 0;
        }
        return rank_zero(comm, *runner, cpus);
    } catch (const bw::IoError& e) {
        std::cerr << e.what() << '\n';
        return bw::kExitIoFailure;
    }
}
