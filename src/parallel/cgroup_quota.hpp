// The CPU quota of the cgroup this process belongs to.
#pragma once

#include <cstdint>

namespace tarnex::parallel {

// The smallest whole number of CPUs (quota / period, rounded down) granted by the
// process's cgroup or any ancestor up to the mount point, cgroup v2 (`cpu.max`) or
// v1 (`cpu.cfs_quota_us` / `cpu.cfs_period_us`); UINT64_MAX when there is no limit or it
// cannot be read. A v1 "cpu" hierarchy takes precedence over the unified one.
std::uint64_t cgroup_cpu_quota();

}  // namespace tarnex::parallel
