// beadwalks-mpi: beadwalks on every rank of an MPI job. Rank 0 alone holds
// the dialogue, both files, the console, the pause and the checkpoint, reads
// the data sets in order and writes everything in the order of the serial
// run; the data sets run on every rank (rank 0 included), each on the CPUs of
// its rank. The bytes written are those of beadwalks whatever the number of
// ranks, and a checkpoint of one rank count resumes under any other.
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "driver/data_set_runner.hpp"
#include "driver/io_error.hpp"
#include "driver/program.hpp"
#include "driver/stop_signals.hpp"
#include "mpi/comm.hpp"
#include "mpi/rank_worker.hpp"
#include "mpi/ranks_executor.hpp"

namespace {

// The rank the launcher gave this process, before MPI is up to say it:
// Open MPI, PMIx and the older PMI each set one of these.
bool launched_as_other_rank() {
    for (const char* name : {"OMPI_COMM_WORLD_RANK", "PMIX_RANK", "PMI_RANK"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return std::string_view(value) != "0";
    }
    return false;
}

int rank_zero(bw::mpi::Comm& comm, bw::DataSetRunner& runner, const std::vector<unsigned>& cpus,
              bw::StopSignals& signals) {
    bw::mpi::RanksExecutor executor(comm, runner, cpus, signals.signal());
    const bw::CommandShell shell = [&](const std::string& command) {
        std::cout.flush();
        bw::run_shell_command(command, signals);
    };
    bw::ProgramOptions options;
    options.checkpoints = {true, &signals.signal(), nullptr};
    options.confirmed = [&] { signals.handled_by_run(); };
    options.program = "beadwalks-mpi";
    const int status = bw::run_program({std::cin, std::cout, std::cerr}, executor, shell, options);
    std::cout.flush();
    try {
        executor.end_ranks();
    } catch (const bw::IoError& e) {
        // The job is being ended around rank 0 (a rank lost, the job
        // cancelled): whatever was written and checkpointed stays.
        if (status == bw::kExitNormal || status == bw::kExitErrorStop) std::cerr << e.what() << '\n';
        comm.abort(status != bw::kExitNormal ? status : bw::kExitIoFailure);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // Before MPI starts its threads. A rank other than 0 leaves signals to
    // rank 0, which stops the whole job (mpirun passes SIGTERM to every rank).
    bw::StopSignals signals("beadwalks-mpi");
    // A signal that comes while MPI starts (a job cancelled at once) is
    // rank 0's to report; the launcher's rank variable says which we are.
    if (launched_as_other_rank()) signals.follow_only();
    // A command typed at the pause is run by fork(); Open MPI would print a
    // warning about it that the serial program does not.
    setenv("OMPI_MCA_mpi_warn_on_fork", "0", 0);
    try {
        bw::mpi::Comm comm(argc, argv);
        const auto runner = bw::makeDataSetRunner();
        const std::vector<unsigned> cpus = comm.gather(runner->concurrency());
        if (comm.rank() != 0) {
            signals.follow_only();
            try {
                bw::mpi::serve_rank(comm, *runner);
            } catch (const std::exception& e) {
                std::cerr << e.what() << '\n';
                comm.abort(bw::kExitIoFailure);
            }
            return 0;
        }
        return rank_zero(comm, *runner, cpus, signals);
    } catch (const bw::IoError& e) {
        std::cerr << e.what() << '\n';
        return bw::kExitIoFailure;
    }
}
