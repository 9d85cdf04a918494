"""The network of examples/train_classifier.py written in numpy, for the benchmark: the same
data, layers, initial weights, batch order and updates, written as a numpy user would
(broadcast bias, row-wise softmax over an axis, a comparison for the ReLU mask).

Run on its own, it trains like the example and prints the same table, so the two can be
compared; the numbers agree closely but not bit for bit, as numpy's BLAS sums in its own
order and with fused multiply-adds.
"""
from __future__ import annotations

import math
import os
import random
import sys
import time
from typing import List, Optional, Sequence, Tuple

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "examples"))
import train_classifier as example  # noqa: E402


class Dense:
    def __init__(self, n_in: int, n_out: int, rng: random.Random) -> None:
        normals = [rng.gauss(0.0, 1.0) for _ in range(n_in * n_out)]
        self.weights = np.array(normals).reshape(n_in, n_out) * math.sqrt(2.0 / n_in)
        self.bias = np.zeros((1, n_out))
        self.weights_velocity = np.zeros_like(self.weights)
        self.bias_velocity = np.zeros_like(self.bias)
        self._input: Optional[np.ndarray] = None

    def forward(self, x: np.ndarray) -> np.ndarray:
        self._input = x
        return x @ self.weights + self.bias

    def backward(self, grad_out: np.ndarray) -> np.ndarray:
        self.weights_grad = self._input.T @ grad_out
        self.bias_grad = grad_out.sum(axis=0, keepdims=True)
        return grad_out @ self.weights.T

    def step(self, learning_rate: float, momentum: float) -> None:
        self.weights_velocity = momentum * self.weights_velocity + self.weights_grad
        self.bias_velocity = momentum * self.bias_velocity + self.bias_grad
        self.weights = self.weights - learning_rate * self.weights_velocity
        self.bias = self.bias - learning_rate * self.bias_velocity


class ReLU:
    def forward(self, x: np.ndarray) -> np.ndarray:
        self._mask = x > 0.0
        return np.where(self._mask, x, 0.0)

    def backward(self, grad_out: np.ndarray) -> np.ndarray:
        return np.where(self._mask, grad_out, 0.0)


class Model:
    def __init__(self, sizes: Sequence[int], rng: random.Random) -> None:
        self.dense = [Dense(n_in, n_out, rng) for n_in, n_out in zip(sizes, sizes[1:])]
        self.activations = [ReLU() for _ in self.dense[:-1]]

    def forward(self, x: np.ndarray) -> np.ndarray:
        for dense, relu in zip(self.dense, self.activations):
            x = relu.forward(dense.forward(x))
        return self.dense[-1].forward(x)

    def backward(self, grad_logits: np.ndarray) -> None:
        grad = self.dense[-1].backward(grad_logits)
        for dense, relu in zip(reversed(self.dense[:-1]), reversed(self.activations)):
            grad = dense.backward(relu.backward(grad))

    def step(self, learning_rate: float, momentum: float) -> None:
        for dense in self.dense:
            dense.step(learning_rate, momentum)


def row_softmax(logits: np.ndarray) -> np.ndarray:
    e = np.exp(logits - logits.max(axis=1, keepdims=True))
    return e / e.sum(axis=1, keepdims=True)


def train_epoch(model: Model, x: np.ndarray, one_hot: np.ndarray, batch_size: int,
                learning_rate: float, momentum: float, rng: random.Random) -> None:
    order = list(range(len(x)))
    rng.shuffle(order)
    for start in range(0, len(order), batch_size):
        batch = order[start:start + batch_size]
        probs = row_softmax(model.forward(x[batch]))
        model.backward((probs - one_hot[batch]) / len(batch))
        model.step(learning_rate, momentum)


def evaluate(model: Model, x: np.ndarray, one_hot: np.ndarray,
             labels: np.ndarray) -> Tuple[float, float]:
    logits = model.forward(x)
    shifted = logits - logits.max(axis=1, keepdims=True)
    log_probs = shifted - np.log(np.exp(shifted).sum(axis=1, keepdims=True))
    loss = -(one_hot * log_probs).sum(axis=1).mean()
    return float(loss), float((logits.argmax(axis=1) == labels).mean())


def setup() -> Tuple[Model, random.Random, List[np.ndarray]]:
    """The model, the random generator and (x_train, y_train, labels_train, x_test, y_test,
    labels_test), in the state the example starts training from."""
    rows, labels = example.make_spirals(example.SEED)
    n_test = int(len(rows) * example.TEST_SHARE)
    x, y = np.array(rows), np.eye(example.CLASSES)[labels]
    lab = np.array(labels)
    rng = random.Random(example.SEED + 1)
    model = Model([example.FEATURES, *example.HIDDEN, example.CLASSES], rng)
    data = [x[n_test:], y[n_test:], lab[n_test:], x[:n_test], y[:n_test], lab[:n_test]]
    return model, rng, data


def main() -> int:
    model, rng, (x_train, y_train, l_train, x_test, y_test, l_test) = setup()
    start = time.perf_counter()
    for epoch in range(1, example.DEFAULT_EPOCHS + 1):
        learning_rate = example.LEARNING_RATE * example.DECAY ** (epoch - 1)
        train_epoch(model, x_train, y_train, example.BATCH, learning_rate, example.MOMENTUM,
                    rng)
        loss, train_acc = evaluate(model, x_train, y_train, l_train)
        _, test_acc = evaluate(model, x_test, y_test, l_test)
        print(f"{epoch:5d}  {loss:9.6f}  {train_acc:9.2%}  {test_acc:8.2%}  "
              f"{time.perf_counter() - start:7.2f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
