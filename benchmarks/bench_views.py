"""Shape transforms, slices, in-place region writes and selection against numpy, on arrays
of 10^6 elements (plus a 4000 x 4000 transpose). Index arguments are Python lists on both
sides, as a caller would pass them."""
import numpy as np

from common import compare, print_table

import tarnex


def matrix(rows, cols, seed):
    x = np.random.default_rng(seed).uniform(-1.0, 1.0, (rows, cols))
    return tarnex.PyNDArray(x.ravel().tolist(), [rows, cols]), x


def mask(shape, seed):
    m = np.random.default_rng(seed).random(shape) < 0.5
    return tarnex.PyBoolArray(m.ravel().tolist(), list(shape)), m


def view_rows():
    a, x = matrix(1000, 1000, 1)
    big, y = matrix(4000, 4000, 2)
    new_shape = [500, 2000]
    return [
        compare("reshape [1000,1000]->[500,2000]", lambda: a.reshape(new_shape),
                lambda: x.reshape(new_shape).copy()),
        compare("transpose 1000x1000", lambda: a.transpose(), lambda: x.T.copy()),
        compare("transpose 4000x4000", lambda: big.transpose(), lambda: y.T.copy(), repeat=3),
        compare("slice_row(500)", lambda: a.slice_row(500), lambda: x[500].copy()),
        compare("slice_col(500)", lambda: a.slice_col(500), lambda: x[:, 500].copy()),
        compare("slice_range(0, 100, 900)", lambda: a.slice_range(0, 100, 900),
                lambda: x[100:900].copy()),
        compare("slice_range(1, 100, 900)", lambda: a.slice_range(1, 100, 900),
                lambda: x[:, 100:900].copy()),
    ]


def write_rows():
    a, x = matrix(1000, 1000, 3)
    m, mx = mask((1000, 1000), 4)

    def np_set_slice():
        x[100:900] = 3.0

    def np_masked_fill():
        x[mx] = 7.0

    return [
        compare("set_slice(0, 100, 900, v)", lambda: a.set_slice(0, 100, 900, 3.0),
                np_set_slice),
        compare("set_slice(1, 100, 900, v)", lambda: a.set_slice(1, 100, 900, 3.0),
                lambda: x.__setitem__((slice(None), slice(100, 900)), 3.0)),
        compare("masked_fill(m, v), m half true", lambda: a.masked_fill(m, 7.0), np_masked_fill),
    ]


def selection_rows():
    a, x = matrix(1000, 1000, 5)
    b, y = matrix(1000, 1000, 6)
    m, mx = mask((1000, 1000), 7)
    rng = np.random.default_rng(8)
    picks = rng.integers(0, 1000, 1000).tolist()
    flat = tarnex.PyNDArray(x.ravel().tolist(), [10**6])
    fx = x.ravel().copy()
    few = rng.integers(0, 10**6, 10**4).tolist()
    many = rng.integers(0, 10**6, 10**6).tolist()
    return [
        compare("gather(0, 1000 indices)", lambda: a.gather(0, picks),
                lambda: np.take(x, picks, 0)),
        compare("gather(1, 1000 indices)", lambda: a.gather(1, picks),
                lambda: np.take(x, picks, 1)),
        compare("fancy_index(1e4 indices)", lambda: flat.fancy_index(few), lambda: fx[few]),
        compare("fancy_index(1e6 indices)", lambda: flat.fancy_index(many), lambda: fx[many],
                repeat=3),
        compare("boolean_mask(m), m half true", lambda: a.boolean_mask(m), lambda: x[mx]),
        compare("where_(c, other)", lambda: a.where_(m, b), lambda: np.where(mx, x, y)),
    ]


def main():
    print_table(view_rows(), "shape transforms and slices (numpy: the same view, .copy())")
    print_table(write_rows(), "in-place writes (numpy: slice and mask assignment)")
    print_table(selection_rows(), "selection (numpy: take, list indexing, mask, where)")


if __name__ == "__main__":
    main()
