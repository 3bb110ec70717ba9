#pragma once
// Rank 0's executor: the data sets go to every rank of the job, rank 0
// included (its own threads, as in beadwalks); the others receive a data set
// as a message, run it on their CPUs and send back its console records and
// its end, which arrive here through poll() on the driver's thread.
#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <utility>
#include <vector>

#include "driver/data_set_executor.hpp"
#include "mpi/comm.hpp"

namespace bw::mpi {

class RanksExecutor final : public DataSetExecutor {
public:
    // cpus: usable CPUs of every rank, by rank (rank 0's own first).
    // signalled: set by a signal handler when the job is being ended.
    // signal: a stop signal's number (driver/stop_signals.hpp); the run
    // handles it while data sets run, end_ranks() gives up on it.
    RanksExecutor(Comm& comm, DataSetRunner& runner, const std::vector<unsigned>& cpus,
                  const std::atomic<int>& signal);
    ~RanksExecutor() override { stop_all(); }

    unsigned capacity() const override { return total_; }
    std::string libraries() const override { return local_.libraries(); }
    void start(DataSetJob& job) override;
    bool polled() const override { return true; }
    void poll() override;
    void request_capture(DataSetJob& job) override;
    void stop_all() noexcept override;

    // After the run: tells every rank to stop, then takes their messages
    // until each has said its last.
    void end_ranks();

private:
    // A job on rank 0's threads, counted while it runs.
    class Local final : public DataSetJob {
    public:
        Local(DataSetJob& inner, std::atomic<unsigned>& running) : inner_(inner), running_(running) {}
        const RunData& data() const override { return inner_.data(); }
        std::stop_token stop_token() const override { return inner_.stop_token(); }
        RecordSink& console() override { return inner_.console(); }
        DataSetTap* tap() override { return inner_.tap(); }
        const DataSetState* resume() const override { return inner_.resume(); }
        void finish(DataSetResult result, std::int32_t ISEED) override;
        void fail(std::exception_ptr error) override;
        std::atomic<bool> ended{false};

    private:
        DataSetJob& inner_;
        std::atomic<unsigned>& running_;
    };

    void receive(const Message& m);
    void check_signal() const;

    Comm& comm_;
    ThreadExecutor local_;
    const std::atomic<int>& signal_;
    std::vector<unsigned> cpus_;
    std::vector<unsigned> running_;        // remote jobs in flight, by rank
    std::atomic<unsigned> local_running_{0};
    unsigned total_ = 0;
    std::list<Local> locals_;
    std::map<std::int64_t, std::pair<int, DataSetJob*>> remote_;  // id -> rank, job
    std::int64_t next_id_ = 0;
};

}  // namespace bw::mpi
