"""Allocation limits: a refused allocation is an ordinary MemoryError, never a crash."""
import os
import subprocess
import sys
import textwrap

import pytest

import tarnex

SANITIZED = os.environ.get("TARNEX_UNDER_SANITIZER") == "1"


def run_limited(code):
    """Runs `code` in a fresh interpreter whose address space is capped."""
    prelude = textwrap.dedent(
        """
        import resource, tarnex
        def usage():
            with open("/proc/self/statm") as f:
                return int(f.read().split()[0]) * resource.getpagesize()
        limit = usage() + (256 << 20)
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
        """
    )
    env = dict(os.environ, PYTHONPATH=os.path.dirname(tarnex.__file__))
    return subprocess.run([sys.executable, "-c", prelude + textwrap.dedent(code)],
                          capture_output=True, text=True, env=env, timeout=60)


@pytest.mark.skipif(SANITIZED, reason="the sanitizer runtime reserves far more address space")
def test_refused_allocation_raises_memory_error_and_keeps_going():
    result = run_limited(
        """
        class Huge:
            # Claims 2^26 items: reserving room for them needs 512 MiB.
            def __len__(self): return 1 << 26
            def __getitem__(self, i):
                if i < 3: return float(i)
                raise IndexError
        try:
            tarnex.PyNDArray(Huge(), [3])
        except MemoryError as e:
            print("MemoryError:", e)
        a = tarnex.PyNDArray([1.0, 2.0], [2])
        print(a.sum())
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        "MemoryError: memory allocation of 536870912 bytes failed",
        "3.0",
    ]


@pytest.mark.skipif(not hasattr(tarnex.PyNDArray, "matmul"), reason="needs matmul")
@pytest.mark.skipif(SANITIZED, reason="the sanitizer runtime reserves far more address space")
def test_product_of_two_empty_arrays_too_large_for_memory():
    # [2^29, 0] times [0, 2^30] asks for 2^59 zeros: refused by the allocator.
    result = run_limited(
        """
        a = tarnex.PyNDArray([], [1 << 29, 0])
        b = tarnex.PyNDArray([], [0, 1 << 30])
        try:
            a.matmul(b)
        except MemoryError as e:
            print("MemoryError:", e)
        print(a.shape(), b.shape())
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        f"MemoryError: memory allocation of {8 << 59} bytes failed",
        "[536870912, 0] [0, 1073741824]",
    ]


def test_module_exports_only_its_entry_point():
    nm = subprocess.run(["nm", "-D", "--defined-only", tarnex.__file__],
                        capture_output=True, text=True)
    if nm.returncode != 0:
        pytest.skip("nm is not available")
    symbols = [line.split()[-1] for line in nm.stdout.splitlines() if line.strip()]
    assert symbols == ["PyInit_tarnex"]
