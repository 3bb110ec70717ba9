// Several data sets in flight must write what the serial loop writes: the
// same output file, console, diagnostic and exit status, whatever order the
// data sets end in. A made-up runner sleeps for random times between its
// console records, so that later data sets often end before earlier ones.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <sstream>
#include <thread>

#include "driver/in_flight.hpp"
#include "driver/program.hpp"
#include "driver/record_spool.hpp"
#include "tests/driver/run_fixture.hpp"

namespace bw {
namespace {

using test::read_file;
using test::write_file;

// Records and results depend only on the data set; the random state it
// leaves is ISEED + NCONF, so that a data set whose seed record gives no
// value shows whether it started from the state the one before it left.
class DelayedRunner final : public DataSetRunner {
public:
    DelayedRunner(unsigned concurrency, unsigned seed) : concurrency_(concurrency), seed_(seed) {}

    DataSetResult run(RunData& rd, RecordSink& console) override {
        std::mt19937 random(seed_ + static_cast<unsigned>(rd.ISEED) * 7919u + static_cast<unsigned>(++calls_));
        std::uniform_int_distribution<int> pause_us(0, 3000);
        // NCONF = 555: slow, so that the data sets after it wait for their
        // turn; NCONF = 777: prints far more than is kept in memory.
        if (rd.NCONF == 555 && concurrency_ > 1) std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int records = rd.NCONF == 777 ? 60000 : 3 + rd.N % 5;
        for (int k = 1; k <= records; ++k) {
            if (concurrency_ > 1 && k % 1000 < 8) std::this_thread::sleep_for(std::chrono::microseconds(pause_us(random)));
            console.record(" progress " + std::to_string(k) + " of seed " + std::to_string(rd.ISEED));
        }
        if (rd.NCONF == 666) throw std::runtime_error("Monte Carlo: this data set cannot be simulated");
        DataSetResult res;
        res.NREJ = rd.NCONF / 3;
        for (int p = 1; p <= rd.NPROP; ++p)
            res.PSTAT.push_back({static_cast<float>(p + rd.ISEED % 100), static_cast<float>(p) / 64.0f});
        rd.ISEED += rd.NCONF;
        return res;
    }
    unsigned concurrency() const override { return concurrency_; }
    DataSetResult run_concurrently(RunData& rd, RecordSink& console, const DataSetControl& control) override {
        const std::stop_token& stop = control.stop;
        ++in_flight_;
        int peak = peak_.load();
        while (peak < in_flight_ && !peak_.compare_exchange_weak(peak, in_flight_)) {
        }
        struct Leave {
            std::atomic<int>& n;
            ~Leave() { --n; }
        } leave{in_flight_};
        if (stop.stop_requested()) throw std::runtime_error("stopped");
        return run(rd, console);
    }
    int peak() const { return peak_; }

private:
    unsigned concurrency_;
    unsigned seed_;
    std::atomic<int> calls_{0};
    std::atomic<int> in_flight_{0};
    std::atomic<int> peak_{0};
};

struct Transcript {
    int status = -1;
    std::string file, console, diagnostic;
};

Transcript run_file(const std::string& data, DataSetRunner& runner) {
    test::TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());  // the same names in every run
    write_file("in.dat", data);
    std::istringstream in("1\nin.dat\nout.txt\n\n");
    std::ostringstream out, err;
    Transcript t;
    t.status = run_program({in, out, err}, runner, [](const std::string&) {});
    t.file = read_file("out.txt");
    std::filesystem::current_path(previous);
    t.console = out.str();
    t.diagnostic = err.str();
    return t;
}

// A data set of code 1: N, NCONF, ISEED (written as given, "," leaves it),
// with P(r) of NPR intervals.
std::string data_set(int N, int NCONF, const std::string& ISEED, int NPR = 3) {
    return std::to_string(N) + "\n" + std::to_string(NCONF) + "\n100\n" + ISEED + "\n1\n" + std::to_string(NPR) +
           "\n" + (NPR > 0 ? "9.0\n" : "") + "0.5\n1.0\n";
}

std::string many(int count, int first_seed) {
    std::string s;
    for (int k = 0; k < count; ++k) s += data_set(3 + k % 17, 1000 + 100 * k, std::to_string(first_seed + k), k % 4);
    return s;
}

void expect_serial_bytes(const std::string& data, const std::string& what) {
    DelayedRunner serial(1, 0);
    const Transcript want = run_file(data, serial);
    for (unsigned seed : {1u, 2u, 3u}) {
        for (unsigned concurrency : {2u, 5u}) {
            SCOPED_TRACE(what + ", " + std::to_string(concurrency) + " in flight, delays " + std::to_string(seed));
            DelayedRunner parallel(concurrency, seed);
            const Transcript got = run_file(data, parallel);
            EXPECT_EQ(got.status, want.status);
            EXPECT_EQ(got.file, want.file);
            EXPECT_EQ(got.console, want.console);
            EXPECT_EQ(got.diagnostic, want.diagnostic);
            EXPECT_LE(parallel.peak(), static_cast<int>(concurrency));
        }
    }
}

TEST(InFlight, many_data_sets_ending_in_any_order_give_the_serial_records) {
    expect_serial_bytes(many(30, 11) + "-1\n", "thirty data sets");
}

TEST(InFlight, stops_in_the_middle_write_what_the_serial_run_writes) {
    expect_serial_bytes(many(6, 11) + "150\n" + many(6, 50) + "-1\n", "validation stop");
    expect_serial_bytes(many(6, 11) + "12\n1000\n4\n" + many(3, 50) + "-1\n", "too few conformations");
    expect_serial_bytes(many(6, 11) + "12\n1000\n100\nseven\n" + many(6, 50) + "-1\n", "conversion error");
    expect_serial_bytes(many(6, 11) + data_set(9, 666, "5") + many(6, 50) + "-1\n", "simulation failure");
    expect_serial_bytes(many(6, 11), "end of file instead of -1");
    expect_serial_bytes(many(4, 11) + "-1 end\n", "unreadable bead count");
}

TEST(InFlight, a_seed_record_without_value_continues_the_random_state_before_it) {
    // Seeds left unchanged, alone and in a row, after data sets of any length.
    const std::string data = many(3, 11) + data_set(20, 900, ",") + data_set(4, 5000, ", kept") +
                             data_set(7, 1200, "/") + many(3, 40) + data_set(5, 700, ",") + "-1\n";
    expect_serial_bytes(data, "inherited seeds");
    DelayedRunner serial(1, 0);
    const Transcript t = run_file(data, serial);
    // 11 + 1000, then 12 + 1100, 13 + 1200 = 1213, the fourth continues.
    EXPECT_NE(t.file.find(" Seed for random number generator:            1213"), std::string::npos);
    // The echo of a data set refused after its seed shows the state it
    // continues, also when the one before it ends after it is read, or is
    // written just before it is.
    const std::string refused_npr = "6\n1000\n100\n,\n0\n2000000\n";
    for (int k = 0; k < 4; ++k) {
        expect_serial_bytes(many(3, 11) + data_set(20, 9000 + k * 10, "5") + refused_npr + "-1\n",
                            "refused after a carried seed");
    }
}

TEST(InFlight, a_data_set_printing_megabytes_while_it_waits_keeps_them_in_order) {
    expect_serial_bytes(data_set(30, 555, "3") + data_set(3, 777, "4") + data_set(4, 777, "5") + many(4, 9) + "-1\n",
                        "spilled records");
}

TEST(RecordSpool, records_beyond_the_memory_limit_come_back_in_order) {
    RecordSpool spool(100);
    std::vector<std::string> got, want;
    for (int k = 0; k < 500; ++k) {
        const std::string r = " record " + std::to_string(k);
        spool.add(r);
        want.push_back(r);
        EXPECT_LE(spool.memory_bytes(), 100u);
        if (k == 250) {
            EXPECT_TRUE(spool.spilled());
            spool.take(got);  // half-way, as when a data set comes to the head
            EXPECT_FALSE(spool.spilled());
        }
    }
    spool.take(got);
    EXPECT_EQ(got, want);
    spool.take(got);
    EXPECT_EQ(got, want);  // nothing taken twice
}

TEST(InFlight, bounds_of_the_read_ahead) {
    EXPECT_EQ(read_ahead_window(1), 16u);
    EXPECT_EQ(read_ahead_window(64), 256u);
    RunData small, huge;
    small.NPROP = 4;
    huge.NPROP = 1000004;
    EXPECT_LT(slot_bytes(small), std::size_t{1} << 20);
    EXPECT_GT(slot_bytes(huge), std::size_t{32} << 20);
    EXPECT_LT(slot_bytes(huge) * 6, kReadAheadBytes + slot_bytes(huge));
    // The long data set is started before short ones.
    RunData a, b;
    a.N = b.N = 50;
    a.NCONF = 1000000;
    b.NCONF = 10000;
    EXPECT_GT(data_set_cost(a), data_set_cost(b));
    b.IHYD = 1;
    b.NCONFAVE = 100000;
    EXPECT_GT(data_set_cost(b), data_set_cost(a));
}

}  // namespace
}  // namespace bw
