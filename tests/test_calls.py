"""How methods receive their arguments: the calling convention each is registered with, and
argument matching through every way Python can make a call. The suite runs the same cases on
interpreters before 3.10 (tuple and dict) and from 3.10 on (argument vector and keyword
names), so each message here is checked in both conventions."""

import ctypes
import functools
import inspect
import sys
import sysconfig

import pytest
from tarnex import PyBoolArray, PyNDArray

from helpers import values

METH_VARARGS, METH_KEYWORDS, METH_NOARGS, METH_FASTCALL = 0x1, 0x2, 0x4, 0x80

# Every method that takes parameters, with its parameter names.
WITH_PARAMS = {
    "get": ["index"], "scale": ["scalar"], "add": ["other"], "mul": ["other"],
    "matmul": ["other"], "matmul_blas": ["other"], "boolean_mask": ["mask"],
    "masked_fill": ["mask", "value"], "where_": ["condition", "other"],
    "fancy_index": ["indices"], "slice_row": ["row"], "slice_col": ["col"],
    "slice_range": ["axis", "start", "end"], "reshape": ["new_shape"],
    "gather": ["axis", "indices"], "set_slice": ["axis", "start", "end", "value"],
}
WITHOUT_PARAMS = ["shape", "sum", "mean", "relu", "sigmoid", "softmax", "transpose", "argmax",
                  "cumsum"]


@pytest.fixture
def a():
    return PyNDArray([0.0, 1.0, 2.0, 3.0, 4.0, 5.0], [2, 3])


def message(fn, *args, **kwargs):
    with pytest.raises(TypeError) as info:
        fn(*args, **kwargs)
    assert type(info.value) is TypeError
    return str(info.value)


def names_list(names):
    quoted = [f"'{n}'" for n in names]
    if len(quoted) == 1:
        return quoted[0]
    if len(quoted) == 2:
        return " and ".join(quoted)
    return ", ".join(quoted[:-1]) + ", and " + quoted[-1]


def missing(method, names):
    word = "argument" if len(names) == 1 else "arguments"
    return (f"PyNDArray.{method}() missing {len(names)} required positional {word}: "
            + names_list(names))


def method_flags(cls, name):
    """ml_flags of the method's definition, read through the descriptor's layout: the object
    header, d_type, d_name and d_qualname, then the PyMethodDef pointer."""
    descriptor = cls.__dict__[name]
    method_def = ctypes.c_void_p.from_address(id(descriptor) + 5 * ctypes.sizeof(ctypes.c_void_p))
    return ctypes.c_int.from_address(method_def.value + 2 * ctypes.sizeof(ctypes.c_void_p)).value


@pytest.mark.skipif(sys.implementation.name != "cpython" or sysconfig.get_config_var("Py_GIL_DISABLED"),
                    reason="reads the layout of CPython's method descriptors")
def test_convention_follows_the_interpreter_version():
    expected = (METH_FASTCALL | METH_KEYWORDS if sys.version_info >= (3, 10)
                else METH_VARARGS | METH_KEYWORDS)
    assert {name: method_flags(PyNDArray, name) for name in WITH_PARAMS} == dict.fromkeys(
        WITH_PARAMS, expected)
    assert {name: method_flags(PyNDArray, name) for name in WITHOUT_PARAMS} == dict.fromkeys(
        WITHOUT_PARAMS, METH_NOARGS)
    assert method_flags(PyBoolArray, "shape") == METH_NOARGS


@pytest.mark.parametrize("method, params", WITH_PARAMS.items())
def test_every_matching_message(a, method, params):
    fn = getattr(a, method)
    full = f"PyNDArray.{method}()"
    n = len(params)
    too_many = f"{full} takes {n} positional arguments but {n + 1} were given"
    assert message(fn, *range(n + 1)) == too_many
    # Too many positional arguments are found before any keyword is looked at.
    assert message(fn, *range(n + 1), bogus=1) == too_many
    assert message(fn) == missing(method, params)
    assert message(fn, bogus=1) == f"{full} got an unexpected keyword argument 'bogus'"
    assert message(fn, 0, **{params[0]: 0}) == (
        f"{full} got multiple values for argument '{params[0]}'")
    # Keywords fill their slots whatever the order; the rest are missing in parameter order.
    given = dict(zip(reversed(params[1:]), range(n)))
    assert message(fn, **given) == missing(method, params[:1])
    assert message(fn, *range(n - 1)) == missing(method, params[-1:])
    # No argument was converted and nothing stays borrowed.
    assert values(a) == [0.0, 1.0, 2.0, 3.0, 4.0, 5.0]
    assert list(inspect.signature(fn).parameters) == params


@pytest.mark.parametrize("kwargs, complaint", [
    # Keywords are examined in the order of the call: the first bad one is reported.
    ({"axis": 1, "zz": 0}, "got multiple values for argument 'axis'"),
    ({"zz": 0, "axis": 1}, "got an unexpected keyword argument 'zz'"),
    ({"value": 1.0, "start": 0, "axis": 0}, "got multiple values for argument 'axis'"),
    ({"end": 1, "Axis": 0, "axis": 0}, "got an unexpected keyword argument 'Axis'"),
    ({"start": 0, "end": 1}, "missing 1 required positional argument: 'value'"),
])
def test_keyword_order_decides_the_message(a, kwargs, complaint):
    # The receiver's first positional argument fills 'axis'.
    assert message(a.set_slice, 0, **kwargs) == f"PyNDArray.set_slice() {complaint}"


