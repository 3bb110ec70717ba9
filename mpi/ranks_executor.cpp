#include "mpi/ranks_executor.hpp"

#include <chrono>
#include <numeric>
#include <thread>
#include <stdexcept>
#include <string>

#include "driver/io_error.hpp"

namespace bw::mpi {

void RanksExecutor::Local::finish(DataSetResult result, std::int32_t ISEED) {
    --running_;
    inner_.finish(std::move(result), ISEED);
    ended = true;  // the last touch of this object by the computing thread
}

void RanksExecutor::Local::fail(std::exception_ptr error) {
    --running_;
    inner_.fail(std::move(error));
    ended = true;
}

RanksExecutor::RanksExecutor(Comm& comm, DataSetRunner& runner, const std::vector<unsigned>& cpus,
                             const std::atomic<int>& signal)
    : comm_(comm), local_(runner, cpus.at(0)), signal_(signal), cpus_(cpus), running_(cpus.size(), 0) {
    for (unsigned& c : cpus_) c = std::max(c, 1u);
    total_ = std::accumulate(cpus_.begin(), cpus_.end(), 0u);
}

// The rank with the most free CPUs; rank 0 on a tie, whose jobs need no
// messages.
void RanksExecutor::start(DataSetJob& job) {
    int best = 0;
    long most = static_cast<long>(cpus_[0]) - static_cast<long>(local_running_.load());
    for (int r = 1; r < static_cast<int>(cpus_.size()); ++r) {
        const long free = static_cast<long>(cpus_[r]) - static_cast<long>(running_[r]);
        if (free > most) most = free, best = r;
    }
    if (best == 0) {
        for (auto it = locals_.begin(); it != locals_.end();) it = it->ended ? locals_.erase(it) : std::next(it);
        Local& local = locals_.emplace_back(job, local_running_);
        ++local_running_;
        local_.start(local);
        return;
    }
    const std::int64_t id = next_id_++;
    Writer w;
    w.i64(id);
    put_run_data(w, job.data());
    w.u8(job.resume() != nullptr);
    if (job.resume() != nullptr) put_state(w, *job.resume());
    remote_[id] = {best, &job};
    ++running_[best];
    comm_.send(best, kRun, w.bytes);
}

void RanksExecutor::check_signal() const {
    if (signal_.load() != 0)
        throw IoError("beadwalks-mpi: the job is being ended (a rank failed or the job was cancelled)");
}

// A signal is the run's to handle (a checkpoint first): only the messages.
void RanksExecutor::poll() {
    while (const auto m = comm_.try_receive()) receive(*m);
}

void RanksExecutor::request_capture(DataSetJob& job) {
    for (const auto& [id, where] : remote_) {
        if (where.second != &job) continue;
        Writer w;
        w.i64(id);
        comm_.send(where.first, kCapture, w.bytes);
        return;
    }
}

void RanksExecutor::receive(const Message& m) {
    if (m.tag == kBye)
        throw IoError("beadwalks-mpi: rank " + std::to_string(m.source) + " ended before the run did");
    Reader r(m.bytes);
    const auto it = remote_.find(r.i64());
    if (it == remote_.end()) return;  // a data set no longer wanted
    DataSetJob& job = *it->second.second;
    switch (m.tag) {
    case kRecords:
        while (!r.at_end()) job.console().record(r.text());
        return;
    case kState:
        if (DataSetTap* tap = job.tap()) tap->capture(get_state(r));
        return;
    case kDone: {
        const std::int32_t ISEED = r.i32();
        DataSetResult result = get_result(r);
        --running_[m.source];
        remote_.erase(it);
        job.finish(std::move(result), ISEED);
        return;
    }
    case kFail: {
        const auto kind = static_cast<FailKind>(r.i32());
        const std::string what = r.text();
        --running_[m.source];
        remote_.erase(it);
        if (kind == FailKind::Simulation) {
            job.fail(std::make_exception_ptr(std::runtime_error(what)));
        } else {
            job.fail(std::make_exception_ptr(IoError("beadwalks-mpi: rank " + std::to_string(m.source) + ": " + what)));
        }
        return;
    }
    default:
        throw IoError("beadwalks-mpi: rank " + std::to_string(m.source) + " sent a message of unknown kind " +
                      std::to_string(m.tag));
    }
}

void RanksExecutor::stop_all() noexcept {
    local_.stop_all();
    locals_.clear();
    remote_.clear();  // the ranks stop them when the run ends
}

void RanksExecutor::end_ranks() {
    const int others = comm_.size() - 1;
    for (int r = 1; r <= others; ++r) comm_.send(r, kEnd, {});
    int said_bye = 0;
    // After a stop signal the ranks still answer, unless the job is being
    // torn down around rank 0: then it gives up on them.
    const auto since = std::chrono::steady_clock::now();
    while (said_bye < others) {
        if (std::chrono::steady_clock::now() - since > std::chrono::seconds(5)) check_signal();
        if (const auto m = comm_.try_receive()) {
            said_bye += m->tag == kBye;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

}  // namespace bw::mpi
