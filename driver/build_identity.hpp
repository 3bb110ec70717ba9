#pragma once
// The identity of this build of the core libraries, "BEADWALKS <version>
// sources <SHA-256 of their sources>": the same in beadwalks and its
// companions built from one tree, different after any change of the code that
// computes or writes results. A checkpoint names it and a run refuses the
// checkpoint of another build.

namespace bw {

const char* build_identity();

}  // namespace bw
