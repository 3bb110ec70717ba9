#include "driver/in_flight.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "driver/banner.hpp"
#include "driver/checkpoint/checkpoint.hpp"
#include "driver/data_set.hpp"
#include "driver/io_error.hpp"
#include "driver/exit_status.hpp"
#include "driver/record_spool.hpp"
#include "driver/report.hpp"

namespace bw {

std::size_t read_ahead_window(unsigned capacity) { return std::max<std::size_t>(16, std::size_t{4} * capacity); }

std::size_t slot_bytes(const RunData& rd) {
    // Echo and progress records; PSUB (5 floats), PROP and PSTAT (2 floats)
    // of every property while it runs, PSTAT once it has run.
    constexpr std::size_t kRecords = 16 << 10;
    return kRecords + std::size_t{40} * static_cast<std::size_t>(std::max(rd.NPROP, 0));
}

double data_set_cost(const RunData& rd) {
    const double N = rd.N, cycles = std::max(rd.NCONF, 0);
    // A move costs a fixed part and a part for its pairs, taken 16 at a time
    // by the vector lanes; one factorisation of order 3N weighs about as
    // much as 0.15 N^3 such units (measured with bench_sweep and bench_trv).
    const double sweeps = cycles * N * (1.0 + N / 16.0);
    const double hydro = rd.IHYD != 0 ? static_cast<double>(rd.NCONFAVE) * 0.15 * N * N * N : 0.0;
    return sweeps + hydro;
}

namespace {

class InFlight;

// One data set after the pause, from its reading to its last record.
class Slot final : public DataSetJob, public DataSetTap {
public:
    enum class Run { Waiting, Started, Done, Failed };

    explicit Slot(InFlight& owner);

    const RunData& data() const override { return rd; }
    std::stop_token stop_token() const override { return stop.get_token(); }
    RecordSink& console() override { return sink_; }
    DataSetTap* tap() override { return this; }
    const DataSetState* resume() const override { return resume_from ? &*resume_from : nullptr; }
    void finish(DataSetResult result, std::int32_t ISEED) override;
    void fail(std::exception_ptr error) override;

    // The tap, asked from the sampler's thread.
    bool wanted() const override { return capture_wanted.load(std::memory_order_relaxed); }
    void capture(DataSetState state) override;

    // Kept by the main thread alone.
    RunData rd;
    std::vector<RoutedRecord> echo;  // separator, echo, validation message: not yet written
    bool echo_written = false;
    DataSetStatus status = DataSetStatus::Ready;
    std::exception_ptr read_error;   // the IoError that ended the reading
    bool seed_pending = false;       // its seed is the random state the data set before it leaves
    double cost = 0.0;
    std::size_t bytes = 0;
    std::stop_source stop;
    std::optional<DataSetState> resume_from;  // restored from a checkpoint
    std::uint64_t requested_epoch = 0;         // the checkpoint its state was last asked for
    std::atomic<bool> capture_wanted{false};

    // Under the owner's mutex.
    Run run = Run::Waiting;
    RecordSpool records{kHeldRecordBytes};  // console records not yet written
    DataSetResult result;
    std::int32_t final_ISEED = 0;
    std::exception_ptr error;
    std::uint64_t records_added = 0;  // console records ever received
    std::uint64_t records_taken = 0;  // of which written to the console
    // The state it last gave, with the count of its console records before
    // that boundary, and the checkpoint it was given for.
    std::optional<DataSetState> state;
    std::uint64_t state_records = 0;
    std::uint64_t state_epoch = 0;

private:
    class Console final : public RecordSink {
    public:
        explicit Console(Slot& slot) : slot_(slot) {}
        void record(std::string_view line) override;

    private:
        Slot& slot_;
    };

    InFlight& owner_;
    Console sink_{*this};
};

class InFlight {
public:
    InFlight(RecordReader& data, RunData& rd, Output& out, DataSetExecutor& executor, bool read_ahead,
             const InFlightCheckpoints& checkpoints)
        : data_(data), reader_(rd), out_(out), executor_(executor), read_ahead_(read_ahead),
          window_(read_ahead_window(executor.capacity())), checkpoints_(checkpoints) {}
    ~InFlight();

    int run();

