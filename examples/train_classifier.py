"""Train a small neural-network classifier with tarnex alone.

A multilayer perceptron (two hidden ReLU layers, softmax cross-entropy, mini-batch SGD with
momentum) learns three interleaved spirals. The data set is made here from a fixed seed: 2-D
spiral points lifted to 12 features by fixed random sine projections. The forward pass, the
backward pass and the weight updates are all tarnex operations; the companion module
tarnex_io reads arrays back in bulk and makes the ReLU masks by comparison. Python drives the
loops, makes the data and takes the loss's logarithms, as tarnex has none.

tarnex has no subtraction, division or broadcasting, so the code spells them out: a - b is
a.add(b.scale(-1.0)), a bias row is repeated down the batch with gather, each row's softmax is
the whole-array softmax of that row, column sums are a product with a row of ones, and the
ReLU derivative is a boolean mask (tarnex_io.greater) applied with where_.

Every number printed, except the elapsed times, is identical on every run and for every
worker count (try RAYON_NUM_THREADS=1 and RAYON_NUM_THREADS=3).

    python examples/train_classifier.py [--epochs N] [--plot FILE]
"""
from __future__ import annotations

import argparse
import hashlib
import importlib
import math
import random
import struct
import sys
import time
from typing import Any, Dict, List, Optional, Sequence, Tuple

import tarnex_io
from tarnex import PyBoolArray, PyNDArray

SEED = 20240611
CLASSES = 3
POINTS_PER_CLASS = 200
FEATURES = 12
TEST_SHARE = 0.25
HIDDEN = (32, 32)
BATCH = 30
EVAL_CHUNK = 50
LEARNING_RATE = 0.08
DECAY = 0.93  # the learning rate is multiplied by this after every epoch
MOMENTUM = 0.9
DEFAULT_EPOCHS = 40


# ---------------------------------------------------------------------------------------------
# Reading an array back into Python.

def read_values(a: PyNDArray) -> List[float]:
    """The elements of an array in row-major order, read in one call."""
    return tarnex_io.to_list(a)


# ---------------------------------------------------------------------------------------------
# Small array helpers built from tarnex operations.

def full(shape: Sequence[int], value: float) -> PyNDArray:
    return PyNDArray([value] * math.prod(shape), list(shape))


def subtract(a: PyNDArray, b: PyNDArray) -> PyNDArray:
    return a.add(b.scale(-1.0))


def repeat_row(row: PyNDArray, count: int) -> PyNDArray:
    """A [1, n] array repeated into a [count, n] array."""
    return row.gather(0, [0] * count)


def column_sums(a: PyNDArray) -> PyNDArray:
    """The [1, n] sums down the columns of an [m, n] array: a row of ones times a."""
    return full([1, a.shape()[0]], 1.0).matmul(a)


class RowAssembler:
    """Puts [n]-element rows together into an [m, n] array: each row is repeated down a
    whole array and kept only in its own row by a where_ with that row's mask. The masks
    depend only on the shape and are made once per shape."""

    def __init__(self) -> None:
        self._masks: Dict[Tuple[int, int], List[PyBoolArray]] = {}

    def masks(self, rows: int, cols: int) -> List[PyBoolArray]:
        key = (rows, cols)
        if key not in self._masks:
            self._masks[key] = [
                PyBoolArray([i == r for i in range(rows) for _ in range(cols)], [rows, cols])
                for r in range(rows)]
        return self._masks[key]

    def stack(self, rows: Sequence[PyNDArray]) -> PyNDArray:
        cols = rows[0].shape()[0]
        out = full([len(rows), cols], 0.0)
        for row, mask in zip(rows, self.masks(len(rows), cols)):
            out = repeat_row(row.reshape([1, cols]), len(rows)).where_(mask, out)
        return out


ASSEMBLER = RowAssembler()


def row_softmax(logits: PyNDArray) -> PyNDArray:
    """Softmax of each row of an [m, n] array. Each row is shifted by its largest element
    first, so that no exponential overflows; that changes no probability beyond rounding."""
    rows, cols = logits.shape()
    ones = full([cols], 1.0)
    probs = []
    for r in range(rows):
        row = logits.slice_row(r)
        top = row.get([row.argmax()])
        probs.append(row.add(ones.scale(-top)).softmax())
    return ASSEMBLER.stack(probs)


