#pragma once
// The checkpoint on disk. A new checkpoint is written beside the old one
// under a temporary name, flushed to the disk, renamed over the old one, and
// then the folder is flushed, so that a kill or a crash at any instant leaves
// either the old checkpoint or the new one, whole.
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace bw {

// Named instants of a run at which a test may stop the process (a test
// executable gives one; beadwalks has none): inside the writing of a
// checkpoint and between data sets, where a signal from outside cannot aim.
class StopPoints {
public:
    virtual ~StopPoints() = default;
    virtual void reached(const char* point) = 0;
};

// What failed, and the system's reason: "cannot be created: Permission denied".
struct CheckpointFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws CheckpointFileError (what failed and the system's reason); the
// temporary file is then removed and the old checkpoint stands.
void write_checkpoint_file(const std::string& path, std::span<const char> bytes, StopPoints* points);

// The whole file; nothing when there is none. Throws CheckpointFileError
// when it exists but cannot be read.
std::optional<std::vector<char>> read_checkpoint_file(const std::string& path);

// Removes the checkpoint (and a temporary one left by a kill); quiet when
// there is none.
void remove_checkpoint_file(const std::string& path);

}  // namespace bw
