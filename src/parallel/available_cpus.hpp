// The number of CPUs this process may run on.
#pragma once

#include <cstdint>

namespace tarnex::parallel {

// CPUs in the affinity mask (or, if that cannot be read, the CPUs online), capped by the
// cgroup CPU quota rounded down (but at least 1); 1 when nothing can be determined.
std::uint64_t available_cpus();

}  // namespace tarnex::parallel
