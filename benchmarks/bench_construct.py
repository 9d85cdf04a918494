"""Array construction from a Python list and single-element reads, against numpy."""
import random

import numpy as np

from common import compare, print_table

import tarnex


def main():
    n = 10**6
    values = [random.random() for _ in range(n)]
    rows = [compare("PyNDArray(list of 1e6 floats)", lambda: tarnex.PyNDArray(values, [n]),
                    lambda: np.array(values))]
    a = tarnex.PyNDArray(values, [1000, 1000])
    b = np.array(values).reshape(1000, 1000)
    i, j = 123, 456
    rows.append(compare("a.get([i, j]) vs a[i, j]", lambda: a.get([i, j]), lambda: b[i, j]))
    idx = [i, j]
    rows.append(compare("a.get(idx) vs a[tuple(idx)]", lambda: a.get(idx),
                        lambda: b[tuple(idx)]))
    print_table(rows, "construction and element access")


if __name__ == "__main__":
    main()
