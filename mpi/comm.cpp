#include "mpi/comm.hpp"

#include <mpi.h>

#include <cstdlib>
#include <string>

#include "driver/io_error.hpp"

namespace bw::mpi {
namespace {

void check(int rc, const char* what) {
    if (rc == MPI_SUCCESS) return;
    char text[MPI_MAX_ERROR_STRING];
    int len = 0;
    MPI_Error_string(rc, text, &len);
    throw IoError(std::string("beadwalks-mpi: ") + what + " failed: " + std::string(text, static_cast<std::size_t>(len)));
}

}  // namespace

Comm::Comm(int& argc, char**& argv) {
    int provided = 0;
    check(MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided), "MPI_Init_thread");
    // Failures come back as return codes, and become diagnostics.
    MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
    check(MPI_Comm_rank(MPI_COMM_WORLD, &rank_), "MPI_Comm_rank");
    check(MPI_Comm_size(MPI_COMM_WORLD, &size_), "MPI_Comm_size");
}

Comm::~Comm() { MPI_Finalize(); }

void Comm::send(int dest, Tag tag, const std::vector<char>& bytes) {
    check(MPI_Send(bytes.data(), static_cast<int>(bytes.size()), MPI_BYTE, dest, tag, MPI_COMM_WORLD), "MPI_Send");
}

std::optional<Message> Comm::try_receive(int source) {
    int flag = 0;
    MPI_Status status;
    const int from = source < 0 ? MPI_ANY_SOURCE : source;
    check(MPI_Iprobe(from, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &status), "MPI_Iprobe");
    if (!flag) return std::nullopt;
    int count = 0;
    check(MPI_Get_count(&status, MPI_BYTE, &count), "MPI_Get_count");
    Message m;
    m.source = status.MPI_SOURCE;
    m.tag = status.MPI_TAG;
    m.bytes.resize(static_cast<std::size_t>(count));
    check(MPI_Recv(m.bytes.data(), count, MPI_BYTE, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD,
                   MPI_STATUS_IGNORE),
          "MPI_Recv");
    return m;
}

std::vector<unsigned> Comm::gather(unsigned mine) {
    std::vector<unsigned> all(rank_ == 0 ? static_cast<std::size_t>(size_) : 0);
    check(MPI_Gather(&mine, 1, MPI_UNSIGNED, all.data(), 1, MPI_UNSIGNED, 0, MPI_COMM_WORLD), "MPI_Gather");
    return all;
}

void Comm::abort(int status) {
    MPI_Abort(MPI_COMM_WORLD, status);
    std::_Exit(status);
}

}  // namespace bw::mpi
