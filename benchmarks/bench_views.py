"""Shape transforms, slices, in-place region writes and selection against numpy, on arrays
of 10^6 elements (and a 4000 x 4000 transpose in the full run). Index arguments are Python
lists on both sides, as a caller would pass them; numpy's views are copied, as tarnex
returns a new array."""
from __future__ import annotations

from typing import Iterator

import numpy as np

from common import Case

import tarnex


def matrix(rows: int, cols: int, seed: int):
    x = np.random.default_rng(seed).uniform(-1.0, 1.0, (rows, cols))
    return tarnex.PyNDArray(x.ravel().tolist(), [rows, cols]), x


def mask(shape, seed: int):
    m = np.random.default_rng(seed).random(shape) < 0.5
    return tarnex.PyBoolArray(m.ravel().tolist(), list(shape)), m


def views(quick: bool) -> Iterator[Case]:
    a, x = matrix(1000, 1000, 1)
    size = "1000x1000"
    new_shape = [500, 2000]
    yield Case("views", "reshape to [500, 2000]", size, lambda: a.reshape(new_shape),
               lambda: x.reshape(new_shape).copy())
    yield Case("views", "transpose", size, a.transpose, lambda: x.T.copy())
    if not quick:
        big, y = matrix(4000, 4000, 2)
        yield Case("views", "transpose", "4000x4000", big.transpose, lambda: y.T.copy())
        del big, y
    yield Case("views", "slice_row(500)", size, lambda: a.slice_row(500), lambda: x[500].copy())
    yield Case("views", "slice_col(500)", size, lambda: a.slice_col(500),
               lambda: x[:, 500].copy())
    yield Case("views", "slice_range(0, 100, 900)", size, lambda: a.slice_range(0, 100, 900),
               lambda: x[100:900].copy())
    yield Case("views", "slice_range(1, 100, 900)", size, lambda: a.slice_range(1, 100, 900),
               lambda: x[:, 100:900].copy())


def selection(quick: bool) -> Iterator[Case]:
    a, x = matrix(1000, 1000, 5)
    b, y = matrix(1000, 1000, 6)
    m, mx = mask((1000, 1000), 7)
    rng = np.random.default_rng(8)
    picks = rng.integers(0, 1000, 1000).tolist()
    flat = tarnex.PyNDArray(x.ravel().tolist(), [10**6])
    fx = x.ravel().copy()
    few = rng.integers(0, 10**6, 10**4).tolist()
    many = rng.integers(0, 10**6, 10**6).tolist()
    size = "1000x1000"
    yield Case("selection", "gather(0, 1000 indices)", size, lambda: a.gather(0, picks),
               lambda: np.take(x, picks, 0))
    yield Case("selection", "gather(1, 1000 indices)", size, lambda: a.gather(1, picks),
               lambda: np.take(x, picks, 1))
    yield Case("selection", "fancy_index(1e4 indices)", "1e+06", lambda: flat.fancy_index(few),
               lambda: fx[few])
    yield Case("selection", "fancy_index(1e6 indices)", "1e+06",
               lambda: flat.fancy_index(many), lambda: fx[many])
    yield Case("selection", "boolean_mask, half true", size, lambda: a.boolean_mask(m),
               lambda: x[mx])
    yield Case("selection", "where_(condition, other)", size, lambda: a.where_(m, b),
               lambda: np.where(mx, x, y))


def writes(quick: bool) -> Iterator[Case]:
    a, x = matrix(1000, 1000, 3)
    m, mx = mask((1000, 1000), 4)
    size = "1000x1000"

    def np_rows() -> None:
        x[100:900] = 3.0

    def np_cols() -> None:
        x[:, 100:900] = 3.0

    def np_masked() -> None:
        x[mx] = 7.0

    yield Case("in-place writes", "set_slice(0, 100, 900, v)", size,
               lambda: a.set_slice(0, 100, 900, 3.0), np_rows)
    yield Case("in-place writes", "set_slice(1, 100, 900, v)", size,
               lambda: a.set_slice(1, 100, 900, 3.0), np_cols)
    yield Case("in-place writes", "masked_fill, half true", size, lambda: a.masked_fill(m, 7.0),
               np_masked)


GROUPS = {"views": views, "selection": selection, "in-place writes": writes}
