#include "driver/data_set_executor.hpp"

#include <algorithm>

namespace bw {

void run_job(DataSetRunner& runner, DataSetJob& job) {
    RunData rd = job.data();
    DataSetResult result;
    try {
        result = runner.run_concurrently(rd, job.console(), DataSetControl{job.stop_token(), job.tap(), job.resume()});
    } catch (...) {
        job.fail(std::current_exception());
        return;
    }
    job.finish(std::move(result), rd.ISEED);
}

ThreadExecutor::ThreadExecutor(DataSetRunner& runner, unsigned capacity)
    : runner_(runner), capacity_(std::max(capacity, 1u)) {}

void ThreadExecutor::start(DataSetJob& job) {
    std::lock_guard lock(mutex_);
    queue_.push_back(&job);
    if (idle_ == 0 && threads_.size() < capacity_) {
        threads_.emplace_back([this](std::stop_token stop) { serve(stop); });
    } else {
        job_ready_.notify_one();
    }
}

void ThreadExecutor::serve(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        const bool got = job_ready_.wait(lock, stop, [&] { return !queue_.empty(); });
        --idle_;
        if (!got) return;
        DataSetJob* job = queue_.front();
        queue_.pop_front();
        lock.unlock();
        run_job(runner_, *job);
        lock.lock();
    }
}

void ThreadExecutor::stop_all() noexcept {
    std::vector<std::jthread> threads;
    {
        std::lock_guard lock(mutex_);
        queue_.clear();  // never started: nothing to stop
        threads.swap(threads_);
    }
    // Each thread ends its job (whose stop was requested) and is joined here.
    threads.clear();
}

}  // namespace bw
