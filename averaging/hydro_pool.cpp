#include "averaging/hydro_pool.hpp"

#include <algorithm>
#include <stdexcept>

#include "averaging/concurrent_hydro.hpp"

namespace bw {

HydroPool::HydroPool(unsigned cpus, HydroFactory make_hydro, bool eager)
    : cpus_(std::max(cpus, 1u)), make_hydro_(std::move(make_hydro)) {
    hydro_.resize(cpus_ - 1);
    if (eager) {
        for (auto& h : hydro_) {
            h = make_hydro_();
            if (!h) throw std::invalid_argument("HydroPool: the factory gave no hydrodynamics");
        }
    }
    threads_.reserve(cpus_ - 1);
    for (unsigned t = 0; t + 1 < cpus_; ++t) {
        std::unique_ptr<HydroEntries>& h = hydro_[t];
        threads_.emplace_back([this, &h](std::stop_token stop) { help(stop, h); });
    }
}

HydroPool::~HydroPool() = default;

void HydroPool::begin_sampler() {
    std::unique_lock lock(mutex_);
    ++samplers_waiting_;
    cpu_free_.wait(lock, [&] { return samplers_ + helpers_busy_ < cpus_; });
    --samplers_waiting_;
    ++samplers_;
    // Another sampler may be waiting behind this one, or the helpers may go on.
    cpu_free_.notify_one();
    work_ready_.notify_one();
}

void HydroPool::end_sampler() {
    {
        std::lock_guard lock(mutex_);
        --samplers_;
    }
    cpu_free_.notify_one();
    work_ready_.notify_one();
}

void HydroPool::attach(ConcurrentHydro& ring) {
    std::lock_guard lock(mutex_);
    rings_.push_back(&ring);
}

void HydroPool::detach(ConcurrentHydro& ring) {
    std::lock_guard lock(mutex_);
    rings_.erase(std::remove(rings_.begin(), rings_.end(), &ring), rings_.end());
}

// The ring whose sampler is furthest behind: the most jobs no one has taken.
ConcurrentHydro* HydroPool::ring_with_work() {
    ConcurrentHydro* best = nullptr;
    std::uint64_t most = 0;
    for (ConcurrentHydro* ring : rings_) {
        const std::uint64_t untaken = ring->untaken_locked();
        if (untaken > most) most = untaken, best = ring;
    }
    return best;
}

void HydroPool::help(std::stop_token stop, std::unique_ptr<HydroEntries>& hydro) {
    std::unique_lock lock(mutex_);
    for (;;) {
        ConcurrentHydro* ring = nullptr;
        work_ready_.wait(lock, stop, [&] { return helper_may_start() && (ring = ring_with_work()) != nullptr; });
        if (stop.stop_requested()) return;
        if (!hydro) {
            // The workspace is made outside the lock; the ring may have lost
            // its jobs meanwhile, so look again.
            lock.unlock();
            hydro = make_hydro_();
            lock.lock();
            if (!hydro) throw std::invalid_argument("HydroPool: the factory gave no hydrodynamics");
            continue;
        }
        ++helpers_busy_;
        ring->compute_next(lock, *hydro);
        --helpers_busy_;
        // The CPU is free again: a sampler about to begin comes first.
        if (samplers_waiting_ > 0) cpu_free_.notify_one();
        // Wake a second helper if more is waiting than this one will take.
        work_ready_.notify_one();
    }
}

}  // namespace bw
