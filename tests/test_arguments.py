"""Matching call arguments to parameters, converting them, and the errors either step raises."""

import sys
import traceback

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


@pytest.mark.parametrize("args, names", [
    ((), "4 required positional arguments: 'axis', 'start', 'end', and 'value'"),
    ((0,), "3 required positional arguments: 'start', 'end', and 'value'"),
    ((0, 0), "2 required positional arguments: 'end' and 'value'"),
    ((0, 0, 1), "1 required positional argument: 'value'"),
])
def test_missing_many(a, args, names):
    assert type_error(a.set_slice, *args) == f"PyNDArray.set_slice() missing {names}"


@pytest.mark.parametrize("method", ["shape", "sum", "mean", "argmax", "relu", "cumsum"])
@pytest.mark.parametrize("args, kwargs, complaint", [
    ((1,), {}, "takes no arguments (1 given)"),
    ((1, 2), {}, "takes no arguments (2 given)"),
    ((), {"x": 1}, "takes no keyword arguments"),
    ((1,), {"x": 1}, "takes no keyword arguments"),
])
def test_methods_without_parameters_use_the_interpreter_message(a, method, args, kwargs, complaint):
    # The interpreter names the method with its class from 3.9 on; a builtin method without
    # parameters shows the same form.
    with pytest.raises(TypeError) as reference:
        [].clear(*args, **kwargs)
    qualified = sys.version_info >= (3, 9)
    assert str(reference.value) == ("list.clear" if qualified else "clear") + "() " + complaint
    name = f"PyNDArray.{method}" if qualified else method
    assert type_error(getattr(a, method), *args, **kwargs) == f"{name}() {complaint}"


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


def with_cause(cause):
    error = TypeError("inner")
    error.__cause__ = cause
    return error


@pytest.mark.parametrize("cause", [None, ValueError("root"), TypeError("root")])
@pytest.mark.parametrize("call", [
    lambda a, x: a.scale(x),
    lambda a, x: a.slice_row(x),
    lambda a, x: a.get([x, 0]),
    lambda a, x: PyNDArray([x], [1]),
], ids=["float", "size", "size-list", "float-list"])
def test_wrapping_sets_the_cause_like_raise_from(a, call, cause):
    # The wrapped error reads as `raise TypeError(...) from <the old cause>`: the cause is
    # set even when there is none, which also suppresses the context.
    with pytest.raises(TypeError) as info:
        call(a, raises(with_cause(cause)))
    assert info.value.__cause__ is cause
    assert info.value.__suppress_context__ is True
    try:
        raise TypeError(str(info.value)) from cause
    except TypeError as reference:
        assert reference.__suppress_context__ is True
        assert traceback.format_exception_only(type(reference), reference) == (
            traceback.format_exception_only(type(info.value), info.value))


def test_errors_that_are_not_wrapped_keep_their_context_flags(a):
    error = MyTypeError("sub")
    with pytest.raises(MyTypeError) as info:
        a.scale(raises(error))
    assert info.value is error and info.value.__suppress_context__ is False


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


def shown(text):
    """`text` as a message shows it: lone surrogates, which have no UTF-8 form, become
    U+FFFD, one for each byte of their "surrogatepass" encoding that is not valid UTF-8."""
    return text.encode("utf-8", "surrogatepass").decode("utf-8", "replace")


def test_wrapped_message_keeps_every_character():
    class Odd:
        def __float__(self):
            raise TypeError("bad\x00tail \udcff")

    with pytest.raises(TypeError) as info:
        tarnex.PyNDArray([Odd()], [1])
    assert str(info.value) == "argument 'data': bad\x00tail \ufffd\ufffd\ufffd"


NAMES = ["\udcff", "a\udcffb", "\ud83d\ude00", "\ud800x\udfff", "nul\x00in", "\u00e9\U0001f600", "\ud800\udc00"]


def named(qualname, **attributes):
    cls = type("Named", (), dict(attributes, __qualname__=qualname))
    return cls()


@pytest.mark.parametrize("name", NAMES)
@pytest.mark.parametrize("call, template", [
    (lambda a, x: a.add(x), "argument 'other': '{}' object cannot be converted to 'PyNDArray'"),
    (lambda a, x: a.where_(x, a), "argument 'condition': '{}' object cannot be converted to 'PyBoolArray'"),
    (lambda a, x: a.masked_fill(x, 1.0), "argument 'mask': '{}' object cannot be converted to 'PyBoolArray'"),
    (lambda a, x: PyNDArray(x, [1]), "argument 'data': '{}' object cannot be converted to 'Sequence'"),
    (lambda a, x: a.reshape(x), "argument 'new_shape': '{}' object cannot be converted to 'Sequence'"),
    (lambda a, x: PyBoolArray([True, x], [2]), "argument 'data': '{}' object cannot be converted to 'PyBool'"),
    (lambda a, x: a.get(**{x.keyword: 0}), "PyNDArray.get() got an unexpected keyword argument '{}'"),
    (lambda a, x: PyNDArray([], [0], **{x.keyword: 0}), "PyNDArray.__new__() got an unexpected keyword argument '{}'"),
    (lambda a, x: a.scale(x.raising), "argument 'scalar': {}"),
    (lambda a, x: a.slice_col(x.raising), "argument 'col': {}"),
], ids=["add", "where_", "masked_fill", "data", "new_shape", "bool-item", "get-keyword",
        "new-keyword", "wrapped-float", "wrapped-index"])
def test_names_without_utf8_form_still_give_the_message(a, call, template, name):
    def raise_named(self):
        raise TypeError(name)

    item = named(name, __float__=raise_named, __index__=raise_named)
    item.keyword = name
    item.raising = item
    assert type_error(call, a, item) == template.format(shown(name))


@pytest.mark.parametrize("name", NAMES)
def test_numpy_named_types_without_utf8_form(name):
    no_bool = type("bool_", (), {"__module__": "numpy", "__qualname__": name})()
    assert type_error(PyBoolArray, [no_bool], [1]) == (
        f"argument 'data': object of type '<class 'numpy.{shown(name)}'>' "
        "does not define a '__bool__' conversion")
    odd_result = named(name)
    returns_odd = type("bool_", (), {"__module__": "numpy", "__bool__": lambda self: odd_result})()
    assert type_error(PyBoolArray, [returns_odd], [1]) == (
        f"argument 'data': '{shown(name)}' object cannot be converted to 'PyBool'")


def test_panic_message_from_python_without_utf8_form():
    try:
        PyNDArray([], [0]).argmax()
    except BaseException as e:
        panic = type(e)

    class Raiser:
        def __float__(self):
            raise panic("x\udcff")

    with pytest.raises(BaseException) as info:
        PyNDArray([Raiser()], [1])
    assert type(info.value) is panic and info.value.args == ("x\ufffd\ufffd\ufffd",)


class QualnameMeta(type):
    """A metaclass whose classes report a __qualname__ that is not a string, or fail to."""

    def __getattribute__(cls, attribute):
        if attribute != "__qualname__":
            return super().__getattribute__(attribute)
        name = super().__getattribute__("name")
        if name is None:
            raise RuntimeError("no name")
        return name


@pytest.mark.parametrize("name", [None, 5, b"bytes"])
def test_unreadable_type_name(a, name):
    obj = QualnameMeta("Q", (), {"name": name})()
    assert type_error(a.add, obj) == (
        "argument 'other': '<failed to extract type name>' object cannot be converted to "
        "'PyNDArray'")
    # Nothing is left pending from the failed lookup.
    assert a.add(a).sum() == 30.0
