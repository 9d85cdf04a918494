"""Array construction from Python lists and single-element reads, against numpy."""
from __future__ import annotations

import random
from typing import Iterator

import numpy as np

from common import Case

import tarnex


def construction(quick: bool) -> Iterator[Case]:
    rng = random.Random(1)
    for n in (10**3, 10**6):
        values = [rng.random() for _ in range(n)]
        flags = [v < 0.5 for v in values]
        yield Case("construction", "PyNDArray(list, shape)", f"{n:.0e}",
                   lambda v=values, n=n: tarnex.PyNDArray(v, [n]), lambda v=values: np.array(v))
        yield Case("construction", "PyBoolArray(list, shape)", f"{n:.0e}",
                   lambda f=flags, n=n: tarnex.PyBoolArray(f, [n]),
                   lambda f=flags: np.array(f, dtype=bool))


def element_access(quick: bool) -> Iterator[Case]:
    values = np.random.default_rng(2).random(10**6)
    a, x = tarnex.PyNDArray(values.tolist(), [1000, 1000]), values.reshape(1000, 1000)
    flat = tarnex.PyNDArray(values.tolist(), [10**6])
    index = [123, 456]
    # The index as a list and as a tuple, against numpy's own two-index read.
    yield Case("get", "get([i, j]) vs x[i, j]", "1000x1000", lambda: a.get([123, 456]),
               lambda: x[123, 456])
    yield Case("get", "get((i, j)) vs x[i, j]", "1000x1000", lambda: a.get((123, 456)),
               lambda: x[123, 456])
    yield Case("get", "get(index) vs x[tuple(index)]", "1000x1000", lambda: a.get(index),
               lambda: x[tuple(index)])
    yield Case("get", "get([i]) vs x[i]", "1e+06", lambda: flat.get([654321]),
               lambda: values[654321])


GROUPS = {"construction": construction, "get": element_access}
