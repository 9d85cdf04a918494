// The element-wise loops compiled for AVX-512.
#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/elementwise/kernels.hpp"

TARNEX_TARGET_AVX512
namespace tarnex::avx512 {
#include "lib/elementwise/kernels_body.hpp"
}  // namespace tarnex::avx512
TARNEX_TARGET_END
