#pragma once
// The run's values as bytes (driver/bytes.hpp): a data set's items, its
// results, its state in flight. The messages between ranks and the
// checkpoint file share these layouts.
#include "averaging/data_set_state.hpp"
#include "driver/bytes.hpp"
#include "driver/data_set_runner.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

void put_run_data(ByteWriter& w, const RunData& rd);
RunData get_run_data(ByteReader& r);

void put_result(ByteWriter& w, const DataSetResult& result);
DataSetResult get_result(ByteReader& r);

void put_state(ByteWriter& w, const DataSetState& state);
DataSetState get_state(ByteReader& r);

}  // namespace bw