def row_argmax(a: PyNDArray) -> List[int]:
    """The column of the largest element of each row (the first one among equals)."""
    return [a.slice_row(r).argmax() for r in range(a.shape()[0])]


# ---------------------------------------------------------------------------------------------
# The network.

class Dense:
    """A fully connected layer y = x W + b, with its gradients and momentum buffers."""

    def __init__(self, n_in: int, n_out: int, rng: random.Random) -> None:
        # He initialisation: unit normals scaled by sqrt(2 / fan-in), zero biases.
        normals = [rng.gauss(0.0, 1.0) for _ in range(n_in * n_out)]
        self.weights = PyNDArray(normals, [n_in, n_out]).scale(math.sqrt(2.0 / n_in))
        self.bias = full([1, n_out], 0.0)
        self.weights_velocity = full([n_in, n_out], 0.0)
        self.bias_velocity = full([1, n_out], 0.0)
        self._input: Optional[PyNDArray] = None
        self._weights_grad: Optional[PyNDArray] = None
        self._bias_grad: Optional[PyNDArray] = None

    def forward(self, x: PyNDArray) -> PyNDArray:
        self._input = x
        return x.matmul(self.weights).add(repeat_row(self.bias, x.shape()[0]))

    def backward(self, grad_out: PyNDArray) -> PyNDArray:
        """Stores the parameter gradients and returns the gradient for the layer's input."""
        assert self._input is not None, "backward before forward"
        self._weights_grad = self._input.transpose().matmul(grad_out)
        self._bias_grad = column_sums(grad_out)
        return grad_out.matmul(self.weights.transpose())

    def step(self, learning_rate: float, momentum: float) -> None:
        """SGD with momentum: v = momentum v + g, then p = p - learning_rate v."""
        assert self._weights_grad is not None and self._bias_grad is not None
        self.weights_velocity = self.weights_velocity.scale(momentum).add(self._weights_grad)
        self.bias_velocity = self.bias_velocity.scale(momentum).add(self._bias_grad)
        self.weights = subtract(self.weights, self.weights_velocity.scale(learning_rate))
        self.bias = subtract(self.bias, self.bias_velocity.scale(learning_rate))

    def parameters(self) -> List[PyNDArray]:
        return [self.weights, self.bias]


class ReLU:
    """max(x, 0); its gradient passes where the input was positive and is zero elsewhere."""

    def __init__(self) -> None:
        self._mask: Optional[PyBoolArray] = None

    def forward(self, x: PyNDArray) -> PyNDArray:
        # True where an element is above zero: the elements relu lets through.
        self._mask = tarnex_io.greater(x, 0.0)
        return x.relu()

    def backward(self, grad_out: PyNDArray) -> PyNDArray:
        assert self._mask is not None, "backward before forward"
        return grad_out.where_(self._mask, full(grad_out.shape(), 0.0))


class Model:
    """Dense and ReLU layers in turn, ending with a Dense layer that gives the logits."""

    def __init__(self, sizes: Sequence[int], rng: random.Random) -> None:
        self.dense = [Dense(n_in, n_out, rng) for n_in, n_out in zip(sizes, sizes[1:])]
        self.activations = [ReLU() for _ in self.dense[:-1]]

    def forward(self, x: PyNDArray) -> PyNDArray:
        for dense, relu in zip(self.dense, self.activations):
            x = relu.forward(dense.forward(x))
        return self.dense[-1].forward(x)

    def backward(self, grad_logits: PyNDArray) -> None:
        grad = self.dense[-1].backward(grad_logits)
        for dense, relu in zip(reversed(self.dense[:-1]), reversed(self.activations)):
            grad = dense.backward(relu.backward(grad))

    def step(self, learning_rate: float, momentum: float) -> None:
        for dense in self.dense:
            dense.step(learning_rate, momentum)

    def fingerprint(self) -> str:
        """A short hash of the bits of every parameter, printed so that runs can be compared
        at a glance: any difference in any bit of any weight changes it."""
        digest = hashlib.sha256()
        for dense in self.dense:
            for parameter in dense.parameters():
                values = read_values(parameter)
                digest.update(struct.pack(f"<{len(values)}d", *values))
        return digest.hexdigest()[:16]


