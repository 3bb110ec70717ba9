#pragma once
// Where the data sets of a run go when several may be in flight at once. The
// driver reads the data sets in order and makes a DataSetJob of each; an
// executor runs jobs (on threads of this process, or on other processes)
// and reports back through the job: the console records of the run as they
// come, then its end. The driver alone writes, in the order of the data
// file, so that the records are those of the serial run.
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>
#include <condition_variable>

#include "driver/data_set_runner.hpp"
#include "driver/records/record_sink.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

class DataSetJob {
public:
    virtual ~DataSetJob() = default;
    // The data set with NPROG and NPROP set; unchanged while the job runs.
    virtual const RunData& data() const = 0;
    // Requested when nothing of this data set will be written any more.
    virtual std::stop_token stop_token() const = 0;
    // The console records of the run, in order, from one thread at a time.
    virtual RecordSink& console() = 0;
    // Where the running data set offers its state between two sweeps (its
    // console records before that boundary come first); null: never asked.
    virtual DataSetTap* tap() { return nullptr; }
    // The state to continue from instead of the start; null: from the start.
    // Unchanged while the job runs.
    virtual const DataSetState* resume() const { return nullptr; }
    // The end of the run, exactly one of the two, after its last console
    // record, from any thread. ISEED: the random state the run left, which
    // the next data set starts from when its seed record gives no value.
    virtual void finish(DataSetResult result, std::int32_t ISEED) = 0;
    // What the runner threw: a std::runtime_error is a failure of the
    // simulation, written and stopped at as the serial run does.
    virtual void fail(std::exception_ptr error) = 0;
};

// Runs one job on the calling thread with runner.run_concurrently.
void run_job(DataSetRunner& runner, DataSetJob& job);

class DataSetExecutor {
public:
    virtual ~DataSetExecutor() = default;
    // Data sets that may be in flight at once; the driver starts no more.
    virtual unsigned capacity() const = 0;
    // The libraries the results depend on (DataSetRunner::libraries()).
    virtual std::string libraries() const = 0;
    // Starts the job and returns; its reports come from other threads or
    // from poll().
    virtual void start(DataSetJob& job) = 0;
    // True when the driver must call poll() every millisecond or so while it
    // waits (an executor whose reports arrive as messages).
    virtual bool polled() const { return false; }
    virtual void poll() {}
    // The job's tap now wants its state: an executor whose jobs run in
    // other processes passes the request on; on this process the sampler
    // asks the tap itself.
    virtual void request_capture(DataSetJob& /*job*/) {}
    // The run is over: the stop of every job started has been requested.
    // Returns when no job will be touched any more. Must not throw.
    virtual void stop_all() noexcept = 0;
};

// Up to `capacity` jobs at once, each on a thread of this process (started
// when first needed and kept for the next job).
class ThreadExecutor final : public DataSetExecutor {
public:
    ThreadExecutor(DataSetRunner& runner, unsigned capacity);
    ~ThreadExecutor() override { stop_all(); }

    unsigned capacity() const override { return capacity_; }
    std::string libraries() const override { return runner_.libraries(); }
    void start(DataSetJob& job) override;
    void stop_all() noexcept override;

private:
    void serve(std::stop_token stop);

    DataSetRunner& runner_;
    const unsigned capacity_;
    std::mutex mutex_;
    std::condition_variable_any job_ready_;
    std::deque<DataSetJob*> queue_;
    unsigned idle_ = 0;
    std::vector<std::jthread> threads_;
};

}  // namespace bw
