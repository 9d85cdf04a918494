"""Matching call arguments to parameters, converting them, and the errors either step raises."""

import re

import pytest
import tarnex
from tarnex import PyBoolArray, PyNDArray

NEW = "PyNDArray.__new__()"
GET = "PyNDArray.get()"


def type_error(fn, *args, **kwargs):
    with pytest.raises(TypeError) as info:
        fn(*args, **kwargs)
    assert type(info.value) is TypeError
    return str(info.value)


@pytest.fixture
def a():
    return PyNDArray([0.0, 1.0, 2.0, 3.0, 4.0, 5.0], [2, 3])


def test_matching_errors(a):
    cases = [
        ((PyNDArray, [1.0], [1], 3), f"{NEW} takes 2 positional arguments but 3 were given"),
        ((PyNDArray, 1, 2, 3), f"{NEW} takes 2 positional arguments but 3 were given"),
        ((a.get, [0, 0], [1]), f"{GET} takes 1 positional arguments but 2 were given"),
        ((PyNDArray,), f"{NEW} missing 2 required positional arguments: 'data' and 'shape'"),
        ((PyNDArray, [1.0]), f"{NEW} missing 1 required positional argument: 'shape'"),
        ((a.get,), f"{GET} missing 1 required positional argument: 'index'"),
        ((PyBoolArray,),
         "PyBoolArray.__new__() missing 2 required positional arguments: 'data' and 'shape'"),
    ]
    for (fn, *args), message in cases:
        assert type_error(fn, *args) == message
    assert type_error(PyNDArray, shape=[1]) == (
        f"{NEW} missing 1 required positional argument: 'data'")
    assert type_error(PyNDArray, 1, 2, 3, bogus=1) == (
        f"{NEW} takes 2 positional arguments but 3 were given")
    assert type_error(PyNDArray, [1.0], [1], bogus=1) == (
        f"{NEW} got an unexpected keyword argument 'bogus'")
    assert type_error(a.get, idx=[0, 0]) == f"{GET} got an unexpected keyword argument 'idx'"
    assert type_error(PyNDArray, [1.0], [1], data=[1.0]) == (
        f"{NEW} got multiple values for argument 'data'")
    assert type_error(a.get, [0, 0], index=[0, 0]) == (
        f"{GET} got multiple values for argument 'index'")
    # Keywords are examined in the order they were passed.
    assert type_error(PyNDArray, [1.0], data=1, bogus=2).endswith("multiple values for argument 'data'")
    assert type_error(PyNDArray, [1.0], bogus=2, data=1).endswith("unexpected keyword argument 'bogus'")
    # Matching happens before any conversion.
    assert type_error(PyNDArray, "text", bogus=1).endswith("unexpected keyword argument 'bogus'")


@pytest.mark.skipif(not hasattr(PyNDArray, "set_slice"), reason="needs set_slice")
@pytest.mark.parametrize("args, names", [
    ((), "4 required positional arguments: 'axis', 'start', 'end', and 'value'"),
    ((0,), "3 required positional arguments: 'start', 'end', and 'value'"),
    ((0, 0), "2 required positional arguments: 'end' and 'value'"),
    ((0, 0, 1), "1 required positional argument: 'value'"),
])
def test_missing_many(a, args, names):
    assert type_error(a.set_slice, *args) == f"PyNDArray.set_slice() missing {names}"


@pytest.mark.parametrize("method", ["shape", "sum", "mean", "argmax"])
def test_methods_without_parameters_use_the_interpreter_message(a, method):
    # Compare with a builtin no-argument method, whose message the interpreter writes alike.
    for args, kwargs in [((1,), {}), ((), {"x": 1})]:
        with pytest.raises(TypeError) as reference:
            [].clear(*args, **kwargs)
        # CPython 3.8 names the method without its class ("clear() takes ..."), later versions
        # with it ("list.clear() takes ...").
        expected = re.sub(r"^(list\.)?clear\(",
                          lambda m: ("PyNDArray." if m.group(1) else "") + method + "(",
                          str(reference.value))
        assert type_error(getattr(a, method), *args, **kwargs) == expected


def obj(name="Obj", **methods):
    """An instance of a new class with the given methods."""
    return type(name, (), methods)()


def floaty(value):
    return obj(__float__=lambda self: value)


