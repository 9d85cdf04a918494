"""The companion's element-wise functions with broadcasting against numpy's: every function at
10^3 elements (where the cost of one call shows) and at 10^6, the arithmetic also for a
[1000, 1000] array with a broadcast row [1, 1000] or column [1000, 1], and an optimiser update
written in place with out=."""
from __future__ import annotations

import sys
from typing import Iterator

import numpy as np

from common import Case

import tarnex
import tarnex_io as tio

BINARY = ("add", "subtract", "multiply", "divide", "maximum", "minimum")
UNARY = ("negative", "abs", "square", "sqrt", "exp", "log", "tanh")
COMPARISONS = ("greater", "less_equal", "equal")


def floats(shape, seed: int, low: float = -5.0, high: float = 5.0):
    x = np.random.default_rng(seed).uniform(low, high, shape)
    return tarnex.PyNDArray(x.ravel().tolist(), list(shape)), x


def sizes(quick: bool):
    return (10**3, 10**6)


def functions(quick: bool) -> Iterator[Case]:
    for n in sizes(quick):
        size = f"{n:.0e}"
        (a, x), (b, y) = floats((n,), 1), floats((n,), 2)
        # The functions of one operand get positive values, where sqrt and log are defined.
        p, z = floats((n,), 3, 0.1, 5.0)
        for name in BINARY:
            ours, theirs = getattr(tio, name), getattr(np, name)
            yield Case("broadcast", name, size, lambda f=ours: f(a, b),
                       lambda f=theirs: f(x, y))
        yield Case("broadcast", "add scalar", size, lambda: tio.add(a, 1.5),
                   lambda: np.add(x, 1.5))
        for name in UNARY:
            ours, theirs = getattr(tio, name), getattr(np, name)
            yield Case("broadcast", name, size, lambda f=ours: f(p), lambda f=theirs: f(z))
        yield Case("broadcast", "clip", size, lambda: tio.clip(a, -1.0, 1.0),
                   lambda: np.clip(x, -1.0, 1.0))
        m, mm = tio.greater(a, 0.0), x > 0.0
        yield Case("broadcast", "where", size, lambda: tio.where(m, a, b),
                   lambda: np.where(mm, x, y))
        for name in COMPARISONS:
            ours, theirs = getattr(tio, name), getattr(np, name)
            yield Case("broadcast", name, size, lambda f=ours: f(a, b),
                       lambda f=theirs: f(x, y))
        m2, mm2 = tio.less(b, 0.0), y < 0.0
        yield Case("broadcast", "logical_and", size, lambda: tio.logical_and(m, m2),
                   lambda: np.logical_and(mm, mm2))
        yield Case("broadcast", "isnan", size, lambda: tio.isnan(a), lambda: np.isnan(x))


def rows_and_columns(quick: bool) -> Iterator[Case]:
    a, x = floats((1000, 1000), 4)
    r, xr = floats((1, 1000), 5)
    c, xc = floats((1000, 1), 6)
    for name in ("add", "multiply", "maximum"):
        ours, theirs = getattr(tio, name), getattr(np, name)
        yield Case("broadcast rows", name, "[1000,1000] [1,1000]",
                   lambda f=ours: f(a, r), lambda f=theirs: f(x, xr))
        yield Case("broadcast rows", name, "[1000,1000] [1000,1]",
                   lambda f=ours: f(a, c), lambda f=theirs: f(x, xc))
    yield Case("broadcast rows", "greater", "[1000,1000] [1000,1]",
               lambda: tio.greater(a, c), lambda: np.greater(x, xc))
    # p -= lr * g, in place on both sides.
    for n in (10**3, 10**6):
        (p, xp), (g, xg) = floats((n,), 7), floats((n,), 8)
        t, xt = floats((n,), 9)

        def ours(p=p, g=g, t=t):
            tio.subtract(p, tio.multiply(1e-3, g, out=t), out=p)

        def theirs(xp=xp, xg=xg, xt=xt):
            np.subtract(xp, np.multiply(1e-3, xg, out=xt), out=xp)

        yield Case("broadcast rows", "update with out=", f"{n:.0e}", ours, theirs)


GROUPS = {"broadcast": functions, "broadcast rows": rows_and_columns}

if __name__ == "__main__":
    import run
    sys.exit(run.main(sys.argv[1:], only=list(GROUPS)))
