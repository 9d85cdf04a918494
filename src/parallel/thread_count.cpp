#include "parallel/thread_count.hpp"

#include <cstdlib>

#include "parallel/available_cpus.hpp"

namespace tarnex::parallel {

std::optional<std::uint64_t> parse_decimal_count(const char* text) {
    if (text == nullptr) return std::nullopt;
    if (*text == '+') ++text;
    if (*text == '\0') return std::nullopt;
    std::uint64_t value = 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') return std::nullopt;
        if (__builtin_mul_overflow(value, 10, &value) ||
            __builtin_add_overflow(value, static_cast<std::uint64_t>(*text - '0'), &value)) {
            return std::nullopt;
        }
    }
    return value;
}

std::uint64_t choose_thread_count(const char* num_threads, const char* num_cpus,
                                  std::uint64_t (*default_count)()) {
    if (const auto count = parse_decimal_count(num_threads)) {
        return *count > 0 ? *count : default_count();
    }
    if (const auto count = parse_decimal_count(num_cpus); count && *count > 0) return *count;
    return default_count();
}

std::uint64_t configured_thread_count() {
    return choose_thread_count(std::getenv("RAYON_NUM_THREADS"),
                               std::getenv("RAYON_RS_NUM_CPUS"), available_cpus);
}

}  // namespace tarnex::parallel
