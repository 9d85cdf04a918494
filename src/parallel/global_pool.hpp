// The one worker pool of the process.
#pragma once

#include "parallel/pool.hpp"

namespace tarnex::parallel {

// The process-wide pool, started by the first call with the thread count from the
// environment (see thread_count.hpp). Throws PoolStartFailure if it cannot be started,
// then and on every later call. A child made by fork() starts its own pool on its first
// call.
Pool& global_pool();

}  // namespace tarnex::parallel