def indexy(value):
    return obj(__index__=lambda self: value)


@pytest.mark.parametrize("data, shape, expected_shape, values", [
    ((1, 2.5, True), (3,), [3], [1.0, 2.5, 1.0]),
    (range(4), range(4, 5), [4], [0.0, 1.0, 2.0, 3.0]),
    ([floaty(0.25), indexy(3), False, 2**53 + 1], b"\x04", [4], [0.25, 3.0, 0.0, 2.0**53]),
    ([1.0, 2.0], bytearray(b"\x01\x02"), [1, 2], [1.0, 2.0]),
    ([1.0, 2.0], [True, indexy(2)], [1, 2], [1.0, 2.0]),
])
def test_accepted_conversions(data, shape, expected_shape, values):
    a = PyNDArray(data, shape)
    assert a.shape() == expected_shape
    assert [a.get([0] * (len(expected_shape) - 1) + [i]) for i in range(len(values))] == values


def test_index_accepts_any_sequence(a):
    for index in [(1, 2), range(1, 3), b"\x01\x02", [indexy(1), 2], [True, indexy(2)]]:
        assert a.get(index) == 5.0


class Outer:
    class Inner:
        pass


def gen():
    yield 1.0


@pytest.mark.parametrize("call, message", [
    (lambda: PyNDArray("ab", [2]), "argument 'data': Can't extract `str` to `Vec`"),
    (lambda: PyNDArray([1.0], "1"), "argument 'shape': Can't extract `str` to `Vec`"),
    (lambda: PyNDArray(type("S", (str,), {})("a"), [1]), "argument 'data': Can't extract `str` to `Vec`"),
    (lambda: PyBoolArray("a", [1]), "argument 'data': Can't extract `str` to `Vec`"),
    (lambda: PyNDArray({1.0}, [1]), "argument 'data': 'set' object cannot be converted to 'Sequence'"),
    (lambda: PyNDArray({1.0: 1}, [1]), "argument 'data': 'dict' object cannot be converted to 'Sequence'"),
    (lambda: PyNDArray(gen(), [1]), "argument 'data': 'generator' object cannot be converted to 'Sequence'"),
    (lambda: PyNDArray(iter([1.0]), [1]), "argument 'data': 'list_iterator' object cannot be converted to 'Sequence'"),
    (lambda: PyNDArray([1.0], 1), "argument 'shape': 'int' object cannot be converted to 'Sequence'"),
    (lambda: PyNDArray(Outer.Inner(), [1]), "argument 'data': 'Outer.Inner' object cannot be converted to 'Sequence'"),
    (lambda: PyNDArray([1.0], [2.0]), "argument 'shape': 'float' object cannot be interpreted as an integer"),
    (lambda: PyBoolArray([1, 0], [2]), "argument 'data': 'int' object cannot be converted to 'PyBool'"),
    (lambda: PyBoolArray([True, 1.0], [2]), "argument 'data': 'float' object cannot be converted to 'PyBool'"),
    # data is converted before shape, whatever order the keywords came in
    (lambda: PyNDArray(shape="x", data="y"), "argument 'data': Can't extract `str` to `Vec`"),
    (lambda: PyNDArray(["x"], [-1]), "argument 'data': must be real number, not str"),
    (lambda: PyNDArray([1.0], [1]).get("0"), "argument 'index': Can't extract `str` to `Vec`"),
    (lambda: PyNDArray([1.0], [1]).get([0.0]), "argument 'index': 'float' object cannot be interpreted as an integer"),
])
def test_conversion_type_errors(call, message):
    assert type_error(call) == message


@pytest.mark.parametrize("call", [
    lambda: PyNDArray([1.0], [-2]),
    lambda: PyNDArray([], [2**64, 0]),
    lambda: PyNDArray([1.0], [indexy(-1)]),
    lambda: PyNDArray([10**400], [1]),
    lambda: PyNDArray([1.0], [1]).get([-1]),
])
def test_overflow_errors_are_not_wrapped(call):
    with pytest.raises(OverflowError) as info:
        call()
    assert not str(info.value).startswith("argument")


def numpy_bool(**methods):
    return obj("bool_", __module__="numpy", **methods)


