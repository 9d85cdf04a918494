"""Matrix product against numpy's `a @ b` with numpy's BLAS limited to one thread (tarnex's
product runs on the calling thread), as time, GFLOP/s and, in the notes, the share of this
core's peak without fused multiply-add.

The peak is the rate at which this core issues independent vector multiplies and adds (no
fused multiply-add, as the product's exact order needs a separate multiply and add) at the
vector width of the level tarnex runs at, measured by matmul_peak.cpp --levels (compiled on
the fly). The level is the widest this CPU has, or TARNEX_BENCH_LEVEL (baseline, avx2,
avx512) for a build pinned lower with -DTARNEX_ISA. Some CPUs issue fewer wide vectors per
cycle than narrow ones, so each level is set against its own rate.

numpy's BLAS reads OPENBLAS_CORETYPE and OPENBLAS_L2_SIZE when it loads; run without them to
measure the kernel it picks on its own. The kernel in use is printed with the machine.
"""
from __future__ import annotations

import functools
import os
import subprocess
from typing import Callable, Dict, Iterator, Optional

import numpy as np

from common import Case, Result, compiled
from machine import instruction_set

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


@functools.lru_cache(maxsize=None)
def level_peaks() -> Dict[str, float]:
    """Measured flop/s of independent vector multiplies and adds per level this CPU has;
    empty without a C++ compiler."""
    exe = compiled("matmul_peak.cpp", "-O2")
    if exe is None:
        return {}
    try:
        out = subprocess.run([exe, "--levels"], check=True, capture_output=True,
                             text=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return {}
    return {line.split()[0]: float(line.split()[2]) for line in out.splitlines() if line}


def tarnex_level() -> str:
    return os.environ.get("TARNEX_BENCH_LEVEL") or {"avx512f": "avx512"}.get(
        instruction_set(), instruction_set())


def peak() -> Optional[float]:
    return level_peaks().get(tarnex_level())


def operands(m: int, k: int, n: int):
    rng = np.random.default_rng(m * 7 + k * 3 + n)
    x, y = rng.uniform(-1.0, 1.0, (m, k)), rng.uniform(-1.0, 1.0, (k, n))
    return (tarnex.PyNDArray(x.ravel().tolist(), [m, k]),
            tarnex.PyNDArray(y.ravel().tolist(), [k, n]), x, y)


def throughput(flops: float) -> Callable[[Result], str]:
    def note(r: Result) -> str:
        ours, theirs = flops / r.tarnex, flops / r.numpy
        text = f"GFLOP/s {ours / 1e9:.1f} vs {theirs / 1e9:.1f}"
        top = peak()
        if top:
            text += (f"; {ours / top:.0%} of the {tarnex_level()} no-FMA peak "
                     f"({top / 1e9:.1f} GFLOP/s)")
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
