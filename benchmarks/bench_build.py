"""Array makers and joins of the companion module tarnex_io against numpy's: filled arrays,
evenly spaced values, the identity-like matrix, asarray of a nested list and of a 2-D numpy
array, and concatenate/stack of ten arrays.

numpy's asarray of a numpy array returns it without copying, which is not the same work as
making an array that owns its data; the comparison for that case is np.array (a copy).
"""
from __future__ import annotations

import sys
from typing import Iterator

import numpy as np

from common import Case

import tarnex_io as tx

SIZES = (10**3, 10**6)


def side(n: int) -> int:
    return int(round(n**0.5))


def makers(quick: bool) -> Iterator[Case]:
    for n in SIZES:
        size = f"{n:.0e}"
        s = side(n)
        yield Case("build", "zeros(n) vs np.zeros", size, lambda: tx.zeros(n), lambda: np.zeros(n))
        yield Case("build", "zeros((s, s)) vs np.zeros", size, lambda: tx.zeros((s, s)),
                   lambda: np.zeros((s, s)))
        yield Case("build", "ones(n) vs np.ones", size, lambda: tx.ones(n), lambda: np.ones(n))
        yield Case("build", "full(n, 2.5) vs np.full", size, lambda: tx.full(n, 2.5),
                   lambda: np.full(n, 2.5))
        yield Case("build", "arange(0.0, n, 0.5) vs np.arange", size,
                   lambda: tx.arange(0.0, n / 2, 0.5), lambda: np.arange(0.0, n / 2, 0.5))
        yield Case("build", "eye(s) vs np.eye", size, lambda: tx.eye(s), lambda: np.eye(s))


def conversions(quick: bool) -> Iterator[Case]:
    rng = np.random.default_rng(11)
    for n in SIZES:
        size = f"{n:.0e}"
        s = side(n)
        x = rng.standard_normal((s, s))
        nested = x.tolist()
        yield Case("asarray", "asarray(nested list) vs np.asarray", size,
                   lambda: tx.asarray(nested), lambda: np.asarray(nested))
        yield Case("asarray", "asarray(2-D float64) vs np.array (copy)", size,
                   lambda: tx.asarray(x), lambda: np.array(x))
        xt = x.T
        yield Case("asarray", "asarray(Fortran order) vs np.ascontiguousarray", size,
                   lambda: tx.asarray(xt), lambda: np.ascontiguousarray(xt))


def joins(quick: bool) -> Iterator[Case]:
    rng = np.random.default_rng(12)
    for s in (10, 100):
        size = f"10 x [{s}, {s}]"
        xs = [rng.standard_normal((s, s)) for _ in range(10)]
        ts = [tx.asarray(x) for x in xs]
        yield Case("join", "concatenate(axis=0) vs np.concatenate", size,
                   lambda: tx.concatenate(ts), lambda: np.concatenate(xs))
        yield Case("join", "concatenate(axis=1) vs np.concatenate", size,
                   lambda: tx.concatenate(ts, 1), lambda: np.concatenate(xs, 1))
        yield Case("join", "stack(axis=0) vs np.stack", size, lambda: tx.stack(ts),
                   lambda: np.stack(xs))
        yield Case("join", "stack(axis=2) vs np.stack", size, lambda: tx.stack(ts, 2),
                   lambda: np.stack(xs, 2))
        a, x = ts[0], xs[0]
        yield Case("join", "reshape(a, (-1,)) vs x.reshape(-1).copy()", f"[{s}, {s}]",
                   lambda: tx.reshape(a, (-1,)), lambda: x.reshape(-1).copy())


GROUPS = {"build": makers, "asarray": conversions, "join": joins}

if __name__ == "__main__":
    import run
    sys.exit(run.main(sys.argv[1:], only=list(GROUPS)))
