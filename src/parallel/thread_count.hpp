// How many worker threads the process-wide pool gets.
#pragma once

#include <cstdint>
#include <optional>

namespace tarnex::parallel {

// A decimal count: one or more ASCII digits after an optional '+', nothing else, whose
// value fits in 64 bits unsigned. Anything else (empty, spaces, '-', overflow) is no count.
std::optional<std::uint64_t> parse_decimal_count(const char* text);

// The thread count from the two environment values (null when unset):
// a positive `num_threads` wins; "0" there means the default even when `num_cpus` is set;
// an unset or non-numeric `num_threads` lets a positive `num_cpus` decide; otherwise the
// default. `default_count` is only called when the default is needed.
std::uint64_t choose_thread_count(const char* num_threads, const char* num_cpus,
                                  std::uint64_t (*default_count)());

// The count the pool starts with, read from RAYON_NUM_THREADS and RAYON_RS_NUM_CPUS at
// the moment of the call, defaulting to the CPUs this process may run on.
std::uint64_t configured_thread_count();

}  // namespace tarnex::parallel
