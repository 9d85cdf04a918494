"""Reductions along an axis and the softmax family against numpy. Sums are in-order chains
run side by side in vector lanes; the softmax family's exponentials have the C library's bits."""
from __future__ import annotations

import sys
from typing import Iterator

import numpy as np

from common import Case

import tarnex_io as tio


def _pair(shape, seed):
    x = np.random.default_rng(seed).uniform(-5.0, 5.0, shape)
    return x, tio.from_bytes(x.tobytes(), list(shape))


def _numpy_softmax(x):
    e = np.exp(x - x.max(axis=1, keepdims=True))
    return e / e.sum(axis=1, keepdims=True)


def _numpy_log_softmax(x):
    d = x - x.max(axis=1, keepdims=True)
    return d - np.log(np.exp(d).sum(axis=1, keepdims=True))


def axis(quick: bool) -> Iterator[Case]:
    x, a = _pair((100, 10), 1)
    for name in ("sum", "mean", "max", "min", "argmax", "argmin"):
        f, g = getattr(tio, name), getattr(np, name)
        yield Case("axis", f"{name} axis=1", "[100,10]", lambda f=f: f(a, 1), lambda g=g: g(x, 1))
        yield Case("axis", f"{name} axis=0", "[100,10]", lambda f=f: f(a, 0), lambda g=g: g(x, 0))
    yield Case("axis", "softmax", "[100,10]", lambda: tio.softmax(a), lambda: _numpy_softmax(x))
    yield Case("axis", "log_softmax", "[100,10]", lambda: tio.log_softmax(a),
               lambda: _numpy_log_softmax(x))
    yield Case("axis", "logsumexp", "[100,10]", lambda: tio.logsumexp(a),
               lambda: np.log(np.exp(x - x.max(1, keepdims=True)).sum(1)) + x.max(1))
    big, b = _pair((1000, 1000), 2)
    for name in ("sum", "max", "argmax"):
        f, g = getattr(tio, name), getattr(np, name)
        for ax in (0, 1):
            yield Case("axis", f"{name} axis={ax}", "[1000,1000]",
                       lambda f=f, ax=ax: f(b, ax), lambda g=g, ax=ax: g(big, ax))
    for shape in ((30, 10), (1000, 1000)):
        y, c = _pair(shape, 3)
        size = f"[{shape[0]},{shape[1]}]"
        yield Case("axis", "softmax", size, lambda c=c: tio.softmax(c), lambda y=y: _numpy_softmax(y))
        yield Case("axis", "log_softmax", size, lambda c=c: tio.log_softmax(c),
                   lambda y=y: _numpy_log_softmax(y))


GROUPS = {"axis": axis}

if __name__ == "__main__":
    import run
    sys.exit(run.main(sys.argv[1:], only=list(GROUPS)))
