"""Which NaN an element-wise result carries when both operands are NaN: the receiver's, on
every instruction-set level, at every position (vector bodies and scalar tails alike) and for
every worker count, so that results are the same bits whatever the split of the work."""

import struct

import pytest
from helpers import run_python

NAN_A = 0x7FF8000000000001
NAN_B = 0xFFF8000000000002
NAN_S = 0xFFF8000000000003

CHECK = f"""
import struct, tarnex
def nan(bits):
    return struct.unpack("<d", struct.pack("<Q", bits))[0]
for n in (1, 2, 3, 5, 9, 17, 37, 40000, 70001):
    a = tarnex.PyNDArray([nan({NAN_A})] * n, [n])
    b = tarnex.PyNDArray([nan({NAN_B})] * n, [n])
    for r in (a.add(b), a.mul(b), a.scale(nan({NAN_S}))):
        got = {{struct.pack("<d", r.get([i])) for i in range(n)}}
        assert got == {{struct.pack("<Q", {NAN_A})}}, (n, got)
print("ok")
"""


@pytest.mark.parametrize("threads", ["1", "2", "3"])
def test_left_nan_wins_everywhere(threads):
    code, out, err = run_python(CHECK, RAYON_NUM_THREADS=threads)
    assert (code, out.strip()) == (0, "ok"), err


def test_one_nan_operand_passes_through():
    import tarnex
    nan_b = struct.unpack("<d", struct.pack("<Q", NAN_B))[0]
    r = tarnex.PyNDArray([1.0, 2.0, 3.0], [3]).add(tarnex.PyNDArray([nan_b] * 3, [3]))
    assert {struct.pack("<d", r.get([i])) for i in range(3)} == {struct.pack("<Q", NAN_B)}
