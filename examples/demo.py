"""A tiny two-layer network forward pass and a little data cleaning with tarnex.

Every number printed is defined bit for bit: run it twice, or with any worker count
(RAYON_NUM_THREADS=1 python examples/demo.py), and the output is identical.
"""
import random
from typing import List

import tarnex


def dense(x: tarnex.PyNDArray, weights: tarnex.PyNDArray, bias_row: List[float],
          batch: int) -> tarnex.PyNDArray:
    """x @ weights + bias, the bias repeated for each row of the batch."""
    out = x.matmul(weights)
    cols = out.shape()[1]
    bias = tarnex.PyNDArray(bias_row * batch, [batch, cols])
    return out.add(bias)


def main() -> None:
    rng = random.Random(7)
    batch, n_in, n_hidden, n_out = 4, 8, 16, 3

    def randn(n: int) -> List[float]:
        return [rng.gauss(0.0, 1.0) for _ in range(n)]

    x = tarnex.PyNDArray(randn(batch * n_in), [batch, n_in])
    w1 = tarnex.PyNDArray(randn(n_in * n_hidden), [n_in, n_hidden]).scale(0.5)
    w2 = tarnex.PyNDArray(randn(n_hidden * n_out), [n_hidden, n_out]).scale(0.5)

    hidden = dense(x, w1, randn(n_hidden), batch).relu()
    logits = dense(hidden, w2, randn(n_out), batch)

    print("hidden shape:", hidden.shape(), "sum of activations:", hidden.sum())
    for row in range(batch):
        probs = logits.slice_row(row).softmax()
        values = [probs.get([j]) for j in range(n_out)]
        print(f"sample {row}: class {probs.argmax()}  p = "
              + ", ".join(f"{v:.6f}" for v in values))

    # Data cleaning: replace sentinel readings by the mean of the valid ones.
    raw = [3.5, -999.0, 4.25, 5.0, -999.0, 4.75]
    readings = tarnex.PyNDArray(raw, [2, 3])
    invalid = tarnex.PyBoolArray([r == -999.0 for r in raw], [2, 3])
    valid = tarnex.PyBoolArray([r != -999.0 for r in raw], [2, 3])
    readings.masked_fill(invalid, readings.boolean_mask(valid).mean())
    print("cleaned:", [readings.get([i, j]) for i in range(2) for j in range(3)])
    print("column sums:", [readings.slice_col(j).sum() for j in range(3)])
    print("running total:", [readings.cumsum().get([k]) for k in range(6)])


if __name__ == "__main__":
    main()