def cross_entropy_terms(probs: PyNDArray, one_hot: PyNDArray) -> List[float]:
    """-log(probability of the true class) for each row. tarnex has no logarithm, so the
    logarithms of the picked probabilities are taken in Python."""
    picked = probs.mul(one_hot).matmul(full([one_hot.shape()[1], 1], 1.0))
    tiny = sys.float_info.min  # a probability that underflowed to zero counts as the smallest
    return [-math.log(max(p, tiny)) for p in read_values(picked.reshape([picked.shape()[0]]))]


def train_epoch(model: Model, x: PyNDArray, one_hot: PyNDArray, batch_size: int,
                learning_rate: float, momentum: float, rng: random.Random) -> None:
    """One pass over the training set in a random order, one SGD step per mini-batch."""
    order = list(range(x.shape()[0]))
    rng.shuffle(order)
    for start in range(0, len(order), batch_size):
        batch = order[start:start + batch_size]
        probs = row_softmax(model.forward(x.gather(0, batch)))
        # The gradient of the mean cross-entropy with respect to the logits: (p - y) / batch.
        grad = subtract(probs, one_hot.gather(0, batch)).scale(1.0 / len(batch))
        model.backward(grad)
        model.step(learning_rate, momentum)


def evaluate(model: Model, x: PyNDArray, one_hot: PyNDArray, labels: Sequence[int],
             chunk: int = EVAL_CHUNK) -> Tuple[float, float]:
    """(mean cross-entropy, share of rows whose largest logit is the true class), computed
    over chunks of rows so that the per-row softmax stays cheap."""
    losses: List[float] = []
    correct = 0
    for start in range(0, len(labels), chunk):
        rows = list(range(start, min(start + chunk, len(labels))))
        logits = model.forward(x.gather(0, rows))
        losses += cross_entropy_terms(row_softmax(logits), one_hot.gather(0, rows))
        correct += sum(p == labels[r] for p, r in zip(row_argmax(logits), rows))
    return PyNDArray(losses, [len(losses)]).mean(), correct / len(labels)


# ---------------------------------------------------------------------------------------------
# Data: three interleaved spirals, lifted from 2 to FEATURES features.

def make_spirals(seed: int) -> Tuple[List[List[float]], List[int]]:
    """POINTS_PER_CLASS noisy points on each of CLASSES spiral arms, shuffled. Each point's
    features are its two coordinates followed by sines of fixed random projections of them."""
    rng = random.Random(seed)
    points: List[Tuple[float, float, int]] = []
    for label in range(CLASSES):
        for i in range(POINTS_PER_CLASS):
            t = (i + 0.5) / POINTS_PER_CLASS
            angle = 2.0 * math.pi * label / CLASSES + 3.0 * math.pi * t + rng.gauss(0.0, 0.4)
            radius = 0.1 + 0.9 * t
            points.append((radius * math.cos(angle), radius * math.sin(angle), label))
    rng.shuffle(points)
    projections = [(rng.gauss(0.0, 3.0), rng.gauss(0.0, 3.0), rng.uniform(0.0, 2.0 * math.pi))
                   for _ in range(FEATURES - 2)]
    rows = [[px, py] + [math.sin(wx * px + wy * py + phase) for wx, wy, phase in projections]
            for px, py, _ in points]
    return rows, [label for _, _, label in points]


def to_arrays(rows: Sequence[Sequence[float]],
              labels: Sequence[int]) -> Tuple[PyNDArray, PyNDArray]:
    """The feature matrix and the one-hot label matrix."""
    x = PyNDArray([v for row in rows for v in row], [len(rows), len(rows[0])])
    one_hot = PyNDArray([1.0 if c == y else 0.0 for y in labels for c in range(CLASSES)],
                        [len(labels), CLASSES])
    return x, one_hot


# ---------------------------------------------------------------------------------------------

