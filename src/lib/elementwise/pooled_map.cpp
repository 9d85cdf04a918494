#include "lib/elementwise/pooled_map.hpp"

#include "lib/record/failure.hpp"
#include "parallel/global_pool.hpp"
#include "parallel/pool_start_failure.hpp"

namespace tarnex {

parallel::Pool& worker_pool() {
    try {
        return parallel::global_pool();
    } catch (const parallel::PoolStartFailure& e) {
        fail(e.what());
    }
}

}  // namespace tarnex
