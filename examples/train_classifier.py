"""Train a small neural-network classifier with tarnex alone.

A multilayer perceptron (two hidden ReLU layers, softmax cross-entropy, mini-batch SGD with
momentum) learns three interleaved spirals. The data set is made here from a fixed seed: 2-D
spiral points lifted to 12 features by fixed random sine projections. The forward pass, the
backward pass and the weight updates are all tarnex operations, written with the companion
module's numpy-named functions (broadcasting, reductions along an axis, softmax, products
with a transposed operand, in-place updates through out=); Python only drives the loops and
makes the data.

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
import sys
import time
from typing import Any, List, Optional, Sequence, Tuple

import tarnex_io as tx
from tarnex import PyBoolArray, PyNDArray

SEED = 20240611
CLASSES = 3
POINTS_PER_CLASS = 200
FEATURES = 12
TEST_SHARE = 0.25
HIDDEN = (32, 32)
BATCH = 30
LEARNING_RATE = 0.08
DECAY = 0.93  # the learning rate is multiplied by this after every epoch
MOMENTUM = 0.9
DEFAULT_EPOCHS = 40


# ---------------------------------------------------------------------------------------------
# The network.

class Dense:
    """A fully connected layer y = x W + b, with its gradients and momentum buffers."""

    def __init__(self, n_in: int, n_out: int, rng: random.Random) -> None:
        # He initialisation: unit normals scaled by sqrt(2 / fan-in), zero biases.
        normals = [rng.gauss(0.0, 1.0) for _ in range(n_in * n_out)]
        self.weights = tx.multiply(PyNDArray(normals, [n_in, n_out]), math.sqrt(2.0 / n_in))
        self.bias = tx.zeros([1, n_out])
        self.weights_velocity = tx.zeros([n_in, n_out])
        self.bias_velocity = tx.zeros([1, n_out])
        self._input: Optional[PyNDArray] = None
        self._grads: List[PyNDArray] = []

    def forward(self, x: PyNDArray) -> PyNDArray:
        self._input = x
        return tx.add(x.matmul(self.weights), self.bias)

    def backward(self, grad_out: PyNDArray) -> PyNDArray:
        """Stores the parameter gradients and returns the gradient for the layer's input."""
        assert self._input is not None, "backward before forward"
        self._grads = [tx.matmul(self._input, grad_out, transpose_a=True),
                       tx.sum(grad_out, axis=0, keepdims=True)]
        return tx.matmul(grad_out, self.weights, transpose_b=True)

    def step(self, learning_rate: float, momentum: float) -> None:
        """SGD with momentum, in place: v = momentum v + g, then p = p - learning_rate v."""
        velocities = [self.weights_velocity, self.bias_velocity]
        for parameter, velocity, grad in zip(self.parameters(), velocities, self._grads):
            tx.add(tx.multiply(velocity, momentum, out=velocity), grad, out=velocity)
            tx.subtract(parameter, tx.multiply(velocity, learning_rate), out=parameter)

    def parameters(self) -> List[PyNDArray]:
        return [self.weights, self.bias]


class ReLU:
    """max(x, 0); its gradient passes where the input was positive and is zero elsewhere."""

    def __init__(self) -> None:
        self._mask: Optional[PyBoolArray] = None

    def forward(self, x: PyNDArray) -> PyNDArray:
        self._mask = tx.greater(x, 0.0)
        return x.relu()

    def backward(self, grad_out: PyNDArray) -> PyNDArray:
        assert self._mask is not None, "backward before forward"
        return tx.where(self._mask, grad_out, 0.0)


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
                digest.update(tx.to_bytes(parameter))
        return digest.hexdigest()[:16]


def train_epoch(model: Model, x: PyNDArray, one_hot: PyNDArray, batch_size: int,
                learning_rate: float, momentum: float, rng: random.Random) -> None:
    """One pass over the training set in a random order, one SGD step per mini-batch."""
    order = list(range(x.shape()[0]))
    rng.shuffle(order)
    for start in range(0, len(order), batch_size):
        batch = order[start:start + batch_size]
        probs = tx.softmax(model.forward(x.gather(0, batch)), axis=1)
        # The gradient of the mean cross-entropy with respect to the logits: (p - y) / batch.
        grad = tx.multiply(tx.subtract(probs, one_hot.gather(0, batch)), 1.0 / len(batch))
        model.backward(grad)
        model.step(learning_rate, momentum)


def evaluate(model: Model, x: PyNDArray, one_hot: PyNDArray,
             labels: PyNDArray) -> Tuple[float, float]:
    """(mean cross-entropy, share of rows whose largest logit is the true class)."""
    logits = model.forward(x)
    log_probs = tx.log_softmax(logits, axis=1)
    loss = -tx.mean(tx.sum(tx.multiply(one_hot, log_probs), axis=1))
    accuracy = tx.mean(tx.equal(tx.argmax(logits, axis=1), labels))
    return loss, accuracy


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
              labels: Sequence[int]) -> Tuple[PyNDArray, PyNDArray, PyNDArray]:
    """The feature matrix, the labels (as exact integer values) and their one-hot matrix."""
    label_array = tx.asarray(labels)
    return tx.asarray(rows), label_array, tx.one_hot(label_array, CLASSES)


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
    x_train, train_labels, y_train = to_arrays(rows[n_test:], labels[n_test:])
    x_test, test_labels, y_test = to_arrays(rows[:n_test], labels[:n_test])
    sizes = [FEATURES, *HIDDEN, CLASSES]
    rng = random.Random(SEED + 1)
    model = Model(sizes, rng)
    print(f"{CLASSES} spirals, {len(rows)} points with {FEATURES} features: "
          f"{len(rows) - n_test} for training, {n_test} for testing")
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
