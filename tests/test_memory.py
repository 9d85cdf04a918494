"""Allocation limits: a refused allocation is an ordinary MemoryError, never a crash."""
import os
import subprocess
import sys
import textwrap

import pytest

import tarnex
from helpers import panic_message, run_python

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


# A sequence of three items whose __len__ claims many more.
CLAIMING = """
class Claiming:
    def __init__(self, items, claim):
        self.items, self.claim = items, claim
    def __len__(self):
        return self.claim
    def __getitem__(self, i):
        return self.items[i]
"""

# Every kind of list conversion, each given a sequence that claims `claim` items.
EVERY_LIST = """
a = tarnex.PyNDArray(Claiming([1.0, 2.0, 3.0], claim), Claiming([3], claim))
b = tarnex.PyBoolArray(Claiming([True, False, True], claim), [3])
print(a.get(Claiming([2], claim)), a.sum(), b.shape(),
      a.fancy_index(Claiming([2, 0, 1], claim)).sum(),
      a.reshape(Claiming([1, 3], claim)).shape(),
      a.gather(0, Claiming([1, 1], claim)).sum())
"""


@pytest.mark.skipif(SANITIZED, reason="the sanitizer runtime reserves far more address space")
@pytest.mark.parametrize("claim", [1 << 26, 1 << 27, 1 << 40, (1 << 60) - 1])
def test_length_claim_the_allocator_refuses_is_only_a_lost_hint(claim):
    # Room for the claimed items cannot be had under the limit: the lists grow instead.
    result = run_limited(CLAIMING + f"claim = {claim}\n" + EVERY_LIST +
                         "print(tarnex.PyNDArray([1.0, 2.0], [2]).sum())\n")
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["3.0 6.0 [3] 6.0 [1, 3] 4.0", "3.0"]


@pytest.mark.parametrize("claim", [1 << 27, (1 << 60) - 1, (1 << 63) - 8])
def test_length_claim_within_the_limit_never_fails(claim):
    namespace = {"tarnex": tarnex}
    exec(CLAIMING, namespace)
    Claiming = namespace["Claiming"]
    b = tarnex.PyBoolArray(Claiming([True, False, True], claim), [3])
    assert b.shape() == [3]
    if claim < 1 << 60:
        exec(f"claim = {claim}\n" + EVERY_LIST.replace("print(", "result = ("), namespace)
        assert str(namespace["result"]) == "(3.0, 6.0, [3], 6.0, [1, 3], 4.0)"


@pytest.mark.parametrize("make, claim", [
    (lambda seq: tarnex.PyNDArray(seq([1.0]), [1]), 1 << 60),
    (lambda seq: tarnex.PyNDArray(seq([1.0]), [1]), (1 << 63) - 1),
    (lambda seq: tarnex.PyNDArray([1.0], seq([1])), 1 << 60),
    (lambda seq: tarnex.PyNDArray([1.0], [1]).get(seq([0])), 1 << 60),
    (lambda seq: tarnex.PyNDArray([1.0], [1]).fancy_index(seq([0])), 1 << 60),
    (lambda seq: tarnex.PyNDArray([1.0], [1]).reshape(seq([1])), 1 << 60),
    (lambda seq: tarnex.PyBoolArray(seq([True]), [1]), (1 << 63) - 7),
    (lambda seq: tarnex.PyBoolArray(seq([True]), [1]), (1 << 63) - 1),
], ids=["data", "data-max", "shape", "index", "indices", "new_shape", "bool-data", "bool-data-max"])
def test_length_claim_beyond_the_largest_allocation_is_a_capacity_overflow(make, claim):
    # Such room cannot be asked for at all; the claim fails before any item is read.
    namespace = {}
    exec(CLAIMING, namespace)
    read = []

    class Watched(namespace["Claiming"]):
        def __getitem__(self, i):
            read.append(i)
            return super().__getitem__(i)

    assert panic_message(make, lambda items: Watched(items, claim)) == "capacity overflow"
    assert read == []


@pytest.mark.skipif(SANITIZED, reason="the sanitizer runtime keeps freed blocks mapped")
def test_room_for_a_wrong_claim_is_given_back():
    # Each array would otherwise keep 512 MiB of address space for its three elements.
    result = run_python(CLAIMING + """
import tarnex
def mapped():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[0]) * 4096
before = mapped()
kept = [tarnex.PyNDArray(Claiming([1.0, 2.0, 3.0], 1 << 26), Claiming([3], 1 << 26))
        for _ in range(8)]
kept += [tarnex.PyBoolArray(Claiming([True] * 3, 1 << 29), [3]) for _ in range(8)]
print((mapped() - before) >> 20, sum(a.shape() == [3] for a in kept))
""")
    assert result[0] == 0, result[2]
    grown, arrays = map(int, result[1].split())
    assert arrays == 16 and grown < 64


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
