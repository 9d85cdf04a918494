"""Element-wise arithmetic, the activations and the running sum, checked bit for bit."""

import math
import struct

import pytest
from helpers import bits, panic_message, values
from tarnex import PyBoolArray, PyNDArray

INF = math.inf
NAN = math.nan


def same_bits(got, expected):
    return [bits(x) for x in got] == [bits(float(x)) for x in expected]


def assert_array(a, expected_values, expected_shape):
    assert a.shape() == expected_shape
    got = values(a)
    assert same_bits(got, expected_values), (got, expected_values)


def nan_positions(xs):
    return [i for i, x in enumerate(xs) if math.isnan(x)]


# ------------------------------------------------------------------ add, mul, scale

A6 = [1.0, 2.0, 3.0, 4.0, 5.0, 6.0]
B6 = [10.0, 20.0, 30.0, 40.0, 50.0, 60.0]


@pytest.mark.parametrize("op, a, b, shape, expected", [
    ("add", A6, B6, [2, 3], [11, 22, 33, 44, 55, 66]),
    ("mul", A6, B6, [2, 3], [10, 40, 90, 160, 250, 360]),
    ("add", [2.5], [-1.0], [], [1.5]),
    ("mul", [3.0], [-0.0], [], [-0.0]),
    ("add", [], [], [0], []),
    ("mul", [], [], [2, 0], []),
    ("add", [-0.0, -0.0, 0.0], [-0.0, 0.0, -0.0], [3], [-0.0, 0.0, 0.0]),
    ("add", [INF, INF, 1.0], [-INF, INF, 1e308], [3], [NAN, INF, 1e308]),
    ("mul", [0.0, -2.0, 1e200], [INF, INF, 1e200], [3], [NAN, -INF, INF]),
])
def test_binary_values(op, a, b, shape, expected):
    x, y = PyNDArray(a, shape), PyNDArray(b, shape)
    got = values(getattr(x, op)(y))
    assert nan_positions(got) == nan_positions(expected)
    assert same_bits([g for g in got if not math.isnan(g)], [e for e in expected if not math.isnan(e)])
    assert getattr(x, op)(y).shape() == shape


@pytest.mark.parametrize("op", ["add", "mul"])
def test_nan_stays_at_its_position(op):
    x = PyNDArray([1.0, NAN, 3.0, 4.0], [4])
    y = PyNDArray([1.0, 2.0, 3.0, NAN], [4])
    assert nan_positions(values(getattr(x, op)(y))) == [1, 3]


def test_operand_with_itself():
    a = PyNDArray(A6, [3, 2])
    assert_array(a.add(a), [2 * v for v in A6], [3, 2])
    assert_array(a.mul(other=a), [v * v for v in A6], [3, 2])


@pytest.mark.parametrize("op, word, sa, sb", [
    ("add", "addition", [2, 3], [3, 2]),
    ("mul", "multiplication", [6], [2, 3]),
    ("add", "addition", [], [1]),
    ("mul", "multiplication", [1], []),
    ("add", "addition", [2, 0], [0, 2]),
    ("mul", "multiplication", [0], [0, 0]),
    ("add", "addition", [1, 6], [6]),
])
def test_shape_mismatch(op, word, sa, sb):
    a = PyNDArray([1.0] * math.prod(sa), sa)
    b = PyNDArray([2.0] * math.prod(sb), sb)
    msg = panic_message(getattr(a, op), b)
    assert msg == f"shape mismatch for {word}: {format_shape(sa)} vs {format_shape(sb)}"
    # Operands unchanged and usable.
    assert_array(a, [1.0] * math.prod(sa), sa)
    assert_array(b, [2.0] * math.prod(sb), sb)
    assert_array(getattr(a, op)(a), [2.0 if op == "add" else 1.0] * math.prod(sa), sa)


def format_shape(shape):
    return "[" + ", ".join(str(n) for n in shape) + "]"


@pytest.mark.parametrize("scalar, data, expected", [
    (-0.0, [1.0, -2.0], [-0.0, 0.0]),
    (0.0, [1.0, -2.0, INF], [0.0, -0.0, NAN]),
    (1.0, [1.5, -0.0, INF], [1.5, -0.0, INF]),
    (NAN, [1.0, 0.0], [NAN, NAN]),
    (2, [0.25], [0.5]),
    (True, [3.5], [3.5]),
    (1e308, [10.0, -10.0], [INF, -INF]),
])
def test_scale(scalar, data, expected):
    got = values(PyNDArray(data, [len(data)]).scale(scalar))
    assert nan_positions(got) == nan_positions(expected)
    assert same_bits([g for g in got if not math.isnan(g)], [e for e in expected if not math.isnan(e)])


def test_scale_keeps_shape_and_handles_empty():
    assert_array(PyNDArray([], [3, 0]).scale(5.0), [], [3, 0])
    assert_array(PyNDArray([2.0], []).scale(scalar=-1.5), [-3.0], [])


class Floaty:
    def __float__(self):
        return 0.5


