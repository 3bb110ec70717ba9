#pragma once
// RigidBeadHydro: the hydrodynamic entries D* and [eta]* of a sampled
// conformation, computed on the conformation seen as a rigid array of beads
// of radius 0.257 (Rotne-Prager-Yamakawa interaction with overlap, no
// printing), by the fast route of TRV. One object per thread of calculation:
// it owns the bead model, the packed work array, the storage of the fast
// route and the hydrodynamic workspace, all sized once.
#include <array>
#include <cstdint>
#include <vector>

#include "averaging/hydro_entries.hpp"
#include "hydro/fast_gram.hpp"
#include "hydro/hydro_workspace.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

class RigidBeadHydro final : public HydroEntries {
public:
    static constexpr float BEADRAD = 0.257f;
    static constexpr std::int32_t LDC = MAXBEADS;
    static constexpr std::int32_t NAP = 50000;

    RigidBeadHydro();
    void compute(const Conformation& conf, float& DT, float& ETA, RecordSink& console) override;

    // The full results of the last conformation (centres, tensors, ...).
    const HydroWorkspace& workspace() const { return ws_; }

private:
    std::array<float, LDC * 3> COORD_{};  // column-major, LDC x 3
    std::array<float, MAXBEADS> RAD_{};
    std::vector<float> AP_;
    FastWork fast_;
    HydroWorkspace ws_;
};

}  // namespace bw
