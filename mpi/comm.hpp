#pragma once
// The one door to MPI: the only file of the project that includes mpi.h.
// Only the main thread of a rank calls it (MPI_THREAD_FUNNELED); every
// failure of a call becomes an IoError with a readable message, so that a
// lost rank ends the run with a diagnostic instead of a hang.
#include <optional>
#include <vector>

#include "mpi/wire.hpp"

namespace bw::mpi {

struct Message {
    int source = 0;
    int tag = 0;
    std::vector<char> bytes;
};

class Comm {
public:
    Comm(int& argc, char**& argv);
    ~Comm();
    Comm(const Comm&) = delete;
    Comm& operator=(const Comm&) = delete;

    int rank() const { return rank_; }
    int size() const { return size_; }

    void send(int dest, Tag tag, const std::vector<char>& bytes);
    // A message that has arrived (from `source`, or from any rank), without
    // waiting.
    std::optional<Message> try_receive(int source = -1);
    // At rank 0: `mine` of every rank, by rank; elsewhere empty.
    std::vector<unsigned> gather(unsigned mine);
    // Ends every process of the job.
    [[noreturn]] void abort(int status);

private:
    int rank_ = 0;
    int size_ = 1;
};

}  // namespace bw::mpi
