#pragma once
// The hydrodynamic entries of a sampled conformation: its reduced translational
// diffusion coefficient D* (DT) and reduced intrinsic viscosity [eta]* (ETA),
// computed on the conformation seen as a rigid array of beads. The property
// code asks for them through this interface so that it does not depend on how
// (or on which thread) the rigid-body calculation runs. Messages of the
// hydrodynamic stages go to `console`, in the order they are produced.
#include "driver/records/record_sink.hpp"
#include "montecarlo/conformation.hpp"

namespace bw {

class HydroEntries {
public:
    virtual ~HydroEntries() = default;
    virtual void compute(const Conformation& conf, float& DT, float& ETA, RecordSink& console) = 0;
};

}  // namespace bw
