"""argmax against the sequential scan on inputs built to trip a vectorised search: NaNs
placed everywhere, ties, signed zeros, infinities, and lengths around every vector width and
the scan's blocks."""

import math
import random

import pytest
from tarnex import PyNDArray

NAN = math.nan
INF = math.inf


def sequential(values):
    best, result = values[0], 0
    for i in range(1, len(values)):
        if values[i] > best:
            best, result = values[i], i
    return result


def argmax(values, shape=None):
    result = PyNDArray(values, shape or [len(values)]).argmax()
    assert type(result) is int
    return result


POOLS = {
    "ties and NaNs": [1.0, 2.0, 2.0, -1.0, NAN, 0.0, -0.0, 3.0],
    "signed zeros": [-0.0, 0.0, NAN, -INF],
    "infinities": [-INF, INF, -INF, NAN],
    "all NaN": [NAN],
    "all minus infinity": [-INF],
}
# Every length up to several vectors of the widest level, and around the blocks of 512.
LENGTHS = list(range(1, 41)) + [511, 512, 513, 1023, 1024, 1025, 1537]


@pytest.mark.parametrize("pool", list(POOLS))
@pytest.mark.parametrize("n", LENGTHS)
def test_matches_sequential_scan(pool, n):
    rng = random.Random(f"{pool}-{n}")
    for _ in range(3):
        values = [rng.choice(POOLS[pool]) for _ in range(n)]
        assert argmax(values) == sequential(values)


@pytest.mark.parametrize("n", [2, 9, 600, 5000])
def test_nan_at_zero_wins_over_larger_values(n):
    assert argmax([NAN] + [INF] * (n - 1)) == 0


@pytest.mark.parametrize("at", [2, 3, 7, 8, 15, 16, 511, 512, 513, 1999])
def test_maximum_beside_nans_and_a_later_tie(at):
    values = [-0.0 if i % 2 else 0.0 for i in range(2000)]
    values[at] = 7.0
    values[at - 1] = NAN
    if at + 1 < len(values):
        values[at + 1] = NAN
    values[(at + 700) % len(values)] = 7.0
    assert argmax(values) == sequential(values) == min(at, (at + 700) % len(values))


@pytest.mark.parametrize("values, expected", [
    ([-0.0, 0.0], 0),        # equal: the earlier stays
    ([0.0, -0.0, 1e-320], 2),
    ([-INF, NAN, -INF, -1e308], 3),
    ([1.0, NAN, NAN, NAN], 0),
])
def test_small_cases(values, expected):
    assert argmax(values) == expected


@pytest.mark.parametrize("n", [10_000, 100_003])
def test_long_increasing_and_random(n):
    increasing = [float(i) for i in range(n)]
    assert argmax(increasing) == n - 1
    rng = random.Random(n)
    values = [rng.uniform(-1.0, 1.0) for _ in range(n)]
    assert argmax(values, [n, 1]) == sequential(values)
