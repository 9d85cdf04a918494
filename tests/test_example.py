"""The training example run as a user runs it: in a fresh interpreter, from the command line."""

import importlib.util
import os
import random
import re
import subprocess
import sys

import pytest

EXAMPLE = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                       "examples", "train_classifier.py")
EPOCH_LINE = re.compile(r"^\s*(\d+)\s+(\d+\.\d+)\s+(\d+\.\d+)%\s+(\d+\.\d+)%\s+\d+\.\d+ s$")
ELAPSED = re.compile(r"\d+\.\d+ s\b")


def run_example(*args, threads=None, pythonpath=None):
    env = {k: v for k, v in os.environ.items() if k != "RAYON_NUM_THREADS"}
    if threads is not None:
        env["RAYON_NUM_THREADS"] = str(threads)
    if pythonpath is not None:
        env["PYTHONPATH"] = os.pathsep.join(filter(None, [pythonpath, env.get("PYTHONPATH")]))
    return subprocess.run([sys.executable, EXAMPLE, *args], capture_output=True, text=True,
                          env=env, timeout=120)


def epoch_rows(stdout):
    """(epoch, loss, train accuracy, test accuracy) for every epoch line."""
    rows = [EPOCH_LINE.match(line) for line in stdout.splitlines()]
    return [(int(m[1]), float(m[2]), float(m[3]), float(m[4])) for m in rows if m]


@pytest.fixture(scope="module")
def three_epochs():
    """Output of --epochs 3 for one and for two worker threads."""
    runs = {threads: run_example("--epochs", "3", threads=threads) for threads in (1, 2)}
    for run in runs.values():
        assert run.returncode == 0, run.stderr
        assert run.stderr == ""
    return {threads: run.stdout for threads, run in runs.items()}


def test_loss_falls_and_accuracy_beats_chance(three_epochs):
    rows = epoch_rows(three_epochs[1])
    assert [r[0] for r in rows] == [1, 2, 3]
    losses = [r[1] for r in rows]
    assert losses == sorted(losses, reverse=True) and losses[-1] < losses[0]
    assert all(0.0 < loss < 2.0 for loss in losses)
    assert rows[-1][2] > 50.0 and rows[-1][3] > 50.0  # chance is one in three
    summary = three_epochs[1].splitlines()[-2]
    assert summary.startswith("done: 3 epochs") and f"{rows[-1][3]:.2f}%" in summary


def test_output_is_identical_for_one_and_two_threads(three_epochs):
    one, two = (ELAPSED.sub("<elapsed>", three_epochs[t]) for t in (1, 2))
    assert one == two
    # Every weight's bits after three epochs, as the same network written with tarnex's
    # methods alone (rows assembled by masks, biases tiled by gather) gave them: each
    # companion function repeats those operations in the same order, so not a bit moves.
    assert one.rstrip().endswith(": 2d588cbe944dedf6")


def test_fewer_epochs_print_the_same_first_epochs(three_epochs):
    # The data, the initial weights, the batch order and the learning-rate schedule do not
    # depend on the number of epochs, so a shorter run is a prefix of a longer one.
    run = run_example("--epochs", "2")
    assert run.returncode == 0, run.stderr
    assert epoch_rows(run.stdout) == epoch_rows(three_epochs[1])[:2]


@pytest.mark.parametrize("args, message", [
    (["--epochs", "0"], "must be at least 1"),
    (["--epochs", "two"], "invalid positive_int value"),
    (["--plot"], "expected one argument"),
    (["--learning-rate", "1"], "unrecognized arguments"),
])
def test_bad_arguments_are_refused(args, message):
    run = run_example(*args)
    assert run.returncode == 2
    assert message in run.stderr and run.stdout == ""


def test_plot_without_matplotlib_fails_before_training(tmp_path):
    # A matplotlib package that cannot be imported stands in for one that is not installed.
    fake = tmp_path / "site" / "matplotlib"
    fake.mkdir(parents=True)
    (fake / "__init__.py").write_text("raise ImportError('No module named matplotlib')\n")
    target = tmp_path / "history.png"
    run = run_example("--epochs", "1", "--plot", str(target), pythonpath=str(fake.parent))
    assert run.returncode != 0
    assert "--plot needs matplotlib" in run.stderr and "pip install matplotlib" in run.stderr
    assert run.stdout == "" and not target.exists()


def test_plot_writes_a_png(tmp_path):
    pytest.importorskip("matplotlib")
    target = tmp_path / "history.png"
    run = run_example("--epochs", "2", "--plot", str(target))
    assert run.returncode == 0, run.stderr
    assert target.read_bytes().startswith(b"\x89PNG\r\n\x1a\n")
    assert run.stdout.rstrip().endswith(f"wrote {target}")


def load(relative_path, name):
    path = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                        relative_path)
    spec = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


@pytest.mark.parametrize("hidden", [[32], [32, 32], [8, 8, 8]])
def test_network_trains_like_the_same_network_in_numpy(hidden):
    # The numpy version of the network starts from the same weights and batch order; after
    # two epochs every parameter and the loss must agree to rounding. A wrong gradient, bias
    # or softmax in the tarnex version would make them drift apart at once.
    np = pytest.importorskip("numpy")
    twin = load(os.path.join("benchmarks", "train_numpy.py"), "train_numpy_under_test")
    example = twin.example
    rows, labels = example.make_spirals(example.SEED)
    x, label_array, one_hot = example.to_arrays(rows, labels)
    nx, n_one_hot = np.array(rows), np.eye(example.CLASSES)[labels]
    sizes = [example.FEATURES, *hidden, example.CLASSES]
    ours, theirs = (m(sizes, random.Random(5)) for m in (example.Model, twin.Model))
    ours_rng, theirs_rng = random.Random(6), random.Random(6)
    for rate in (0.05, 0.02):
        example.train_epoch(ours, x, one_hot, 30, rate, 0.9, ours_rng)
        twin.train_epoch(theirs, nx, n_one_hot, 30, rate, 0.9, theirs_rng)
    for mine, other in zip(ours.dense, theirs.dense):
        weights, bias = (example.tx.to_numpy(p).ravel() for p in mine.parameters())
        np.testing.assert_allclose(weights, other.weights.ravel(), rtol=1e-9, atol=1e-12)
        np.testing.assert_allclose(bias, other.bias.ravel(), rtol=1e-9, atol=1e-12)
    loss, accuracy = example.evaluate(ours, x, one_hot, label_array)
    twin_loss, twin_accuracy = twin.evaluate(theirs, nx, n_one_hot, np.array(labels))
    assert loss == pytest.approx(twin_loss, rel=1e-9) and accuracy == twin_accuracy
