// beadwalks_killable: the beadwalks executable, with its real simulation,
// that kills itself (SIGKILL) at a named instant, for the tests of the
// checkpoints: BEADWALKS_TEST_STOP="point:k" stops at the k-th passing of
// `point` (checkpoint-half-written, checkpoint-written, checkpoint-renamed,
// data-set-written); BEADWALKS_TEST_INTERVAL_MS sets the checkpoint interval.
// beadwalks itself reads neither.
#include <signal.h>

#include <cstdlib>
#include <string>

#include "driver/program_main.hpp"

namespace {

class KillAt final : public bw::StopPoints {
public:
    KillAt(std::string point, int count) : point_(std::move(point)), left_(count) {}
    void reached(const char* point) override {
        if (point_ == point && --left_ == 0) raise(SIGKILL);
    }

private:
    std::string point_;
    int left_;
};

}  // namespace

int main() {
    const char* stop = std::getenv("BEADWALKS_TEST_STOP");
    const char* interval = std::getenv("BEADWALKS_TEST_INTERVAL_MS");
    std::string stop_point = stop != nullptr ? stop : "";
    const auto colon = stop_point.rfind(':');
    KillAt kill(stop_point.substr(0, colon), colon == std::string::npos ? 0 : std::atoi(stop_point.c_str() + colon + 1));
    const std::chrono::milliseconds every(interval != nullptr ? std::atoi(interval) : 30000);
    return bw::beadwalks_main(stop != nullptr ? &kill : nullptr, every);
}