def plot_history(path: str, losses: Sequence[float], train_acc: Sequence[float],
                 test_acc: Sequence[float]) -> None:
    # Imported by name: matplotlib is optional, and the example type-checks without it.
    matplotlib: Any = importlib.import_module("matplotlib")
    matplotlib.use("Agg")
    plt: Any = importlib.import_module("matplotlib.pyplot")

    epochs = range(1, len(losses) + 1)
    fig, (left, right) = plt.subplots(1, 2, figsize=(10, 4))
    left.plot(epochs, losses, marker="o", markersize=3)
    left.set(xlabel="epoch", ylabel="training loss (cross-entropy)", title="loss")
    right.plot(epochs, [100 * a for a in train_acc], marker="o", markersize=3, label="train")
    right.plot(epochs, [100 * a for a in test_acc], marker="o", markersize=3, label="test")
    right.set(xlabel="epoch", ylabel="accuracy (%)", title="accuracy", ylim=(0, 100))
    right.legend()
    fig.tight_layout()
    fig.savefig(path, dpi=100)
    plt.close(fig)


def matplotlib_available() -> bool:
    try:
        importlib.import_module("matplotlib")
    except ImportError:
        return False
    return True


def positive_int(text: str) -> int:
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1, got {value}")
    return value


def parse_args(argv: Optional[Sequence[str]]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--epochs", type=positive_int, default=DEFAULT_EPOCHS,
                        help=f"passes over the training set (default {DEFAULT_EPOCHS})")
    parser.add_argument("--plot", metavar="FILE",
                        help="write a PNG of loss and accuracy per epoch (needs matplotlib)")
    return parser.parse_args(argv)


def main(argv: Optional[Sequence[str]] = None) -> int:
    args = parse_args(argv)
    if args.plot is not None and not matplotlib_available():
        print("error: --plot needs matplotlib, which is not installed "
              "(pip install matplotlib)", file=sys.stderr)
        return 2

    rows, labels = make_spirals(SEED)
    n_test = int(len(rows) * TEST_SHARE)
    x_train, y_train = to_arrays(rows[n_test:], labels[n_test:])
    x_test, y_test = to_arrays(rows[:n_test], labels[:n_test])
    train_labels, test_labels = labels[n_test:], labels[:n_test]
    sizes = [FEATURES, *HIDDEN, CLASSES]
    rng = random.Random(SEED + 1)
    model = Model(sizes, rng)
    print(f"{CLASSES} spirals, {len(rows)} points with {FEATURES} features: "
          f"{len(train_labels)} for training, {n_test} for testing")
    print(f"network {' -> '.join(map(str, sizes))}, ReLU, softmax cross-entropy; "
          f"SGD batch {BATCH}, momentum {MOMENTUM}, learning rate {LEARNING_RATE} "
          f"times {DECAY} per epoch")
    print(f"{'epoch':>5}  {'loss':>9}  {'train acc':>9}  {'test acc':>8}  {'elapsed':>9}")

    losses: List[float] = []
    train_history: List[float] = []
    test_history: List[float] = []
    start = time.perf_counter()
    for epoch in range(1, args.epochs + 1):
        learning_rate = LEARNING_RATE * DECAY ** (epoch - 1)
        train_epoch(model, x_train, y_train, BATCH, learning_rate, MOMENTUM, rng)
        loss, train_acc = evaluate(model, x_train, y_train, train_labels)
        _, test_acc = evaluate(model, x_test, y_test, test_labels)
        losses.append(loss)
        train_history.append(train_acc)
        test_history.append(test_acc)
        print(f"{epoch:5d}  {loss:9.6f}  {train_acc:9.2%}  {test_acc:8.2%}  "
              f"{time.perf_counter() - start:7.2f} s")
    elapsed = time.perf_counter() - start

    print(f"done: {args.epochs} epochs in {elapsed:.2f} s; loss {losses[0]:.6f} -> "
          f"{losses[-1]:.6f}; train accuracy {train_history[-1]:.2%}, "
          f"test accuracy {test_history[-1]:.2%} (chance {1 / CLASSES:.2%})")
    print(f"parameter fingerprint (SHA-256 of every weight's bits): {model.fingerprint()}")
    if args.plot is not None:
        plot_history(args.plot, losses, train_history, test_history)
        print(f"wrote {args.plot}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