    // From the jobs, on any thread.
    void console_record(Slot& slot, std::string_view line);
    void finished(Slot& slot, DataSetResult result, std::int32_t ISEED);
    void failed(Slot& slot, std::exception_ptr error);
    void captured(Slot& slot, DataSetState state);

private:
    Slot& add_slot();
    void first_data_set();
    void restore(const Checkpoint& c);
    void mark_read_point();
    void checkpoint_step();
    void request_states();
    bool states_given();
    Checkpoint checkpoint();
    SavedDataSet saved(const Slot& slot);
    bool may_read() const;
    std::optional<int> read_next();
    void settle_seeds();
    void start_ready();
    std::optional<int> write_head(bool& popped);
    std::optional<int> write_end(Slot& head);
    void wait_for_change();

    RecordReader& data_;
    RunData& reader_;  // the data as the serial loop would hold them before the next read
    Output& out_;
    DataSetExecutor& executor_;
    const bool read_ahead_;
    const std::size_t window_;
    bool reading_done_ = false;
    std::size_t bytes_ = 0;  // slot_bytes of the slots held
    std::deque<std::unique_ptr<Slot>> slots_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t changes_ = 0;
    std::uint64_t seen_ = 0;
    unsigned in_flight_ = 0;

    // The reading, as a checkpoint keeps it: where the data set after the
    // last one read and ready begins, with the reader's items there.
    std::uint64_t read_offset_ = 0;
    RunData read_items_;
    std::int32_t last_final_ISEED_ = 0;  // of the last data set written
    std::uint64_t written_ = 0;          // data sets written in full

