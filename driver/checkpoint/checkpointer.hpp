#pragma once
// The checkpoint of a run: when one is due, its writing, its removal. The
// data-set loop hands it what the run holds (driver/in_flight.cpp); it knows
// nothing of the dialogue or of how the data sets are run, only the path it
// was given.
//
// When: at least every `interval` of wall time while data sets run, and when
// a data set ends, unless the last checkpoint was written less than 200 times
// its own cost ago, so that checkpoints take about half a percent of the run
// at most however short its data sets are.
#include <chrono>
#include <functional>
#include <string>

#include "driver/checkpoint/checkpoint.hpp"
#include "driver/checkpoint/checkpoint_file.hpp"
#include "driver/records/record_sink.hpp"

namespace bw {

// What the checkpoints of a run cost: how many were written, the seconds
// from asking for the states to the file on disk, summed, and the largest.
struct CheckpointStats {
    std::uint64_t written = 0;
    double seconds = 0.0;
    std::uint64_t largest_bytes = 0;
};

class Checkpointer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kInterval{30};
    static constexpr double kCostFactor = 200.0;

    // path: the checkpoint file. owner: what it belongs to (the output's
    // length and digest are filled in at each save). console: where the one
    // record of a checkpoint that cannot be written goes. flush_output:
    // called before each write, so that the output file holds on disk every
    // byte the checkpoint counts. unavailable: why no checkpoint can be
    // written for this run at all (said once, when the first would be), or
    // empty.
    Checkpointer(std::string path, CheckpointOwner owner, RecordSink& console, std::function<void()> flush_output,
                 std::string unavailable = {}, StopPoints* points = nullptr,
                 std::chrono::milliseconds interval = kInterval);

    const std::string& path() const { return path_; }
    const CheckpointOwner& owner() const { return owner_; }
    StopPoints* points() const { return points_; }
    // The run is under way from now: the interval counts from here.
    void start(Clock::time_point now) { last_ = now; }
    // Whether a checkpoint is due at `now`; data_set_ended: one ended since
    // the last checkpoint.
    bool due(Clock::time_point now, bool data_set_ended) const;
    // Writes c with the output's length and digest; a failure gives its
    // console record (the first only) and the run goes on. True when written.
    // requested: when the states of the data sets were asked for, from which
    // the cost of this checkpoint is counted.
    bool save(Checkpoint c, std::uint64_t output_length, const Digest& output_digest, Clock::time_point requested);
    // The run has ended in a way that a new start would only repeat.
    void remove();

    const CheckpointStats& stats() const { return stats_; }
    double last_cost_seconds() const { return cost_; }

private:
    void unwritable(const std::string& why);

    std::string path_;
    CheckpointOwner owner_;
    RecordSink& console_;
    std::function<void()> flush_output_;
    std::string unavailable_;
    StopPoints* points_;
    std::chrono::milliseconds interval_;
    Clock::time_point last_ = Clock::now();
    double cost_ = 0.0;
    CheckpointStats stats_;
    bool said_ = false;
};

}  // namespace bw
