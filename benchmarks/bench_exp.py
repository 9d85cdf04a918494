"""The exponential on its own: tarnex_io.exp against numpy.exp, with the cost per element of
each way tarnex can compute it in the notes.

tarnex computes exp either with its vector exponential (when the self-check at first use
found it gives the C library's bits: "vector-fma" or "vector", as
tarnex_io.build_info()["exp"] says) or with the C library's exp called per element ("libm").
The notes give, in ns per element: the path this process runs and its time; the C library's
loop as a plain compiled loop timed in this process (exp_floor.cpp); and tarnex itself in a
child process with TARNEX_EXP=libm, which forces the library's loop for that process.
"""
from __future__ import annotations

import functools
import os
import subprocess
import sys
from typing import Callable, Iterator, Optional

import numpy as np

from bench_elementwise import arrays, exp_floor
from common import Case, Result

import tarnex_io

# Run in the child: the median over samples of tarnex_io.exp per element, in ns, on the
# parent's inputs (the same generator and seed).
_FORCED_LIBM_PROBE = """
import statistics, sys, time
import numpy as np
import tarnex, tarnex_io
assert tarnex_io.build_info()["exp"] == "libm", tarnex_io.build_info()["exp"]
n = int(sys.argv[1])
x = np.random.default_rng(int(sys.argv[2])).uniform(-5.0, 5.0, n)
a = tarnex.PyNDArray(x.tolist(), [n])
reps = max(3, 2 * 10**6 // n)
samples = []
for _ in range(9):
    start = time.perf_counter()
    for _ in range(reps):
        tarnex_io.exp(a)
    samples.append((time.perf_counter() - start) / reps)
print(statistics.median(samples) / n * 1e9)
"""


@functools.lru_cache(maxsize=None)
def forced_libm_ns(n: int, seed: int) -> Optional[float]:
    """ns per element of tarnex_io.exp in a child process run with TARNEX_EXP=libm."""
    here = os.path.dirname(os.path.abspath(tarnex_io.__file__))
    env = dict(os.environ, TARNEX_EXP="libm",
               PYTHONPATH=os.pathsep.join([here] + sys.path))
    try:
        out = subprocess.run([sys.executable, "-c", _FORCED_LIBM_PROBE, str(n), str(seed)],
                             env=env, check=True, capture_output=True, text=True).stdout
        return float(out.strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        return None


def per_element(x: np.ndarray, n: int, seed: int) -> Callable[[Result], str]:
    def note(r: Result) -> str:
        parts = [f"path {tarnex_io.build_info()['exp']}: {r.tarnex / n * 1e9:.2f} ns/element"]
        floor = exp_floor(x)
        if floor is not None:
            parts.append(f"C library's loop {floor / n * 1e9:.2f} ns/element")
        forced = forced_libm_ns(n, seed)
        if forced is not None:
            parts.append(f"TARNEX_EXP=libm {forced:.2f} ns/element")
        return "; ".join(parts)
    return note


def exponential(quick: bool) -> Iterator[Case]:
    for n in (10**3, 10**6):
        seed = 5
        a, x = arrays(n, seed)
        yield Case("exponential", "exp", f"{n:.0e}", lambda a=a: tarnex_io.exp(a),
                   lambda x=x: np.exp(x), notes=per_element(x, n, seed))


GROUPS = {"exponential": exponential}
