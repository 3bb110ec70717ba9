#include "driver/checkpoint/checkpointer.hpp"

#include <algorithm>

#include "driver/io_error.hpp"

namespace bw {

Checkpointer::Checkpointer(std::string path, CheckpointOwner owner, RecordSink& console,
                           std::function<void()> flush_output, std::string unavailable, StopPoints* points,
                           std::chrono::milliseconds interval)
    : path_(std::move(path)),
      owner_(std::move(owner)),
      console_(console),
      flush_output_(std::move(flush_output)),
      unavailable_(std::move(unavailable)),
      points_(points),
      interval_(interval) {}

bool Checkpointer::due(Clock::time_point now, bool data_set_ended) const {
    const auto since = now - last_;
    if (since >= interval_) return true;
    return data_set_ended && std::chrono::duration<double>(since).count() >= kCostFactor * cost_;
}

void Checkpointer::unwritable(const std::string& why) {
    if (said_) return;
    said_ = true;
    console_.record(" Checkpoint " + printable_name(path_) + " " + why + "; the run goes on without one");
}

bool Checkpointer::save(Checkpoint c, std::uint64_t output_length, const Digest& output_digest,
                        Clock::time_point requested) {
    last_ = Clock::now();
    if (!unavailable_.empty()) {
        unwritable(unavailable_);
        return false;
    }
    c.owner = owner_;
    c.owner.output_length = output_length;
    c.owner.output_digest = output_digest;
    std::size_t size = 0;
    try {
        flush_output_();
        const std::vector<char> bytes = encode_checkpoint(c);
        size = bytes.size();
        write_checkpoint_file(path_, bytes, points_);
    } catch (const CheckpointFileError& e) {
        unwritable(e.what());
        return false;
    }
    const Clock::time_point end = Clock::now();
    cost_ = std::chrono::duration<double>(end - requested).count();
    last_ = end;
    ++stats_.written;
    stats_.seconds += cost_;
    stats_.largest_bytes = std::max<std::uint64_t>(stats_.largest_bytes, size);
    return true;
}

void Checkpointer::remove() { remove_checkpoint_file(path_); }

}  // namespace bw
