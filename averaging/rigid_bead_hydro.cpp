#include "averaging/rigid_bead_hydro.hpp"

#include <stdexcept>

#include "hydro/trv.hpp"

namespace bw {

RigidBeadHydro::RigidBeadHydro() : AP_(NAP, 0.0f) {}

void RigidBeadHydro::compute(const Conformation& conf, float& DT, float& ETA, RecordSink& console) {
    if (conf.N < 1 || conf.N > MAXBEADS)
        throw std::invalid_argument("RigidBeadHydro: bead count outside 1..100");
    for (std::int32_t i = 0; i < conf.N; ++i) {
        RAD_[i] = BEADRAD;
        COORD_[i] = conf.x[i];
        COORD_[i + LDC] = conf.y[i];
        COORD_[i + 2 * LDC] = conf.z[i];
    }
    HydroModel model;
    model.IGYR = 0;
    model.IVCROT = 0;
    model.IVCVIS = 0;
    model.IND = 1;
    model.IP = 0;
    model.LDC = LDC;
    model.N = conf.N;
    model.COORD = COORD_.data();
    model.RAD = RAD_.data();
    model.NAP = NAP;
    model.AP = AP_.data();
    TRV(model, ws_, console, &fast_);
    DT = ws_.res.DT;
    ETA = ws_.res.ETA;
}

}  // namespace bw
