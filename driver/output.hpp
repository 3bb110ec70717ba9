#pragma once
// Where a record goes: the output file (unit 8), the console (standard
// output) or both. Every record of the program passes through one Output, so
// the routing of each record is fixed in one place and testable with string
// streams.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/checkpoint/sha256.hpp"
#include "driver/records/record_sink.hpp"

namespace bw {

enum class Route { Both, Console, File };

// A record together with its destination; the report and the echo are
// functions that return these.
struct RoutedRecord {
    Route route;
    std::string text;
    bool operator==(const RoutedRecord&) const = default;
};

class Output {
public:
    explicit Output(std::ostream& console);
    // An Output that keeps its records, in order and with their routes, in
    // `kept` instead of writing them: a data set read ahead of its turn.
    explicit Output(std::vector<RoutedRecord>& kept);

    // Connects unit 8; until then records routed to the file are dropped.
    // written: the bytes the file already holds (a run that goes on from a
    // checkpoint), hashed into the digest of the file.
    void attach_file(std::ostream& file, std::string name, Sha256 written = {});
    // Bytes written to the file so far, and their SHA-256.
    std::uint64_t file_length() const { return file_hash_.length(); }
    Digest file_digest() const { return file_hash_.digest(); }

    // Takes a std::string so that a rec::Record converts implicitly.
    void write(Route route, const std::string& record);
    void write(Route route, const std::vector<std::string>& records);
    void write(const std::vector<RoutedRecord>& records);
    void both(const std::string& record) { write(Route::Both, record); }
    void console(const std::string& record) { write(Route::Console, record); }
    void file(const std::string& record) { write(Route::File, record); }

    // Pushes everything written so far to the console and the file.
    void flush();

    // The console as a RecordSink, for the layers below the driver.
    RecordSink& console_sink() { return console_sink_; }

private:
    class ConsoleSink final : public RecordSink {
    public:
        explicit ConsoleSink(Output& out) : out_(out) {}
        void record(std::string_view line) override { out_.console(std::string(line)); }
    private:
        Output& out_;
    };

    void check_file();
    void check_console();

    std::ostream* console_ = nullptr;
    std::vector<RoutedRecord>* kept_ = nullptr;
    std::ostream* file_ = nullptr;
    std::string file_name_;
    Sha256 file_hash_;
    ConsoleSink console_sink_{*this};
};

}  // namespace bw
