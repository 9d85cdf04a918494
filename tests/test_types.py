"""The shipped type information: it matches the built module, and the examples type-check
under the strictest settings against it."""

import os
import subprocess
import sys

import pytest
import tarnex

pytest.importorskip("mypy")

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MODULE_DIR = os.path.dirname(os.path.abspath(tarnex.__file__))


def run_mypy(*args):
    # Runs where the module is installed, so that mypy finds the stub packages beside it
    # the way a user's type checker does.
    env = dict(os.environ, PYTHONPATH=MODULE_DIR)
    env.pop("MYPYPATH", None)
    return subprocess.run([sys.executable, "-m", *args], cwd=ROOT, env=env,
                          capture_output=True, text=True, timeout=600)


def installed_stubs():
    return os.path.isdir(os.path.join(MODULE_DIR, "tarnex-stubs"))


@pytest.mark.skipif(not installed_stubs(), reason="the module under test was not installed with its stubs")
def test_stubs_match_the_module():
    done = run_mypy("mypy.stubtest", "tarnex", "tarnex_io")
    assert done.returncode == 0, done.stdout + done.stderr


@pytest.mark.skipif(not installed_stubs(), reason="the module under test was not installed with its stubs")
def test_examples_type_check_strictly():
    done = run_mypy("mypy", "--strict", "--no-incremental", "examples")
    assert done.returncode == 0, done.stdout + done.stderr
