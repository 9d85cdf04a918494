#include "parallel/piece_plan.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tarnex::parallel {

namespace {
constexpr std::uint64_t per_line = 64 / sizeof(double);
}

std::uint64_t choose_inline_cutoff(std::uint64_t threads, double handoff_ns,
                                   double element_ns) noexcept {
    if (threads <= 1) return std::numeric_limits<std::uint64_t>::max();
    constexpr double safety = 4.0;
    const double share = 1.0 - 1.0 / static_cast<double>(threads);
    const double n = safety * handoff_ns / (element_ns * share);
    const std::uint64_t least = threads == 2 ? least_two_thread_cutoff : inline_cutoff;
    // NaN (a zero element cost over a zero hand-off) and infinity both end at a bound.
    if (!(n > static_cast<double>(least))) {
        return std::isnan(n) ? largest_inline_cutoff : least;
    }
    if (n >= static_cast<double>(largest_inline_cutoff)) return largest_inline_cutoff;
    return static_cast<std::uint64_t>(std::ceil(n));
}

PiecePlan::PiecePlan(std::uint64_t n, std::uint64_t threads, const double* out) noexcept
    : n_(n) {
    const std::uint64_t most = threads > UINT64_MAX / pieces_per_thread
                                   ? UINT64_MAX
                                   : threads * pieces_per_thread;
    pieces_ = std::max<std::uint64_t>(1, std::min(most, n / min_piece));
    const auto address = reinterpret_cast<std::uintptr_t>(out);
    line_start_ = address % sizeof(double) == 0 ? ((64 - address % 64) % 64) / sizeof(double) : 0;
}

std::uint64_t PiecePlan::begin(std::uint64_t p) const noexcept {
    if (p == 0) return 0;
    if (p >= pieces_) return n_;
    const auto even = static_cast<std::uint64_t>(static_cast<unsigned __int128>(n_) * p / pieces_);
    // Round up to the next line start; never past n.
    std::uint64_t at = line_start_;
    if (even > at) at += (even - at + per_line - 1) / per_line * per_line;
    return std::min(at, n_);
}

}  // namespace tarnex::parallel
