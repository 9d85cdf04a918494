// The element-wise loops compiled for AVX2.
#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/elementwise/kernels.hpp"

TARNEX_TARGET_AVX2
namespace tarnex::avx2 {
#include "lib/elementwise/kernels_body.hpp"
}  // namespace tarnex::avx2
TARNEX_TARGET_END
