#pragma once
// Stand-in for the rigid-body hydrodynamics in the averaging tests: returns
// DT = 1 / N and ETA = r2 of the conformation it is given, writes one console
// record per call, and counts the calls.
#include <string>

#include "averaging/hydro_entries.hpp"
#include "montecarlo/iniconf.hpp"

namespace bw {

class FakeHydro final : public HydroEntries {
public:
    void compute(const Conformation& conf, float& DT, float& ETA, RecordSink& console) override {
        ++calls;
        DT = 1.0f / static_cast<float>(conf.N);
        ETA = DIST2(conf, 1, conf.N);
        console.record(" hydro " + std::to_string(calls));
    }
    int calls = 0;
};

}  // namespace bw
