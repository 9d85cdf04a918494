"""sum, mean and argmax against numpy. tarnex adds the elements strictly in order, one after
the other, so that the result is defined bit for bit; numpy sums pairwise in blocks."""
from __future__ import annotations

from typing import Iterator

import numpy as np

from common import Case

import tarnex


def reductions(quick: bool) -> Iterator[Case]:
    for n in (10**3, 10**6) if quick else (10**3, 10**4, 10**5, 10**6, 10**7):
        x = np.random.default_rng(n).uniform(-1.0, 1.0, n)
        a = tarnex.PyNDArray(x.tolist(), [n])
        size = f"{n:.0e}"
        yield Case("reductions", "sum", size, a.sum, x.sum)
        yield Case("reductions", "mean", size, a.mean, x.mean)
        yield Case("reductions", "argmax", size, a.argmax, x.argmax)


GROUPS = {"reductions": reductions}
