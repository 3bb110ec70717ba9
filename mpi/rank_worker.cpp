#include "mpi/rank_worker.hpp"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "driver/data_set_executor.hpp"
#include "driver/io_error.hpp"

namespace bw::mpi {
namespace {

// What the computing threads have for rank 0, in the order it came.
struct Outgoing {
    Tag tag;
    std::int64_t id;
    Writer body;
};

class Outbox {
public:
    void records(std::int64_t id, std::string_view line) {
        std::lock_guard lock(mutex_);
        // Consecutive records of one job travel in one message.
        if (queue_.empty() || queue_.back().tag != kRecords || queue_.back().id != id) {
            queue_.push_back({kRecords, id, {}});
            queue_.back().body.i64(id);
        }
        queue_.back().body.text(line);
    }
    void push(Outgoing message) {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(message));
    }
    std::vector<Outgoing> take() {
        std::lock_guard lock(mutex_);
        std::vector<Outgoing> out;
        out.swap(queue_);
        return out;
    }

private:
    std::mutex mutex_;
    std::vector<Outgoing> queue_;
};

class RemoteJob final : public DataSetJob, public DataSetTap {
public:
    RemoteJob(std::int64_t id, const RunData& rd, std::optional<DataSetState> resume, Outbox& outbox)
        : id_(id), rd_(rd), resume_(std::move(resume)), outbox_(outbox) {}
    const RunData& data() const override { return rd_; }
    std::stop_token stop_token() const override { return stop.get_token(); }
    RecordSink& console() override { return console_; }
    DataSetTap* tap() override { return this; }
    const DataSetState* resume() const override { return resume_ ? &*resume_ : nullptr; }

    // The state travels behind the records before its boundary.
    bool wanted() const override { return wanted_.load(std::memory_order_relaxed); }
    void capture(DataSetState state) override {
        wanted_ = false;
        Outgoing m{kState, id_, {}};
        m.body.i64(id_);
        put_state(m.body, state);
        outbox_.push(std::move(m));
    }
    void want_state() { wanted_ = true; }

    void finish(DataSetResult result, std::int32_t ISEED) override {
        Outgoing m{kDone, id_, {}};
        m.body.i64(id_);
        m.body.i32(ISEED);
        put_result(m.body, result);
        outbox_.push(std::move(m));
    }

    void fail(std::exception_ptr error) override {
        Outgoing m{kFail, id_, {}};
        m.body.i64(id_);
        try {
            std::rethrow_exception(error);
        } catch (const std::runtime_error& e) {
            m.body.i32(static_cast<std::int32_t>(FailKind::Simulation));
            m.body.text(e.what());
        } catch (const std::exception& e) {
            m.body.i32(static_cast<std::int32_t>(FailKind::Other));
            m.body.text(e.what());
        } catch (...) {
            m.body.i32(static_cast<std::int32_t>(FailKind::Other));
            m.body.text("unknown failure");
        }
        outbox_.push(std::move(m));
    }

    std::stop_source stop;

private:
    class Console final : public RecordSink {
    public:
        explicit Console(RemoteJob& job) : job_(job) {}
        void record(std::string_view line) override { job_.outbox_.records(job_.id_, line); }

    private:
        RemoteJob& job_;
    };

    std::int64_t id_;
    RunData rd_;
    std::optional<DataSetState> resume_;
    Outbox& outbox_;
    std::atomic<bool> wanted_{false};
    Console console_{*this};
};

}  // namespace

void serve_rank(Comm& comm, DataSetRunner& runner) {
    Outbox outbox;
    std::map<std::int64_t, std::unique_ptr<RemoteJob>> jobs;
    ThreadExecutor executor(runner, runner.concurrency());
    bool ended = false;
    while (!ended) {
        bool busy = false;
        while (const auto m = comm.try_receive(0)) {
            busy = true;
            if (m->tag == kEnd) {
                ended = true;
                break;
            }
            if (m->tag == kCapture) {
                Reader r(m->bytes);
                const auto it = jobs.find(r.i64());
                if (it != jobs.end()) it->second->want_state();
                continue;
            }
            if (m->tag != kRun) throw IoError("beadwalks-mpi: unexpected message from rank 0");
            Reader r(m->bytes);
            const std::int64_t id = r.i64();
            const RunData rd = get_run_data(r);
            std::optional<DataSetState> resume;
            if (r.u8() != 0) resume = get_state(r);
            auto job = std::make_unique<RemoteJob>(id, rd, std::move(resume), outbox);
            RemoteJob& started = *job;
            jobs[id] = std::move(job);
            executor.start(started);
        }
        for (const Outgoing& m : outbox.take()) {
            busy = true;
            if (ended) continue;  // rank 0 wants nothing more
            comm.send(0, m.tag, m.body.bytes);
            // The end is the last thing the computing thread does with a job.
            if (m.tag == kDone || m.tag == kFail) jobs.erase(m.id);
        }
        if (!busy) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (auto& [id, job] : jobs) job->stop.request_stop();
    executor.stop_all();
    comm.send(0, kBye, {});
}

}  // namespace bw::mpi
