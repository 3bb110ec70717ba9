#include "averaging/concurrent_hydro.hpp"

#include <algorithm>
#include <stdexcept>

namespace bw {

void ReplayedHydro::compute(const Conformation& conf, float& DT, float& ETA, RecordSink& console) {
    if (outcome_ == nullptr || &conf != conf_) {
        throw std::logic_error("replayed hydrodynamics asked for a conformation that is not being flushed");
    }
    const HydroOutcome& out = *outcome_;
    outcome_ = nullptr;  // one answer per flushed conformation
    for (const std::string& line : out.messages.records) console.record(line);
    if (out.error) std::rethrow_exception(out.error);
    DT = out.DT;
    ETA = out.ETA;
}

ConcurrentHydro::ConcurrentHydro(SampleSink& inner, ReplayedHydro& replay, RecordSink& console,
                                 const HydroFactory& make_hydro, unsigned threads, unsigned slots_per_thread)
    : inner_(inner), replay_(replay), console_(console) {
    threads = std::max(threads, 1u);
    for (unsigned t = 0; t < threads; ++t) {
        hydro_.push_back(make_hydro());
        if (!hydro_.back()) throw std::invalid_argument("ConcurrentHydro: the factory gave no hydrodynamics");
    }
    ring_.resize(std::size_t{threads} * std::max(slots_per_thread, 1u));
    threads_.reserve(threads - 1);
    for (unsigned t = 1; t < threads; ++t) {
        HydroEntries& h = *hydro_[t];
        threads_.emplace_back([this, &h](std::stop_token stop) { work(stop, h); });
    }
}

ConcurrentHydro::~ConcurrentHydro() = default;

void ConcurrentHydro::work(std::stop_token stop, HydroEntries& hydro) {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_ready_.wait(lock, stop, [&] { return dispatched_ < submitted_; });
        if (stop.stop_requested()) return;
        compute_next(lock, hydro);
    }
}

// Takes the oldest job no one has taken and computes it with the lock
// released: the slot is this thread's alone until it is marked done.
void ConcurrentHydro::compute_next(std::unique_lock<std::mutex>& lock, HydroEntries& hydro) {
    Job& job = slot(dispatched_++);
    lock.unlock();
    try {
        hydro.compute(job.conf, job.out.DT, job.out.ETA, job.out.messages);
    } catch (...) {
        job.out.error = std::current_exception();
    }
    lock.lock();
    job.done = true;
    job_done_.notify_one();
}

void ConcurrentHydro::begin() {
    discard_pending();
    inner_.begin();
}

void ConcurrentHydro::sample(const Conformation& conf, std::int32_t isub) {
    flush_ready();
    while (submitted_ - flushed_ == ring_.size()) flush_head();
    Job& job = slot(submitted_);
    job.conf = conf;
    job.isub = isub;
    job.done = false;
    job.out.DT = job.out.ETA = 0.0f;
    job.out.messages.records.clear();
    job.out.error = nullptr;
    job.held.clear();
    {
        std::lock_guard lock(mutex_);
        ++submitted_;
    }
    work_ready_.notify_one();
}

void ConcurrentHydro::finish() {
    drain();
    inner_.finish();
}

void ConcurrentHydro::drain() {
    while (flushed_ < submitted_) flush_head();
}

bool ConcurrentHydro::head_done() {
    std::lock_guard lock(mutex_);
    return head_done_locked();
}

void ConcurrentHydro::flush_ready() {
    while (flushed_ < submitted_ && head_done()) flush_one();
}

// Until the head job is done, this thread computes jobs no one has taken,
// and waits only when there is none.
void ConcurrentHydro::flush_head() {
    {
        std::unique_lock lock(mutex_);
        while (!head_done_locked()) {
            if (dispatched_ < submitted_) {
                compute_next(lock, *hydro_[0]);
            } else {
                job_done_.wait(lock);
            }
        }
    }
    flush_one();
}

// The head job is done: no worker touches it any more. Any exception here
// (the worker's, rethrown through the replay, or one of the wrapped sink or
// the console) ends the data set as it would have ended a serial run at this
// conformation, so nothing sampled after it may come out.
void ConcurrentHydro::flush_one() {
    Job& job = slot(flushed_);
    try {
        replay_.lend(&job.conf, &job.out);
        inner_.sample(job.conf, job.isub);
        if (replay_.unanswered()) {
            throw std::logic_error("ConcurrentHydro: the wrapped sink did not ask for the hydrodynamics");
        }
        replay_.lend(nullptr, nullptr);
        ++flushed_;
        for (const std::string& line : job.held) console_.record(line);
    } catch (...) {
        replay_.lend(nullptr, nullptr);
        discard_pending();
        throw;
    }
}

// Withdraws the jobs no worker has taken, waits for those being computed and
// forgets every pending job with the records held behind it.
void ConcurrentHydro::discard_pending() {
    std::unique_lock lock(mutex_);
    submitted_ = dispatched_;
    job_done_.wait(lock, [&] {
        for (std::uint64_t seq = flushed_; seq < dispatched_; ++seq)
            if (!slot(seq).done) return false;
        return true;
    });
    flushed_ = submitted_;
}

void ConcurrentHydro::ordered_record(std::string_view line) {
    if (flushed_ < submitted_) {
        slot(submitted_ - 1).held.emplace_back(line);
    } else {
        console_.record(line);
    }
}

}  // namespace bw
