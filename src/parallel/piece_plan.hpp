// How an ordered map cuts [0, n) into contiguous pieces for the pool.
#pragma once

#include <cstdint>

namespace tarnex::parallel {

// Maps shorter than this run on the calling thread (after the pool has been started):
// there, handing the job over and collecting it costs about as much as the parallel
// pieces save. Measured with additions from cache on 2 CPUs and 2 workers: 32768
// elements took 7.8 µs on the caller and 8.1 µs through the pool, 65536 took 16.6 and
// 13.1 µs, 10^5 took 25 and 18.7 µs.
inline constexpr std::uint64_t inline_cutoff = 32768;

// No piece is cut shorter than this (unless the whole map is): shorter pieces only add
// claiming traffic, while a few pieces per thread already even out uneven workers.
inline constexpr std::uint64_t min_piece = 16384;
inline constexpr std::uint64_t pieces_per_thread = 4;

class PiecePlan {
public:
    // Pieces for a map of `n` elements on `threads` workers writing to `out`; piece
    // boundaries fall on 64-byte lines of `out`, so no two pieces write one line.
    PiecePlan(std::uint64_t n, std::uint64_t threads, const double* out) noexcept;

    std::uint64_t pieces() const noexcept { return pieces_; }
    // Workers worth waking: no more than there are pieces.
    std::uint64_t helpers(std::uint64_t threads) const noexcept {
        return threads < pieces_ ? threads : pieces_;
    }
    // First position of piece `p`; begin(pieces()) is n. Never decreasing in `p`.
    std::uint64_t begin(std::uint64_t p) const noexcept;

private:
    std::uint64_t n_;
    std::uint64_t pieces_;
    std::uint64_t line_start_;  // first position whose output address starts a 64-byte line
};

}  // namespace tarnex::parallel
