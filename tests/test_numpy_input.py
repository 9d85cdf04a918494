"""Construction from numpy: numpy's boolean scalars, and the direct copy of contiguous float64
and bool vectors, which must give exactly what iterating over the array gives."""

import struct
import sys

import pytest
from tarnex import PyBoolArray, PyNDArray

np = pytest.importorskip("numpy")
tarnex_io = pytest.importorskip("tarnex_io")


class Items:
    """A plain sequence over the same items: the general, iterating path."""

    def __init__(self, items):
        self.items = items

    def __len__(self):
        return len(self.items)

    def __getitem__(self, i):
        return self.items[i]


def outcome(cls, data, shape):
    """(bytes of the result, None) or (None, (exception type, message))."""
    try:
        return tarnex_io.to_bytes(cls(data, shape)), None
    except BaseException as e:  # noqa: B036 - PanicException derives from BaseException
        return None, (type(e), str(e))


# --- numpy booleans ------------------------------------------------------------------------

@pytest.mark.parametrize("value", [True, False])
def test_real_numpy_booleans_convert(value):
    scalar = np.bool_(value)
    m = PyBoolArray([scalar, np.True_, np.False_], [3])
    assert tarnex_io.to_list(m) == [value, True, False]


def stand_in(name, bool_result=True, define_bool=True):
    body = {"__module__": "numpy"}
    if define_bool:
        body["__bool__"] = lambda self: bool_result
    return type(name, (), body)()


@pytest.mark.parametrize("name", ["bool_", "bool"])
def test_both_numpy_boolean_names_use_the_type_s_bool(name):
    assert tarnex_io.to_list(PyBoolArray([stand_in(name, True), stand_in(name, False)], [2])) \
        == [True, False]


@pytest.mark.parametrize("name", ["bool_", "bool"])
def test_both_names_give_the_same_messages(name):
    with pytest.raises(TypeError) as missing:
        PyBoolArray([stand_in(name, define_bool=False)], [1])
    assert str(missing.value) == (
        f"argument 'data': object of type '<class 'numpy.{name}'>' does not define a "
        f"'__bool__' conversion")
    with pytest.raises(TypeError) as wrong:
        PyBoolArray([stand_in(name, bool_result=1)], [1])
    assert str(wrong.value) == "argument 'data': 'int' object cannot be converted to 'PyBool'"


@pytest.mark.parametrize("module, name", [("numpy", "boolean"), ("numpy", "bool8x"),
                                          ("numpyx", "bool"), ("builtins", "bool_")])
def test_other_names_are_still_refused(module, name):
    obj = type(name, (), {"__module__": module, "__bool__": lambda self: True})()
    with pytest.raises(TypeError, match=f"'{name}' object cannot be converted to 'PyBool'"):
        PyBoolArray([obj], [1])


# --- the direct copy ---------------------------------------------------------------------

def float_vectors():
    nan_payload = struct.unpack("<d", struct.pack("<Q", 0x7FF8_0000_0000_1234))[0]
    rng = np.random.default_rng(7)
    return [np.array([]), np.array([1.5]), np.array([-0.0, 0.0, np.inf, -np.inf, nan_payload,
                                                     5e-324]),
            rng.standard_normal(1001)]


@pytest.mark.parametrize("x", float_vectors(), ids=lambda x: f"n{x.size}")
def test_float_vector_copies_are_bit_exact(x):
    fast = PyNDArray(x, [x.size])
    assert fast.shape() == [x.size]
    assert tarnex_io.to_bytes(fast) == x.tobytes() == tarnex_io.to_bytes(PyNDArray(Items(x),
                                                                                   [x.size]))


def test_bool_vector_bytes_other_than_zero_become_one():
    raw = np.array([0, 1, 2, 255, 0, 128], dtype=np.uint8)
    m = raw.view(np.bool_)
    assert tarnex_io.to_bytes(PyBoolArray(m, [6])) == bytes([0, 1, 1, 1, 0, 1])
    assert tarnex_io.to_bytes(PyBoolArray(Items(m), [6])) == bytes([0, 1, 1, 1, 0, 1])


def test_the_copy_does_not_share_memory():
    x = np.arange(4.0)
    a = PyNDArray(x, [4])
    x[0] = 99.0
    assert tarnex_io.to_list(a) == [0.0, 1.0, 2.0, 3.0]


class Sub(np.ndarray):
    pass


def general_cases():
    x = np.arange(12.0)
    return {
        "strided": (PyNDArray, x[::2], [6]),
        "reversed": (PyNDArray, x[::-1], [12]),
        "2-D": (PyNDArray, x.reshape(3, 4), [12]),
        "2-D one column": (PyNDArray, x.reshape(12, 1), [12]),
        "float32": (PyNDArray, x.astype(np.float32), [12]),
        "int64": (PyNDArray, x.astype(np.int64), [12]),
        "big-endian": (PyNDArray, x.astype(">f8"), [12]),
        "bool as floats": (PyNDArray, x > 3, [12]),
        "subclass": (PyNDArray, x.view(Sub), [12]),
        "wrong length": (PyNDArray, x, [5]),
        "floats as bools": (PyBoolArray, x, [12]),
        "bools 2-D": (PyBoolArray, (x > 3).reshape(3, 4), [12]),
        "bools strided": (PyBoolArray, (x > 3)[::3], [4]),
        "bools wrong length": (PyBoolArray, x > 3, [13]),
    }


@pytest.mark.parametrize("case", list(general_cases()))
def test_other_arrays_give_what_iteration_gives(case):
    cls, data, shape = general_cases()[case]
    assert outcome(cls, data, shape) == outcome(cls, Items(data), shape)


@pytest.mark.parametrize("cls", [PyNDArray, PyBoolArray])
def test_a_zero_dimensional_array_is_iterated_and_refused(cls):
    with pytest.raises(TypeError) as info:
        cls(np.array(True), [])
    assert str(info.value) == "argument 'data': iteration over a 0-d array"


def test_a_fake_ndarray_type_is_not_read_as_memory():
    # A class that only carries the name must go the general way (here: refused as a
    # non-sequence), never have its claimed address read.
    fake_type = type("ndarray", (), {"__module__": "numpy", "__array_interface__": {
        "data": (8, False), "typestr": "<f8", "shape": (1000,), "strides": None, "version": 3}})
    with pytest.raises(TypeError, match="'ndarray' object cannot be converted to 'Sequence'"):
        PyNDArray(fake_type(), [1000])


# --- exact ints in float data --------------------------------------------------------------

@pytest.mark.parametrize("container", [list, tuple, Items])
def test_ints_convert_like_their_float_conversion(container):
    ints = [0, -1, 7, 2**53 + 1, -(2**63), 2**64 + 12345, 10**308]
    a = PyNDArray(container(ints), [len(ints)])
    assert tarnex_io.to_list(a) == [float(i) for i in ints]


@pytest.mark.parametrize("container", [list, tuple, Items])
def test_an_int_too_large_for_a_float_fails_like_before(container):
    with pytest.raises(OverflowError) as info:
        PyNDArray(container([1.0, 2**1024]), [2])
    assert type(info.value) is OverflowError
    assert str(info.value) == "int too large to convert to float"


def test_int_subclasses_and_bools_keep_their_own_conversion():
    class Odd(int):
        def __float__(self):
            return 0.5

    assert tarnex_io.to_list(PyNDArray([Odd(3), True, False], [3])) == [0.5, 1.0, 0.0]