@pytest.mark.parametrize("item, outcome", [
    (numpy_bool(__bool__=lambda self: True), True),
    (numpy_bool(__bool__=lambda self: False), True),
    (numpy_bool(), "object of type '<class 'numpy.bool_'>' does not define a '__bool__' conversion"),
    (numpy_bool(__bool__=lambda self: 1), "'int' object cannot be converted to 'PyBool'"),
    (obj("bool_", __module__="numpyx", __bool__=lambda self: True),
     "'bool_' object cannot be converted to 'PyBool'"),
])
def test_numpy_style_booleans(item, outcome):
    if outcome is True:
        assert PyBoolArray([item, True], [2]).shape() == [2]
    else:
        assert type_error(PyBoolArray, [item], [1]) == "argument 'data': " + outcome
    item.__bool__ = lambda: True  # an instance attribute is not a special method
    if not hasattr(type(item), "__bool__") and type(item).__module__ == "numpy":
        assert "does not define a '__bool__'" in type_error(PyBoolArray, [item], [1])


def raises(error):
    def method(self):
        raise error
    return obj(__float__=method, __index__=method)


class MyTypeError(TypeError):
    pass


@pytest.mark.parametrize("error", [MyTypeError("sub"), KeyError("k"), ValueError("v"), RuntimeError("r")])
@pytest.mark.parametrize("make", [lambda x: PyNDArray([x], [1]), lambda x: PyNDArray([1.0], [x])])
def test_other_errors_pass_unchanged(make, error):
    with pytest.raises(type(error)) as info:
        make(raises(error))
    assert info.value is error


def test_exact_type_error_is_wrapped_with_its_cause():
    root = ValueError("root")
    inner = TypeError("inner")
    inner.__cause__ = root
    message = type_error(PyNDArray, [raises(inner)], [1])
    assert message == "argument 'data': inner"
    with pytest.raises(TypeError) as info:
        PyNDArray([1.0], [raises(inner)])
    assert str(info.value) == "argument 'shape': inner" and info.value.__cause__ is root
    with pytest.raises(TypeError) as info:
        PyNDArray([raises(TypeError("plain"))], [1])
    assert info.value.__cause__ is None


class Sequence:
    """Item access with an overridable length and iteration."""

    def __init__(self, items, length=None, fail_at=None):
        self.items, self.length, self.fail_at = items, length, fail_at

    def __getitem__(self, i):
        return self.items[i]

    def __len__(self):
        if isinstance(self.length, Exception):
            raise self.length
        return len(self.items) if self.length is None else self.length

    def __iter__(self):
        for i, item in enumerate(self.items):
            if i == self.fail_at:
                raise LookupError("iteration stopped")
            yield item


@pytest.mark.parametrize("length", [ValueError("no length"), TypeError("no length"), 0, 1, 2**40])
def test_length_hint_is_only_a_hint(length):
    a = PyNDArray(Sequence([1.0, 2.0, 3.0], length=length), Sequence([3], length=length))
    assert a.shape() == [3] and a.sum() == 6.0


def test_iteration_error_ends_conversion():
    with pytest.raises(LookupError, match="iteration stopped"):
        PyNDArray(Sequence([1.0, 2.0, 3.0], fail_at=2), [3])


def live_list(mutate):
    """[1.0, x, 1.0] where x's first float conversion applies `mutate` to the list."""
    items = []

    class Mutating:
        done = False

        def __float__(self):
            if not Mutating.done:
                Mutating.done = True
                mutate(items)
            return 2.0

    items += [1.0, Mutating(), 1.0]
    return items


@pytest.mark.parametrize("mutate", [
    lambda items: items.append(4.0),
    lambda items: items.clear(),
    lambda items: items.pop(),
    lambda items: items.insert(0, 9.0),
    lambda items: items.__setitem__(2, 7.0),
])
def test_list_mutated_during_conversion_reads_like_iteration(mutate):
    expected = [float(x) for x in live_list(mutate)]
    a = PyNDArray(live_list(mutate), [len(expected)])
    assert [a.get([i]) for i in range(len(expected))] == expected


def test_wrapped_message_keeps_every_character():
    class Odd:
        def __float__(self):
            raise TypeError("bad\x00tail \udcff")

    with pytest.raises(TypeError) as info:
        tarnex.PyNDArray([Odd()], [1])
    assert str(info.value) == "argument 'data': bad\x00tail \udcff"
