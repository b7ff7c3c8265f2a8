// Rimeflower: the result codes of the host interface.
//
// 16-bit codes written through the entry point's result pointer. Every layer
// answers these, from growth up to the entry point, and the command-line
// host reads them back, so they sit beside the interface declarations and
// depend on nothing.
#pragma once

#include <cstdint>

namespace rf {

constexpr int16_t kNoErr = 0;
constexpr int16_t kMemFullErr = -108;
constexpr int16_t kUserCanceledErr = -128;
constexpr int16_t kErrMissingParameter = -1715;
constexpr int16_t kFilterBadParameters = -30100;
constexpr int16_t kErrPlugInHostInsufficient = -30900;  // also: a channel port that cannot be read

}  // namespace rf
