#include "parallel/available_cpus.hpp"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "parallel/cgroup_quota.hpp"

namespace tarnex::parallel {
namespace {

// CPUs in the affinity mask, 0 if it cannot be read. The mask may cover more CPUs than
// the fixed-size cpu_set_t, so the set grows until the kernel accepts it.
std::uint64_t affinity_cpu_count() {
    for (int cpus = 1024; cpus <= (1 << 22); cpus *= 2) {
        cpu_set_t* set = CPU_ALLOC(cpus);
        if (set == nullptr) return 0;
        const std::size_t size = CPU_ALLOC_SIZE(cpus);
        CPU_ZERO_S(size, set);
        const int rc = sched_getaffinity(0, size, set);
        const int error = errno;
        const std::uint64_t count = rc == 0 ? static_cast<std::uint64_t>(CPU_COUNT_S(size, set)) : 0;
        CPU_FREE(set);
        if (rc == 0 || error != EINVAL) return count;
    }
    return 0;
}

}  // namespace

std::uint64_t available_cpus() {
    std::uint64_t count = affinity_cpu_count();
    if (count == 0) {
        const long online = sysconf(_SC_NPROCESSORS_ONLN);
        count = online > 0 ? static_cast<std::uint64_t>(online) : 0;
    }
    if (count == 0) return 1;
    return std::min(count, std::max<std::uint64_t>(cgroup_cpu_quota(), 1));
}

}  // namespace tarnex::parallel
