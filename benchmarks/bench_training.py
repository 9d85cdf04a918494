"""The training loop of examples/train_classifier.py against the same network in numpy
(train_numpy.py): one epoch of mini-batch SGD, and one evaluation pass over the training set.
Both sides keep training from where the previous call left them, at the example's final
learning rate."""
from __future__ import annotations

import random
from typing import Iterator

from common import Case

import train_numpy
from train_numpy import example


def training(quick: bool) -> Iterator[Case]:
    rows, labels = example.make_spirals(example.SEED)
    n_test = int(len(rows) * example.TEST_SHARE)
    x, train_labels, y = example.to_arrays(rows[n_test:], labels[n_test:])
    model = example.Model([example.FEATURES, *example.HIDDEN, example.CLASSES],
                          random.Random(example.SEED + 1))
    twin, _, (nx, ny, nlabels, *_) = train_numpy.setup()
    ours_rng, theirs_rng = random.Random(1), random.Random(1)
    rate = example.LEARNING_RATE * example.DECAY ** (example.DEFAULT_EPOCHS - 1)
    momentum, batch = example.MOMENTUM, example.BATCH
    network = "-".join(map(str, [example.FEATURES, *example.HIDDEN, example.CLASSES]))
    size = f"{len(rows) - n_test} rows, {network}"
    yield Case("training", f"train_epoch (batches of {batch})", size,
               lambda: example.train_epoch(model, x, y, batch, rate, momentum, ours_rng),
               lambda: train_numpy.train_epoch(twin, nx, ny, batch, rate, momentum, theirs_rng),
               blas_threads=1)
    yield Case("training", "evaluate (loss, accuracy)", size,
               lambda: example.evaluate(model, x, y, train_labels),
               lambda: train_numpy.evaluate(twin, nx, ny, nlabels), blas_threads=1)


GROUPS = {"training": training}
