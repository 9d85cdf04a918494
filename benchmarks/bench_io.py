"""Data in and out: construction from what users hold (numpy arrays, lists of ints), and the
companion module tarnex_io's bulk export and comparisons, against numpy.

Two cases have a tarnex reference instead of numpy, named in their notes: a list of ints
against the same values as floats (the int path should cost about what the float path does).
"""
from __future__ import annotations

from typing import Iterator

import numpy as np

from common import Case

import tarnex
import tarnex_io


def construction(quick: bool) -> Iterator[Case]:
    n = 10**6
    rng = np.random.default_rng(3)
    x = rng.standard_normal(n)
    flags = x > 0.0
    yield Case("io-in", "PyNDArray(float64 ndarray) vs x.copy()", f"{n:.0e}",
               lambda: tarnex.PyNDArray(x, [n]), lambda: x.copy())
    yield Case("io-in", "PyBoolArray(bool ndarray) vs m.copy()", f"{n:.0e}",
               lambda: tarnex.PyBoolArray(flags, [n]), lambda: flags.copy())
    ints = rng.integers(-10**6, 10**6, n).tolist()
    floats = [float(v) for v in ints]
    yield Case("io-in", "PyNDArray(list of ints)", f"{n:.0e}",
               lambda: tarnex.PyNDArray(ints, [n]), lambda: tarnex.PyNDArray(floats, [n]),
               notes=lambda r: "reference: PyNDArray(list of floats)")
    data = x.tobytes()
    yield Case("io-in", "from_bytes vs np.frombuffer(...).copy()", f"{n:.0e}",
               lambda: tarnex_io.from_bytes(data, [n]),
               lambda: np.frombuffer(data, dtype=np.float64).copy())


def export(quick: bool) -> Iterator[Case]:
    n = 10**6
    x = np.random.default_rng(4).standard_normal(n)
    a = tarnex.PyNDArray(x, [n])
    m = tarnex_io.greater(a, 0.0)
    mx = x > 0.0
    yield Case("io-out", "to_list vs tolist", f"{n:.0e}", lambda: tarnex_io.to_list(a),
               lambda: x.tolist())
    yield Case("io-out", "to_list(bools) vs tolist", f"{n:.0e}", lambda: tarnex_io.to_list(m),
               lambda: mx.tolist())
    yield Case("io-out", "to_bytes vs tobytes", f"{n:.0e}", lambda: tarnex_io.to_bytes(a),
               lambda: x.tobytes())
    yield Case("io-out", "to_numpy vs x.copy()", f"{n:.0e}", lambda: tarnex_io.to_numpy(a),
               lambda: x.copy())


def comparisons(quick: bool) -> Iterator[Case]:
    n = 10**6
    rng = np.random.default_rng(5)
    x, y = rng.standard_normal(n), rng.standard_normal(n)
    a, b = tarnex.PyNDArray(x, [n]), tarnex.PyNDArray(y, [n])
    m1, m2 = tarnex_io.greater(a, 0.0), tarnex_io.greater(b, 0.0)
    n1, n2 = x > 0.0, y > 0.0
    yield Case("io-masks", "greater(a, 0.0) vs x > 0.0", f"{n:.0e}",
               lambda: tarnex_io.greater(a, 0.0), lambda: np.greater(x, 0.0))
    yield Case("io-masks", "less_equal(a, b) vs x <= y", f"{n:.0e}",
               lambda: tarnex_io.less_equal(a, b), lambda: np.less_equal(x, y))
    yield Case("io-masks", "not_equal(a, b) vs x != y", f"{n:.0e}",
               lambda: tarnex_io.not_equal(a, b), lambda: np.not_equal(x, y))
    yield Case("io-masks", "isnan(a) vs np.isnan(x)", f"{n:.0e}",
               lambda: tarnex_io.isnan(a), lambda: np.isnan(x))
    yield Case("io-masks", "logical_and vs np.logical_and", f"{n:.0e}",
               lambda: tarnex_io.logical_and(m1, m2), lambda: np.logical_and(n1, n2))
    yield Case("io-masks", "logical_not vs np.logical_not", f"{n:.0e}",
               lambda: tarnex_io.logical_not(m1), lambda: np.logical_not(n1))


GROUPS = {"io-in": construction, "io-out": export, "io-masks": comparisons}
