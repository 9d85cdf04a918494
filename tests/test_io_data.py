"""tarnex_io's export (to_list, to_bytes, to_numpy) and import (from_bytes, bools_from_bytes)."""

import array
import math
import struct

import pytest
from tarnex import PyBoolArray, PyNDArray

import tarnex_io

NAN_PAYLOAD = struct.unpack("<d", struct.pack("<Q", 0x7FF8_0000_0000_1234))[0]
NEG_NAN = struct.unpack("<d", struct.pack("<Q", 0xFFF0_0000_0000_0042))[0]
VALUES = [1.5, -0.0, 0.0, math.inf, -math.inf, NAN_PAYLOAD, NEG_NAN, 5e-324, -2.0, 1e308,
          3.25, -7.0]


def float_bytes(values):
    return struct.pack(f"<{len(values)}d", *values)


SHAPES = [[12], [3, 4], [2, 3, 2], [0], [4, 0, 3], []]


def sized(shape, values=VALUES):
    n = math.prod(shape)
    return (values * (n // len(values) + 1))[:n]


@pytest.mark.parametrize("shape", SHAPES, ids=str)
def test_float_export_and_import_round_trip_bit_exactly(shape):
    values = sized(shape)
    a = PyNDArray(values, shape)
    data = tarnex_io.to_bytes(a)
    assert data == float_bytes(values)
    out = tarnex_io.to_list(a)
    assert all(type(v) is float for v in out) and float_bytes(out) == data
    back = tarnex_io.from_bytes(data, shape)
    assert type(back) is PyNDArray and back.shape() == shape
    assert tarnex_io.to_bytes(back) == data


@pytest.mark.parametrize("shape", SHAPES, ids=str)
def test_bool_export_and_import_round_trip(shape):
    flags = sized(shape, [True, False, False, True, True])
    m = PyBoolArray(flags, shape)
    assert tarnex_io.to_list(m) == flags and all(type(v) is bool for v in tarnex_io.to_list(m))
    data = tarnex_io.to_bytes(m)
    assert data == bytes(flags)
    back = tarnex_io.bools_from_bytes(data, shape)
    assert type(back) is PyBoolArray and back.shape() == shape
    assert tarnex_io.to_list(back) == flags


def array_of_doubles(b):  # array.array's length is in doubles: not used for the bool case
    return array.array("d", b)


@pytest.mark.parametrize("kind", [bytes, bytearray, memoryview, array_of_doubles,
                                  lambda b: memoryview(b)[::1]])
def test_every_bytes_like_kind_is_read(kind):
    data = float_bytes(VALUES[:6])
    assert tarnex_io.to_bytes(tarnex_io.from_bytes(kind(data), [2, 3])) == data
    flags = bytes([1, 0, 1, 1])
    if kind is not array_of_doubles:
        assert tarnex_io.to_bytes(tarnex_io.bools_from_bytes(kind(flags), [4])) == flags


def test_keywords_are_accepted_by_parameter_name():
    a = tarnex_io.from_bytes(shape=[1], data=float_bytes([2.5]))
    assert tarnex_io.to_list(a=a) == [2.5]
    assert tarnex_io.to_bytes(a=a) == float_bytes([2.5])
    assert tarnex_io.to_list(tarnex_io.bools_from_bytes(shape=[1], data=b"\x01")) == [True]


def test_imported_arrays_are_ordinary_tarnex_arrays():
    a = tarnex_io.from_bytes(float_bytes([1.0, 2.0, 3.0, 4.0]), [2, 2])
    assert a.transpose().get([0, 1]) == 3.0 and a.sum() == 10.0
    m = tarnex_io.bools_from_bytes(b"\x01\x00\x00\x01", [2, 2])
    assert a.boolean_mask(m).shape() == [2]
    a.set_slice(0, 0, 1, 9.0)
    assert tarnex_io.to_list(a) == [9.0, 9.0, 3.0, 4.0]


def test_from_bytes_copies():
    data = bytearray(float_bytes([1.0]))
    a = tarnex_io.from_bytes(data, [1])
    data[:] = float_bytes([2.0])
    assert tarnex_io.to_list(a) == [1.0]


@pytest.mark.parametrize("function, data, shape, message", [
    (tarnex_io.from_bytes, b"\0" * 7, [1],
     "argument 'data': 7 bytes do not match shape [1], which needs 8 bytes"),
    (tarnex_io.from_bytes, b"\0" * 16, [3], "16 bytes do not match shape [3], which needs 24"),
    (tarnex_io.from_bytes, b"", [], "0 bytes do not match shape [], which needs 8 bytes"),
    (tarnex_io.from_bytes, b"\0" * 8, [2**40, 2**40], "which has more than 2**64 elements"),
    (tarnex_io.from_bytes, b"\0" * 8, [2**61], "shape [2305843009213693952], which needs"),
    (tarnex_io.bools_from_bytes, b"\0\1", [3], "argument 'data': 2 bytes do not match shape [3]"),
    (tarnex_io.bools_from_bytes, b"\0\1\2", [3],
     "argument 'data': byte 2 is 2, not 0 (False) or 1 (True)"),
    (tarnex_io.bools_from_bytes, b"\1" * 5000 + b"\xff", [5001],
     "argument 'data': byte 5000 is 255, not 0 (False) or 1 (True)"),
])
def test_wrong_lengths_and_bytes_are_value_errors(function, data, shape, message):
    with pytest.raises(ValueError) as info:
        function(data, shape)
    assert type(info.value) is ValueError and message in str(info.value)


def test_a_length_that_overflows_when_multiplied_still_mismatches():
    # 2**61 elements of 8 bytes wrap to 0 bytes in 64 bits: must not pass for b"".
    with pytest.raises(ValueError, match="0 bytes do not match shape"):
        tarnex_io.from_bytes(b"", [2**61])


class BadBytes:
    def tobytes(self):
        return "text"


@pytest.mark.parametrize("function", [tarnex_io.from_bytes, tarnex_io.bools_from_bytes])
@pytest.mark.parametrize("data, shape, exception, message", [
    ([1.0], [1], TypeError, "argument 'data': expected bytes, bytearray or an object with a "
                            "tobytes() method such as memoryview, not 'list'"),
    ("ab", [2], TypeError, "argument 'data': expected bytes, bytearray"),
    (BadBytes(), [1], TypeError, "argument 'data': tobytes() returned 'str', not bytes"),
    (b"\0", "x", TypeError, "argument 'shape': Can't extract `str` to `Vec`"),
    (b"\0", [1.0], TypeError, "argument 'shape': 'float' object cannot be interpreted"),
    (b"\0", [-1], OverflowError, "can't convert negative int to unsigned"),
])
def test_argument_errors_name_the_parameter(function, data, shape, exception, message):
    with pytest.raises(exception) as info:
        function(data, shape)
    assert type(info.value) is exception and str(info.value).startswith(message)


@pytest.mark.parametrize("function", [tarnex_io.to_list, tarnex_io.to_bytes, tarnex_io.to_numpy])
@pytest.mark.parametrize("bad", [[1.0], 2.0, None, PyNDArray])
def test_export_refuses_anything_but_an_array(function, bad):
    with pytest.raises(TypeError) as info:
        function(bad)
    assert str(info.value) == (f"argument 'a': '{type(bad).__qualname__}' object cannot be "
                               f"converted to 'PyNDArray or PyBoolArray'")


@pytest.mark.parametrize("call, fragment", [
    (lambda: tarnex_io.to_list(), "to_list() missing 1 required positional argument: 'a'"),
    (lambda: tarnex_io.to_bytes(1, 2), "to_bytes() takes 1 positional arguments but 2 were given"),
    (lambda: tarnex_io.to_numpy(1, b=1), "to_numpy()"),
    (lambda: tarnex_io.from_bytes(b""), "from_bytes() missing 1 required positional argument: 'shape'"),
    (lambda: tarnex_io.bools_from_bytes(b"", [0], data=b""), "bools_from_bytes()"),
    (lambda: tarnex_io.instruction_set(1), "instruction_set() takes no arguments"),
])
def test_wrong_calls_are_type_errors(call, fragment):
    with pytest.raises(TypeError) as info:
        call()
    assert fragment in str(info.value)


# --- numpy ------------------------------------------------------------------------------------

@pytest.mark.parametrize("shape", SHAPES, ids=str)
def test_to_numpy_gives_a_writable_copy_of_the_right_shape_and_dtype(shape):
    np = pytest.importorskip("numpy")
    a = PyNDArray(sized(shape), shape)
    x = tarnex_io.to_numpy(a)
    assert type(x) is np.ndarray and x.dtype == np.float64 and list(x.shape) == shape
    assert x.tobytes() == tarnex_io.to_bytes(a) and x.flags.writeable and x.flags.c_contiguous
    m = PyBoolArray(sized(shape, [True, False, True]), shape)
    y = tarnex_io.to_numpy(m)
    assert y.dtype == np.bool_ and y.tolist() == np.array(tarnex_io.to_list(m)).reshape(
        shape).tolist()
    x[...] = 0.0
    assert tarnex_io.to_bytes(a) == float_bytes(sized(shape))


def test_numpy_round_trip_through_the_constructors():
    np = pytest.importorskip("numpy")
    x = np.array(VALUES)
    assert tarnex_io.to_numpy(PyNDArray(x, [12])).tobytes() == x.tobytes()
    assert tarnex_io.to_numpy(tarnex_io.from_bytes(x, [3, 4])).tobytes() == x.tobytes()


def test_to_numpy_without_numpy_is_a_clear_import_error():
    from helpers import run_python
    code, out, err = run_python("""
        import sys
        sys.modules["numpy"] = None  # what an absent package looks like to an import
        import tarnex, tarnex_io
        a = tarnex.PyNDArray([1.0], [1])
        try:
            tarnex_io.to_numpy(a)
        except ImportError as e:
            print(type(e).__name__, e, type(e.__cause__).__name__)
        print(tarnex_io.to_list(a), a.sum())
    """)
    assert code == 0, err
    assert out.splitlines() == [
        "ImportError to_numpy needs numpy, which is not installed (pip install numpy) "
        "ModuleNotFoundError", "[1.0] 1.0"]