    const InFlightCheckpoints checkpoints_;
    std::uint64_t epoch_ = 0;         // checkpoints asked for
    bool asking_ = false;             // the states of checkpoint epoch_ are being given
    Checkpointer::Clock::time_point asked_at_{};
    std::uint64_t ended_ = 0;         // data sets that ended (under the mutex)
    std::uint64_t ended_seen_ = 0;    // of which before the last checkpoint
    int stopping_ = 0;                // the signal that ends the run
};

Slot::Slot(InFlight& owner) : owner_(owner) {}

void Slot::Console::record(std::string_view line) { slot_.owner_.console_record(slot_, line); }
void Slot::finish(DataSetResult res, std::int32_t ISEED) { owner_.finished(*this, std::move(res), ISEED); }
void Slot::fail(std::exception_ptr e) { owner_.failed(*this, std::move(e)); }
void Slot::capture(DataSetState st) { owner_.captured(*this, std::move(st)); }

void InFlight::console_record(Slot& slot, std::string_view line) {
    std::lock_guard lock(mutex_);
    slot.records.add(line);
    ++slot.records_added;
    ++changes_;
    changed_.notify_one();
}

void InFlight::finished(Slot& slot, DataSetResult result, std::int32_t ISEED) {
    std::lock_guard lock(mutex_);
    slot.result = std::move(result);
    slot.final_ISEED = ISEED;
    slot.run = Slot::Run::Done;
    --in_flight_;
    ++ended_;
    ++changes_;
    changed_.notify_one();
}

void InFlight::failed(Slot& slot, std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    slot.error = std::move(error);
    slot.run = Slot::Run::Failed;
    --in_flight_;
    ++changes_;
    changed_.notify_one();
}

// The state comes after every console record before its boundary.
void InFlight::captured(Slot& slot, DataSetState state) {
    std::lock_guard lock(mutex_);
    slot.state = std::move(state);
    slot.state_records = slot.records_added;
    slot.state_epoch = slot.requested_epoch;
    slot.capture_wanted = false;
    ++changes_;
    changed_.notify_one();
}

// Whatever ends the run, the data sets still in flight are given up and
// nothing of them is written.
InFlight::~InFlight() {
    for (auto& slot : slots_) slot->stop.request_stop();
    executor_.stop_all();
}

Slot& InFlight::add_slot() {
    slots_.push_back(std::make_unique<Slot>(*this));
    return *slots_.back();
}

bool InFlight::may_read() const {
    if (reading_done_) return false;
    if (slots_.empty()) return true;
    return read_ahead_ && slots_.size() < window_ && bytes_ < kReadAheadBytes;
}

// Reads the next data set into a new slot. With no data set waiting to be
// written it is the earliest, read and echoed straight to the output as the
// serial loop does (and its end of run, validation stop or fatal error ends
// the run at once); otherwise its records are kept for its turn.
std::optional<int> InFlight::read_next() {
    const bool live = slots_.empty();
    bool before_done = live;
    if (!live) {
        const Slot& before = *slots_.back();
        std::lock_guard lock(mutex_);
        before_done = before.run == Slot::Run::Done;
        if (before_done) reader_.ISEED = before.final_ISEED;
    }
    Slot& slot = add_slot();
    Output kept(slot.echo);
    Output& target = live ? out_ : kept;
    DataSetReading how;
    try {
        target.both(rule_record());
        slot.status = read_data_set(data_, reader_, target, how);
    } catch (const IoError&) {
        if (live) throw;
        slot.status = DataSetStatus::Ready;
        slot.read_error = std::current_exception();
    }
    slot.echo_written = live;
    // Its echo shows the random state the data set before it leaves, also
    // when a later item is refused.
    slot.seed_pending = !how.seed_given && !before_done;
    if (slot.read_error || slot.status != DataSetStatus::Ready) {
        reading_done_ = true;
        if (live && slot.status == DataSetStatus::EndOfRun) return kExitNormal;
        if (live) return kExitErrorStop;
        return std::nullopt;
    }
    reader_.NPROG = progress_interval(reader_.NCONFAVE);
    reader_.NPROP = property_count(reader_.IHYD, reader_.NPR);
    slot.rd = reader_;
    slot.cost = data_set_cost(slot.rd);
    slot.bytes = slot_bytes(slot.rd);
    bytes_ += slot.bytes;
    mark_read_point();
    return std::nullopt;
}

void InFlight::mark_read_point() {
    read_offset_ = data_.position();
    read_items_ = reader_;
}

// A data set whose seed record gave no value starts from the random state
// the one before it left; it waits for that one to end, and its echo shows
// that state, as in the serial run. The one before the earliest has been
// written already.
void InFlight::settle_seeds() {
    std::lock_guard lock(mutex_);
    for (std::size_t k = 0; k < slots_.size(); ++k) {
        Slot& slot = *slots_[k];
        if (!slot.seed_pending) continue;
        if (k > 0 && slots_[k - 1]->run != Slot::Run::Done) continue;
        slot.rd.ISEED = k > 0 ? slots_[k - 1]->final_ISEED : last_final_ISEED_;
        const std::string seed_prefix = seed_record(0).substr(0, seed_record(0).find(':') + 1);
        for (RoutedRecord& r : slot.echo)
            if (r.text.rfind(seed_prefix, 0) == 0) r.text = seed_record(slot.rd.ISEED);
        slot.seed_pending = false;
    }
}

// The costliest ready data sets first, as long as the executor has room.
void InFlight::start_ready() {
    for (;;) {
        Slot* best = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (in_flight_ >= executor_.capacity()) return;
            for (auto& slot : slots_) {
                if (slot->run != Slot::Run::Waiting || slot->seed_pending || slot->read_error ||
                    slot->status != DataSetStatus::Ready)
                    continue;
                if (best == nullptr || slot->cost > best->cost) best = slot.get();
            }
            if (best == nullptr) return;
            best->run = Slot::Run::Started;
            ++in_flight_;
        }
        executor_.start(*best);
    }
}

// Writes what the earliest data set has ready. Returns the exit status when
// the run ends with it; popped tells that it was written in full.
std::optional<int> InFlight::write_head(bool& popped) {
    popped = false;
    Slot& head = *slots_.front();
    if (!head.echo_written) {
        out_.write(head.echo);
        head.echo_written = true;
        head.echo.clear();
        if (head.read_error) std::rethrow_exception(head.read_error);
        if (head.status == DataSetStatus::EndOfRun) return kExitNormal;
        if (head.status == DataSetStatus::ErrorStop) return kExitErrorStop;
    }
    std::vector<std::string> records;
    Slot::Run run;
    {
        std::lock_guard lock(mutex_);
        head.records.take(records);
        run = head.run;
    }
    for (const std::string& r : records) out_.console(r);
    head.records_taken += records.size();
    if (run != Slot::Run::Done && run != Slot::Run::Failed) return std::nullopt;
    if (const auto status = write_end(head)) return status;
    bytes_ -= head.bytes;
    slots_.pop_front();
    popped = true;
    return std::nullopt;
}

// The report of a data set that ran, or the message of its failure, as the
// serial loop writes them.
std::optional<int> InFlight::write_end(Slot& head) {
    try {
        if (head.error) std::rethrow_exception(head.error);
        const RunData& rd = head.rd;
        out_.write(report_records(head.result.NREJ, rd.NCONF, rd.N, rd.IHYD, rd.NPR, rd.RMAX, head.result.PSTAT, rd.NPIVOT,
                                  head.result.NPREJ));
    } catch (const IoError&) {
        throw;
    } catch (const std::runtime_error& e) {
        out_.both(e.what());
        return kExitErrorStop;
    }
    // The last data set read has run: the next one starts from its random
    // state when its seed record gives no value.
    if (slots_.size() == 1) reader_.ISEED = head.final_ISEED;
    last_final_ISEED_ = head.final_ISEED;
    ++written_;
    if (checkpoints_.saver != nullptr && checkpoints_.saver->points() != nullptr)
        checkpoints_.saver->points()->reached("data-set-written");
    return std::nullopt;
}

// With checkpoints the wait is bounded, so that the interval and a stop
// signal are seen within a tenth of a second.
void InFlight::wait_for_change() {
    std::unique_lock lock(mutex_);
    if (executor_.polled()) {
        changed_.wait_for(lock, std::chrono::milliseconds(1), [&] { return changes_ != seen_; });
        seen_ = changes_;
        lock.unlock();
        executor_.poll();
        return;
    }
    if (checkpoints_.saver != nullptr) {
        changed_.wait_for(lock, std::chrono::milliseconds(100), [&] { return changes_ != seen_; });
    } else {
        changed_.wait(lock, [&] { return changes_ != seen_; });
    }
    seen_ = changes_;
}

// The first data set, read, echoed and confirmed at the pause.
void InFlight::first_data_set() {
    Slot& first = add_slot();
    reader_.NPROG = progress_interval(reader_.NCONFAVE);
    reader_.NPROP = property_count(reader_.IHYD, reader_.NPR);
    first.rd = reader_;
    first.echo_written = true;
    first.cost = data_set_cost(first.rd);
    first.bytes = slot_bytes(first.rd);
    bytes_ += first.bytes;
    mark_read_point();
}

// The data sets of a checkpoint, as they were when it was written, and the
// reading where it stood.
void InFlight::restore(const Checkpoint& c) {
    data_.seek(c.input_offset);
    reader_ = c.reader;
    read_offset_ = c.input_offset;
    read_items_ = c.reader;
    last_final_ISEED_ = c.reader.ISEED;
    written_ = c.written;
    for (const SavedDataSet& d : c.data_sets) {
        Slot& slot = add_slot();
        slot.rd = d.rd;
        slot.echo_written = d.echo_written;
        slot.echo = d.echo;
        slot.seed_pending = d.seed_pending;
        for (const std::string& r : d.console) slot.records.add(r);
        slot.records_added = d.console.size();
        switch (d.kind) {
        case SavedDataSet::Kind::Waiting: break;
        case SavedDataSet::Kind::InFlight:
            slot.resume_from = d.state;
            slot.state = d.state;
            slot.state_records = slot.records_added;
            break;
        case SavedDataSet::Kind::Finished:
            slot.run = Slot::Run::Done;
            slot.result = d.result;
            slot.final_ISEED = d.final_ISEED;
            break;
        }
        slot.cost = data_set_cost(slot.rd);
        slot.bytes = slot_bytes(slot.rd);
        bytes_ += slot.bytes;
    }
}

int InFlight::run() {
    if (checkpoints_.resume != nullptr) {
        restore(*checkpoints_.resume);
    } else {
        first_data_set();
    }
    if (checkpoints_.saver != nullptr) checkpoints_.saver->start(Checkpointer::Clock::now());
    for (;;) {
        while (may_read())
            if (const auto status = read_next()) return *status;
        settle_seeds();
        start_ready();
        bool popped = false;
        {
            std::lock_guard lock(mutex_);
            seen_ = changes_;  // what is seen from here on is written below or waited for
        }
        if (const auto status = write_head(popped)) return *status;
        checkpoint_step();
        if (!popped) wait_for_change();
    }
}

// Asks for the states when a checkpoint is due (or a stop signal came), and
// writes it once they are given. A stop signal ends the run after it.
void InFlight::checkpoint_step() {
    Checkpointer* saver = checkpoints_.saver;
    if (saver == nullptr) return;
    const auto now = Checkpointer::Clock::now();
    const int signal = checkpoints_.signal != nullptr ? checkpoints_.signal->load() : 0;
    if (signal != 0 && stopping_ == 0) {
        stopping_ = signal;
        asking_ = false;  // a checkpoint of the states from now
    }
    if (!asking_) {
        bool ended = false;
        {
            std::lock_guard lock(mutex_);
            ended = ended_ != ended_seen_;
        }
        if (stopping_ == 0 && !saver->due(now, ended)) return;
        request_states();
        asked_at_ = now;
    }
    if (!states_given() && now - asked_at_ < kCaptureWait) return;
    asking_ = false;
    Checkpoint c = checkpoint();
    out_.flush();
    saver->save(std::move(c), out_.file_length(), out_.file_digest(), asked_at_);
    if (stopping_ != 0) throw StoppedBySignal(stopping_);
}

void InFlight::request_states() {
    ++epoch_;
    asking_ = true;
    std::vector<Slot*> running;
    {
        std::lock_guard lock(mutex_);
        ended_seen_ = ended_;
        for (auto& slot : slots_) {
            if (slot->run != Slot::Run::Started) continue;
            slot->requested_epoch = epoch_;
            slot->capture_wanted = true;
            running.push_back(slot.get());
        }
    }
    for (Slot* slot : running) executor_.request_capture(*slot);
}

// Every data set asked has given its state, or has ended.
bool InFlight::states_given() {
    std::lock_guard lock(mutex_);
    for (auto& slot : slots_)
        if (slot->run == Slot::Run::Started && slot->requested_epoch == epoch_ && slot->state_epoch != epoch_)
            return false;
    return true;
}

// Everything read and not yet written, in the order of the file: the data
// sets up to the last one read in full (one whose reading stopped the run is
// read again by the run that goes on), and the reading after it.
Checkpoint InFlight::checkpoint() {
    Checkpoint c;
    c.input_offset = read_offset_;
    c.reader = read_items_;
    c.written = written_;
    for (auto& slot : slots_) {
        if (slot->read_error || slot->status != DataSetStatus::Ready) break;
        c.data_sets.push_back(saved(*slot));
    }
    // With nothing waiting, the next data set reads the final random state
    // of the last one written.
    if (c.data_sets.empty()) c.reader.ISEED = last_final_ISEED_;
    return c;
}

SavedDataSet InFlight::saved(const Slot& slot) {
    SavedDataSet d;
    d.rd = slot.rd;
    d.echo_written = slot.echo_written;
    d.echo = slot.echo;
    d.seed_pending = slot.seed_pending;
    std::lock_guard lock(mutex_);
    if (slot.run == Slot::Run::Done) {
        d.kind = SavedDataSet::Kind::Finished;
        d.result = slot.result;
        d.final_ISEED = slot.final_ISEED;
        slot.records.copy(d.console, slot.records_added - slot.records_taken);
    } else if (slot.run != Slot::Run::Failed && slot.state) {
        // Running, or restored and not started again. Its records after the
        // boundary come again when it goes on.
        d.kind = SavedDataSet::Kind::InFlight;
        d.state = *slot.state;
        if (slot.state_records > slot.records_taken)
            slot.records.copy(d.console, slot.state_records - slot.records_taken);
    }
    return d;
}

}  // namespace

int run_in_flight(RecordReader& data, RunData& rd, Output& out, DataSetExecutor& executor, bool read_ahead,
                  const InFlightCheckpoints& checkpoints) {
    InFlight loop(data, rd, out, executor, read_ahead, checkpoints);
    return loop.run();
}

}  // namespace bw