@pytest.mark.parametrize("call", [
    lambda a: a.slice_range(1, 0, 2),
    lambda a: a.slice_range(1, 0, end=2),
    lambda a: a.slice_range(1, end=2, start=0),
    lambda a: a.slice_range(end=2, start=0, axis=1),
    lambda a: a.slice_range(**{"start": 0, "axis": 1, "end": 2}),
    lambda a: PyNDArray.slice_range(a, 1, 0, 2),
    lambda a: PyNDArray.slice_range(a, 1, end=2, start=0),
    lambda a: functools.partial(a.slice_range, 1)(0, 2),
    lambda a: functools.partial(PyNDArray.slice_range, a, end=2)(1, 0),
    lambda a: a.slice_range(*[1, 0, 2]),
    lambda a: getattr(a, "slice_range")(*(1,), **{"start": 0, "end": 2}),
])
def test_every_way_of_calling_gives_the_same_result(a, call):
    result = call(a)
    assert result.shape() == [2, 2]
    assert [result.get([i, j]) for i in range(2) for j in range(2)] == [0.0, 1.0, 3.0, 4.0]


def test_unbound_method_calls_match_like_bound_ones(a):
    assert PyNDArray.get(a, index=(1, 2)) == 5.0
    assert message(PyNDArray.get, a) == missing("get", ["index"])
    assert message(PyNDArray.get, a, [0, 0], [0]) == (
        "PyNDArray.get() takes 1 positional arguments but 2 were given")
    assert message(PyNDArray.get, a, [0, 0], index=[0, 0]) == (
        "PyNDArray.get() got multiple values for argument 'index'")
    # Without a receiver the interpreter refuses the call itself.
    with pytest.raises(TypeError):
        PyNDArray.get()


def test_keywords_that_python_refuses_never_reach_the_matcher(a):
    # A non-str key reaches a method only in a keyword dict: from 3.10 on the interpreter
    # refuses it while building the argument vector; before, the matcher reports it.
    if sys.version_info >= (3, 10):
        with pytest.raises(TypeError, match="keywords must be strings"):
            a.get(**{1: [0, 0]})
    else:
        assert message(lambda: a.get(**{1: [0, 0]})) == (
            "PyNDArray.get() got an unexpected keyword argument '1'")
    # Constructors always take the dict.
    assert message(lambda: PyNDArray([1.0], [1], **{2: 0})) == (
        "PyNDArray.__new__() got an unexpected keyword argument '2'")
    # A keyword given twice is refused by the interpreter when it builds the call ...
    with pytest.raises(TypeError, match="multiple values for keyword argument 'index'"):
        a.get(**{"index": [0, 0]}, index=[0, 0])
    # ... but a keyword repeating a positional argument is the matcher's to report.
    assert message(a.get, [0, 0], **{"index": [0, 0]}) == (
        "PyNDArray.get() got multiple values for argument 'index'")
    assert a.get(**{"index": [1, 1]}) == 4.0


def test_constructors_match_through_the_tuple_and_dict():
    for make in (lambda: PyNDArray([1.0, 2.0], [2]), lambda: PyNDArray(shape=[2], data=[1.0, 2.0]),
                 lambda: PyNDArray([1.0, 2.0], shape=[2])):
        assert make().shape() == [2]
    assert message(PyNDArray, [1.0], shape=[1], data=[1.0]) == (
        "PyNDArray.__new__() got multiple values for argument 'data'")
    assert message(PyBoolArray, [True], bogus=1, shape=[1]) == (
        "PyBoolArray.__new__() got an unexpected keyword argument 'bogus'")


class IntList(list):
    pass


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


@pytest.mark.parametrize("index", [
    [1, 2], (1, 2), IntList([1, 2]), range(1, 3), [True, 2], (1, Index(2)), [1, 2 ** 0 + 1],
    b"\x01\x02", bytearray(b"\x01\x02"),
])
def test_get_reads_every_index_form_alike(a, index):
    assert a.get(index) == 5.0


@pytest.mark.parametrize("index, error, text", [
    ([-1, 0], OverflowError, None),
    ((2 ** 64, 0), OverflowError, None),
    ([-1, "x"], OverflowError, None),  # the first bad entry decides
    (["x", -1], TypeError, "argument 'index': 'str' object cannot be interpreted as an integer"),
    ([0, 1.5], TypeError, "argument 'index': 'float' object cannot be interpreted as an integer"),
    ((0, None), TypeError, "argument 'index': 'NoneType' object cannot be interpreted as an integer"),
    ("01", TypeError, "argument 'index': Can't extract `str` to `Vec`"),
])
def test_get_index_errors(a, index, error, text):
    with pytest.raises(error) as info:
        a.get(index)
    assert type(info.value) is error
    if error is OverflowError:
        assert not str(info.value).startswith("argument")
    else:
        assert str(info.value) == text
    assert a.get((1, 2)) == 5.0


def test_get_with_many_dimensions():
    # Indexes longer than the short form still go through the general conversion.
    for dims in (6, 7, 9):
        shape = [1] * (dims - 1) + [2]
        a = PyNDArray([3.0, 4.0], shape)
        assert a.get([0] * (dims - 1) + [1]) == 4.0
        assert a.get(tuple([0] * dims)) == 3.0
