#pragma once
// A record is one line of output without its terminator. Every layer below the
// driver reports through a RecordSink, so the driver decides where a record
// goes (console, output file, both) and tests can capture every record.
#include <string>
#include <string_view>
#include <vector>

namespace bw {

class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void record(std::string_view line) = 0;
};

// Keeps every record, in order; for tests and for buffering records that must
// be replayed later in a fixed order.
class CapturingSink final : public RecordSink {
public:
    void record(std::string_view line) override { records.emplace_back(line); }
    std::vector<std::string> records;
};

// Swallows everything.
class NullSink final : public RecordSink {
public:
    void record(std::string_view) override {}
};

}  // namespace bw