def test_scale_converts_with_float_protocol():
    assert_array(PyNDArray([4.0], [1]).scale(Floaty()), [2.0], [1])


@pytest.mark.parametrize("bad, message", [
    ("2", "argument 'scalar': must be real number, not str"),
    (None, "argument 'scalar': must be real number, not NoneType"),
    ([1.0], "argument 'scalar': must be real number, not list"),
])
def test_scale_argument_errors(bad, message):
    a = PyNDArray([1.0], [1])
    with pytest.raises(TypeError) as info:
        a.scale(bad)
    assert type(info.value) is TypeError and str(info.value) == message


@pytest.mark.parametrize("op", ["add", "mul"])
@pytest.mark.parametrize("bad, type_name", [
    ([1.0], "list"),
    (PyBoolArray([True], [1]), "PyBoolArray"),
    (1.0, "float"),
])
def test_other_must_be_a_float_array(op, bad, type_name):
    a = PyNDArray([1.0], [1])
    with pytest.raises(TypeError) as info:
        getattr(a, op)(bad)
    assert str(info.value) == (
        f"argument 'other': '{type_name}' object cannot be converted to 'PyNDArray'")


@pytest.mark.parametrize("call, message", [
    (lambda a: a.add(), "PyNDArray.add() missing 1 required positional argument: 'other'"),
    (lambda a: a.mul(a, a), "PyNDArray.mul() takes 1 positional arguments but 2 were given"),
    (lambda a: a.scale(factor=2.0), "PyNDArray.scale() got an unexpected keyword argument 'factor'"),
    (lambda a: a.add(a, other=a), "PyNDArray.add() got multiple values for argument 'other'"),
])
def test_argument_matching(call, message):
    with pytest.raises(TypeError) as info:
        call(PyNDArray([1.0], [1]))
    assert str(info.value) == message


def test_argument_error_comes_before_shape_check():
    # A wrong `other` is reported even though the shapes could never match.
    with pytest.raises(TypeError):
        PyNDArray([1.0, 2.0], [2]).add(PyBoolArray([True], [1]))


# ------------------------------------------------------------------ activations

def test_relu():
    a = PyNDArray([-1.0, 0.0, 2.5, NAN, -0.0, INF, -INF], [7])
    assert_array(a.relu(), [0.0, 0.0, 2.5, 0.0, 0.0, INF, 0.0], [7])


def test_relu_keeps_shape():
    assert_array(PyNDArray([-1.0, 2.0, -3.0, 4.0], [2, 1, 2]).relu(), [0.0, 2.0, 0.0, 4.0], [2, 1, 2])
    assert_array(PyNDArray([], [0, 4]).relu(), [], [0, 4])
    assert_array(PyNDArray([-5e-324], []).relu(), [0.0], [])


@pytest.mark.parametrize("x, expected", [
    (0.0, 0.5), (-0.0, 0.5), (-1000.0, 0.0), (-INF, 0.0), (1000.0, 1.0), (40.0, 1.0),
    (INF, 1.0), (-710.0, 0.0),
])
def test_sigmoid_special_values(x, expected):
    assert same_bits(values(PyNDArray([x], [1]).sigmoid()), [expected])


@pytest.mark.parametrize("x", [-700.0, -20.0, -1.0, -1e-300, 1e-300, 0.3, 1.0, 2.0, 36.0, 37.0, 700.0])
def test_sigmoid_operation_order(x):
    t = math.exp(-x)
    assert same_bits(values(PyNDArray([x], [1]).sigmoid()), [1.0 / (t + 1.0)])


def test_sigmoid_nan_and_shape():
    out = PyNDArray([NAN, 1.0, 2.0, 3.0], [2, 2]).sigmoid()
    assert out.shape() == [2, 2]
    assert nan_positions(values(out)) == [0]
    assert_array(PyNDArray([], [0]).sigmoid(), [], [0])


def reference_softmax(xs):
    exps = [math.exp(x) for x in xs]
    s = -0.0
    for e in exps:
        s = s + e
    return [e / s for e in exps]


@pytest.mark.parametrize("data, shape", [
    ([0.0, 0.0, 0.0, 0.0], [4]),
    ([0.0, 0.0, 0.0, 0.0], [2, 2]),
    ([3.0], [1]),
    ([3.0], []),
    ([0.1, 0.2, 0.7, -3.0, 5.5, 1e-3, 2.0], [7]),
    ([-700.0, -701.0, 600.0, 1.0], [2, 2]),
    ([float(i) / 7 for i in range(100)], [10, 10]),
])
def test_softmax_matches_the_fixed_order(data, shape):
    assert_array(PyNDArray(data, shape).softmax(), reference_softmax(data), shape)


def test_softmax_is_one_distribution_over_all_elements():
    out = values(PyNDArray([1.0, 2.0, 3.0, 4.0], [2, 2]).softmax())
    assert abs(math.fsum(out) - 1.0) < 1e-15
    assert abs(out[0] + out[1] - 1.0) > 0.5  # rows are not normalised separately


