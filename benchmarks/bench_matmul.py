"""Matrix product against numpy's `a @ b` with numpy's BLAS limited to one thread (tarnex's
product runs on the calling thread), as time, GFLOP/s and, in the notes, the share of this
core's peak without fused multiply-add.

The peak assumes one vector multiply and one vector add issue per cycle (two flops per lane
per cycle, as the product's exact order needs a separate multiply and add): peak = measured
clock x lanes x 2, clock and lanes from matmul_peak.cpp (compiled on the fly), which also
measures how fast independent multiplies and adds actually issue, as a check.

numpy's BLAS reads OPENBLAS_CORETYPE and OPENBLAS_L2_SIZE when it loads; run without them to
measure the kernel it picks on its own. The kernel in use is printed with the machine.
"""
from __future__ import annotations

import sys
from typing import Callable, Iterator

import numpy as np

from common import Case, Result
from machine import no_fma_peak

import tarnex

QUICK_SHAPES = [
    (1000, 1000, 1),
    (1, 1000, 1000),
    (4096, 16, 16),
    (256, 256, 256),
    (512, 512, 512),
    (1024, 1024, 1024),
]
MORE_SHAPES = [
    (64, 64, 64),
    (1000, 1000, 3),
    (1024, 64, 1024),
    (64, 1024, 64),
]


def operands(m: int, k: int, n: int):
    rng = np.random.default_rng(m * 7 + k * 3 + n)
    x, y = rng.uniform(-1.0, 1.0, (m, k)), rng.uniform(-1.0, 1.0, (k, n))
    return (tarnex.PyNDArray(x.ravel().tolist(), [m, k]),
            tarnex.PyNDArray(y.ravel().tolist(), [k, n]), x, y)


def throughput(flops: float) -> Callable[[Result], str]:
    def note(r: Result) -> str:
        ours, theirs = flops / r.tarnex, flops / r.numpy
        text = f"GFLOP/s {ours / 1e9:.1f} vs {theirs / 1e9:.1f}"
        peak = no_fma_peak()
        if peak:
            text += f"; {ours / peak:.0%} of the no-FMA peak"
        return text
    return note


def matmul(quick: bool) -> Iterator[Case]:
    shapes = QUICK_SHAPES if quick else MORE_SHAPES[:1] + QUICK_SHAPES + MORE_SHAPES[1:]
    for m, k, n in shapes:
        a, b, x, y = operands(m, k, n)
        yield Case("matmul", "matmul", f"{m}x{k} @ {k}x{n}", lambda a=a, b=b: a.matmul(b),
                   lambda x=x, y=y: x @ y, blas_threads=1,
                   notes=throughput(2.0 * m * k * n))


GROUPS = {"matmul": matmul}

if __name__ == "__main__":
    import run
    sys.exit(run.main(sys.argv[1:], only=list(GROUPS)))
