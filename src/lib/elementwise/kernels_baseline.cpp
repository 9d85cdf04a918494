// The element-wise loops compiled for any x86-64 (SSE2).
#include <cstdint>

#include "lib/elementwise/kernels.hpp"

namespace tarnex::baseline {
#include "lib/elementwise/kernels_body.hpp"
}  // namespace tarnex::baseline