@pytest.mark.parametrize("data, expected_nan, expected_rest", [
    ([1000.0, 0.0], [0], [0.0]),
    ([-1000.0, -1000.0], [0, 1], []),
    ([1.0, NAN], [0, 1], []),
])
def test_softmax_overflow_underflow_nan(data, expected_nan, expected_rest):
    out = values(PyNDArray(data, [len(data)]).softmax())
    assert nan_positions(out) == expected_nan
    assert same_bits([x for x in out if not math.isnan(x)], expected_rest)


def test_softmax_empty():
    assert_array(PyNDArray([], [2, 0]).softmax(), [], [2, 0])


# ------------------------------------------------------------------ cumsum

@pytest.mark.parametrize("data, shape, expected", [
    ([1.0, 2.0, 3.0, 4.0], [2, 2], [1.0, 3.0, 6.0, 10.0]),
    ([5.0], [], [5.0]),
    ([], [2, 0], []),
    ([], [0], []),
    ([-0.0], [1], [0.0]),
    ([-0.0, -0.0], [2], [0.0, 0.0]),
    ([1.0, NAN, 2.0], [3], [1.0, NAN, NAN]),
    ([INF, -INF], [2], [INF, NAN]),
    ([1e16, 1.0, -1e16, 1.0], [2, 1, 2], [1e16, 1e16, 0.0, 1.0]),
])
def test_cumsum(data, shape, expected):
    out = PyNDArray(data, shape).cumsum()
    assert out.shape() == [len(expected)]
    got = values(out)
    assert nan_positions(got) == nan_positions(expected)
    assert same_bits([g for g in got if not math.isnan(g)], [e for e in expected if not math.isnan(e)])


def test_cumsum_follows_row_major_order():
    data = [0.1 * i for i in range(24)]
    total, expected = 0.0, []
    for x in data:
        total = total + x
        expected.append(total)
    assert_array(PyNDArray(data, [2, 3, 4]).cumsum(), expected, [24])


# ------------------------------------------------------------------ all methods together

UNARY = ["relu", "sigmoid", "softmax", "cumsum"]


@pytest.mark.parametrize("method", UNARY)
def test_methods_without_parameters_take_none(method):
    a = PyNDArray([1.0], [1])
    with pytest.raises(TypeError):
        getattr(a, method)(1)
    with pytest.raises(TypeError):
        getattr(a, method)(x=1)


CALLS = [
    ("add", lambda a, b: a.add(b)),
    ("mul", lambda a, b: a.mul(b)),
    ("scale", lambda a, b: a.scale(-2.0)),
    ("relu", lambda a, b: a.relu()),
    ("sigmoid", lambda a, b: a.sigmoid()),
    ("softmax", lambda a, b: a.softmax()),
    ("cumsum", lambda a, b: a.cumsum()),
]


@pytest.mark.parametrize("name, call", CALLS, ids=[c[0] for c in CALLS])
@pytest.mark.parametrize("n", [1, 5, 40000])
def test_operands_unchanged_and_result_is_new(name, call, n):
    data = [(-1.0) ** i * (i % 13) * 0.25 for i in range(n)]
    other = [0.5 + (i % 7) for i in range(n)]
    a, b = PyNDArray(data, [n]), PyNDArray(other, [n])
    out = call(a, b)
    assert out is not a and out is not b and type(out) is PyNDArray
    assert same_bits(values(a), data) and same_bits(values(b), other)
    if hasattr(out, "set_slice"):  # writing into the result leaves the operands alone
        out.set_slice(0, 0, out.shape()[0], 123.0)
        assert values(out) == [123.0] * out.shape()[0]
        assert same_bits(values(a), data) and same_bits(values(b), other)


@pytest.mark.parametrize("n", [32767, 32768, 100003, 1 << 20 | 3])
def test_large_arrays_match_python_arithmetic(n):
    # Sizes on both sides of the hand-off to the pool, and one output large enough for
    # huge pages.
    xs = [((i * 7919) % 2001 - 1000) / 8.0 for i in range(n)]
    ys = [((i * 104729) % 1999 - 999) / 16.0 for i in range(n)]
    xs[n // 2] = -0.0
    ys[n - 1] = NAN
    a, b = PyNDArray(xs, [n]), PyNDArray(ys, [n])
    step = 1 if n < 200000 else 97  # read a spread sample of the biggest one
    picks = list(range(0, n, step)) + [n - 3, n - 2, n - 1]

    def check(out, f):
        got = [out.get([i]) for i in picks]
        want = [f(i) for i in picks]
        assert nan_positions(got) == nan_positions(want)
        assert same_bits([g for g in got if not math.isnan(g)], [w for w in want if not math.isnan(w)])

    check(a.add(b), lambda i: xs[i] + ys[i])
    check(a.mul(b), lambda i: xs[i] * ys[i])
    check(a.scale(-0.75), lambda i: xs[i] * -0.75)
    check(a.relu(), lambda i: xs[i] if xs[i] > 0.0 else 0.0)
