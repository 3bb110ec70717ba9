#pragma once
// The exit statuses of every executable that runs data files.

namespace bw {

inline constexpr int kExitNormal = 0;     // negative bead count reached
inline constexpr int kExitErrorStop = 1;  // invalid input refused, or the simulation failed
inline constexpr int kExitIoFailure = 2;  // a file, the console or a data item could not be read or written

}  // namespace bw
