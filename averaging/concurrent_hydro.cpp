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
    : private_pool_(std::make_unique<HydroPool>(std::max(threads, 1u), make_hydro, true)),
      pool_(*private_pool_),
      inner_(inner),
      replay_(replay),
      console_(console),
      hydro_(make_hydro()),
      mutex_(pool_.mutex_) {
    if (!hydro_) throw std::invalid_argument("ConcurrentHydro: the factory gave no hydrodynamics");
    ring_.resize(std::size_t{pool_.cpus()} * std::max(slots_per_thread, 1u));
    pool_.attach(*this);
}

ConcurrentHydro::ConcurrentHydro(SampleSink& inner, ReplayedHydro& replay, RecordSink& console, HydroPool& pool,
                                 unsigned slots_per_thread)
    : pool_(pool), inner_(inner), replay_(replay), console_(console), mutex_(pool_.mutex_) {
    ring_.resize(std::size_t{pool_.cpus()} * std::max(slots_per_thread, 1u));
    pool_.attach(*this);
}

// No helper may touch the ring once it is gone: the jobs being computed are
// waited for, then the ring leaves the pool.
ConcurrentHydro::~ConcurrentHydro() {
    discard_pending();
    pool_.detach(*this);
}

HydroEntries& ConcurrentHydro::own_hydro() {
    if (!hydro_) {
        hydro_ = pool_.make_hydro();
        if (!hydro_) throw std::invalid_argument("ConcurrentHydro: the factory gave no hydrodynamics");
    }
    return *hydro_;
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
    pool_.work_added();
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
                if (!hydro_) {
                    lock.unlock();
                    own_hydro();
                    lock.lock();
                    continue;
                }
                compute_next(lock, *hydro_);
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
