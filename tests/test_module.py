"""The module object and the two classes as Python sees them."""

import ctypes
import gc
import sys
import weakref

import pytest
import tarnex
from tarnex import PyBoolArray, PyNDArray

CLASSES = [PyNDArray, PyBoolArray]
# The methods of PyNDArray in registration order, with their parameters.
METHOD_ORDER = {
    "get": ("index",), "shape": (), "sum": (), "mean": (), "relu": (), "sigmoid": (),
    "softmax": (), "transpose": (), "argmax": (), "scale": ("scalar",), "add": ("other",),
    "mul": ("other",), "matmul": ("other",), "matmul_blas": ("other",),
    "boolean_mask": ("mask",), "masked_fill": ("mask", "value"),
    "where_": ("condition", "other"), "fancy_index": ("indices",), "slice_row": ("row",),
    "slice_col": ("col",), "slice_range": ("axis", "start", "end"),
    "reshape": ("new_shape",), "gather": ("axis", "indices"),
    "set_slice": ("axis", "start", "end", "value"), "cumsum": (),
}


def instance(cls):
    return cls([1.0, 2.0], [2]) if cls is PyNDArray else cls([True, False], [2])


def test_module_attributes():
    assert tarnex.__all__ == ["PyNDArray", "PyBoolArray"]
    assert tarnex.__doc__ == ""
    assert [n for n in dir(tarnex) if not n.startswith("_")] == ["PyBoolArray", "PyNDArray"]


@pytest.mark.parametrize("cls", CLASSES)
def test_class_identity(cls):
    name = "PyNDArray" if cls is PyNDArray else "PyBoolArray"
    assert (cls.__module__, cls.__name__, cls.__qualname__) == ("builtins", name, name)
    assert cls.__bases__ == (object,)
    assert cls.__doc__ == ""


@pytest.mark.parametrize("cls", CLASSES)
def test_class_text_signature(cls):
    # Interpreters before 3.10 drop the signature part of a heap type's docstring.
    expected = "(data, shape)" if sys.version_info >= (3, 10) else None
    assert cls.__text_signature__ == expected
    assert cls.__doc__ == ""


def test_method_signatures_and_order():
    # The class dictionary keeps the registration order: exactly these 25, in this order.
    assert [k for k in vars(PyNDArray) if not k.startswith("__")] == list(METHOD_ORDER)
    for name, params in METHOD_ORDER.items():
        method = getattr(PyNDArray, name)
        signature = "(" + ", ".join(("$self",) + params) + ")"
        assert (method.__text_signature__, method.__doc__) == (signature, None), name
    assert [k for k in vars(PyBoolArray) if not k.startswith("__")] == ["shape"]
    assert PyBoolArray.shape.__text_signature__ == "($self)"


def test_bool_array_has_only_shape():
    b = instance(PyBoolArray)
    with pytest.raises(AttributeError):
        b.sum()


@pytest.mark.parametrize("cls", CLASSES)
def test_no_subclassing(cls):
    with pytest.raises(TypeError):
        type("Derived", (cls,), {})


@pytest.mark.parametrize("cls", CLASSES)
def test_instances_are_closed_records(cls):
    obj = instance(cls)
    with pytest.raises(AttributeError):
        obj.extra = 1
    with pytest.raises(AttributeError):
        obj.shape = 1
    with pytest.raises(TypeError):
        weakref.ref(obj)
    assert not hasattr(obj, "__dict__")
    assert not gc.is_tracked(obj)
    # Identity equality and hashing, no length or item access.
    other = instance(cls)
    assert obj == obj and obj != other and hash(obj) != hash(other)
    with pytest.raises(TypeError):
        len(obj)
    with pytest.raises(TypeError):
        obj[0]


def test_inherited_initialiser_has_no_effect():
    a = PyNDArray([1.0, 2.0], [2])
    assert a.__init__([5.0], [1]) is None
    assert a.shape() == [2] and a.get([1]) == 2.0


@pytest.mark.parametrize("cls", CLASSES)
@pytest.mark.parametrize("shape", [[2, 3], [], [0], [1, 1, 1, 2]])
def test_shape_returns_a_fresh_copy(cls, shape):
    n = 1
    for extent in shape:
        n *= extent
    obj = cls([True] * n, shape)
    first = obj.shape()
    assert first == shape and all(type(e) is int for e in first)
    first.append(99)
    assert obj.shape() == shape
    assert obj.shape() is not obj.shape()


def test_second_initialisation_is_refused():
    init = ctypes.PyDLL(tarnex.__file__).PyInit_tarnex
    init.restype = ctypes.py_object
    with pytest.raises(ImportError) as info:
        init()
    assert str(info.value) == (
        "PyO3 modules compiled for CPython 3.8 or older may only be initialized once per "
        "interpreter process")
    # The module already imported is unaffected.
    assert tarnex.PyNDArray([1.0], [1]).sum() == 1.0
