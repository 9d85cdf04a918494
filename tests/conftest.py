"""Helpers shared by the test modules: exact float bits, failure messages, fresh interpreters."""

import os
import struct
import subprocess
import sys
import textwrap

import pytest
import tarnex
from hypothesis import HealthCheck, settings

# Randomized tests: a bounded run by default, a long one on request with
# TARNEX_HYPOTHESIS_PROFILE=long (as many examples as TARNEX_HYPOTHESIS_EXAMPLES says, by
# default no practical limit: stop it when it has run long enough).
settings.register_profile(
    "bounded", max_examples=50,
    deadline=None, suppress_health_check=[HealthCheck.too_slow], print_blob=True)
# The per-level runs repeat the randomized tests against a build pinned to each level.
settings.register_profile(
    "level", max_examples=15,
    deadline=None, suppress_health_check=[HealthCheck.too_slow], print_blob=True)
settings.register_profile(
    "long", max_examples=int(os.environ.get("TARNEX_HYPOTHESIS_EXAMPLES", 10**9)),
    deadline=None, suppress_health_check=[HealthCheck.too_slow], print_blob=True)
settings.load_profile(os.environ.get("TARNEX_HYPOTHESIS_PROFILE", "bounded"))


def bits(x):
    """The IEEE-754 bytes of a float, so that -0.0, NaN payloads and 0.0 compare exactly."""
    return struct.pack("<d", x)


def panic_message(fn, *args, **kwargs):
    """Calls fn, asserts it raised the core-failure exception, and returns its message."""
    try:
        fn(*args, **kwargs)
    except Exception as e:  # the core-failure exception must not derive from Exception
        pytest.fail(f"expected PanicException, got {type(e).__name__}: {e}")
    except BaseException as e:
        if type(e).__name__ != "PanicException":
            raise
        assert type(e).__module__ == "pyo3_runtime"
        assert len(e.args) == 1 and isinstance(e.args[0], str)
        return e.args[0]
    pytest.fail("no PanicException raised")


def run_python(code, timeout=60, **env):
    """Runs code in a fresh interpreter that imports the tarnex under test.

    Keyword arguments are extra environment variables. Returns (returncode, stdout, stderr).
    """
    environ = {k: v for k, v in os.environ.items() if k != "TARNEX_BACKTRACE"}
    environ["PYTHONPATH"] = os.path.dirname(os.path.abspath(tarnex.__file__))
    environ.update(env)
    done = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        env=environ, capture_output=True, text=True, timeout=timeout,
    )
    return done.returncode, done.stdout, done.stderr
