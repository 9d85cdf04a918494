"""How a failed core operation surfaces: the exception, the standard-error report, and the
exact results of the reductions at their edges."""

import functools
import math
import operator
import random
import re

import pytest
import tarnex
from helpers import bits, panic_message, run_python
from tarnex import PyNDArray


def panic_exception():
    try:
        PyNDArray([], [0]).argmax()
    except BaseException as e:
        return e


def test_panic_exception_type():
    e = panic_exception()
    cls = type(e)
    assert (cls.__module__, cls.__name__, cls.__qualname__) == ("pyo3_runtime", "PanicException", "PanicException")
    assert cls.__bases__ == (BaseException,) and not isinstance(e, Exception)
    assert cls.__doc__.startswith("\n") and "BaseException" in cls.__doc__
    assert e.args == ("argmax on empty array",) and str(e) == "argmax on empty array"
    assert type(panic_exception()) is cls  # one type for the whole process
    assert not hasattr(tarnex, "PanicException")
    with pytest.raises(BaseException) as info:
        try:
            PyNDArray([1.0], [1]).get([3])
        except Exception:
            pass  # must not catch it
    assert type(info.value) is cls


REPORT = r"\nthread '{name}' \({tid}\) panicked at src/lib/[\w/]+\.cpp:\d+:\d+:\n{message}\n"
NOTE = r"note: [^\n]*TARNEX_BACKTRACE[^\n]*\n"

TWO_FAILURES = """
    import threading, tarnex
    print(threading.get_native_id())
    a = tarnex.PyNDArray([1.0], [1])
    for index in ([5], [0, 0]):
        try:
            a.get(index)
        except BaseException as e:
            print(type(e).__name__)
"""


def test_report_and_note_once():
    rc, out, err = run_python(TWO_FAILURES)
    tid, *names = out.split()
    assert rc == 0 and names == ["PanicException"] * 2
    first = REPORT.format(name="main", tid=tid, message=re.escape(
        "index out of bounds for dimension 0: index 5, shape 1"))
    second = REPORT.format(name="main", tid=tid, message=re.escape(
        "length of the given index and shape must match."))
    assert re.fullmatch(first + NOTE + second, err), err


@pytest.mark.parametrize("value, backtrace", [("1", True), ("full", True), ("0", False)])
def test_backtrace_variable(value, backtrace):
    rc, out, err = run_python(TWO_FAILURES, TARNEX_BACKTRACE=value)
    assert rc == 0
    assert err.startswith("\nthread 'main' (")
    assert ("TARNEX_BACKTRACE" not in err) == backtrace
    assert err.count(" panicked at ") == 2
    if backtrace:  # more than the two reports of three lines each
        assert len(err.splitlines()) > 6


def test_report_from_another_thread():
    rc, out, err = run_python("""
        import threading, tarnex
        def work():
            print(threading.get_native_id())
            try:
                tarnex.PyNDArray([1.0, 2.0], [3])
            except BaseException as e:
                print(type(e).__name__)
        t = threading.Thread(target=work, name="worker")
        t.start(); t.join()
    """)
    tid, name = out.split()
    assert rc == 0 and name == "PanicException"
    expected = REPORT.format(name="<unnamed>", tid=tid, message=re.escape(
        "data length 2 does not match shape [3] (expected 3)"))
    assert re.fullmatch(expected + NOTE, err), err


RESUME = """
    import tarnex
    a = tarnex.PyNDArray([1.0, 2.0], [2])
    class Inner:
        def __index__(self):
            return int(a.get([99]))
        __float__ = __index__
    for call in (lambda: a.get([Inner()]), lambda: tarnex.PyNDArray([Inner()], [1])):
        try:
            call()
        except BaseException as e:
            print(type(e).__module__, type(e).__name__, repr(e.args))
    print(a.sum())
"""


def test_panic_raised_inside_a_conversion_is_resumed():
    rc, out, err = run_python(RESUME)
    message = "index out of bounds for dimension 0: index 99, shape 2"
    assert rc == 0
    assert out.splitlines() == [f"pyo3_runtime PanicException ('{message}',)"] * 2 + ["3.0"]
    # Each inner failure is reported once; the resumption adds the Python traceback instead.
    assert err.count(" panicked at ") == 2
    banner = ("--- PyO3 is resuming a panic after fetching a PanicException from Python. ---\n"
              "Python stack trace below:\n")
    assert err.count(banner) == 2
    for part in err.split(banner)[1:]:
        assert part.startswith("Traceback (most recent call last):\n")
        assert "in __index__" in part
        assert f"pyo3_runtime.PanicException: {message}\n" in part


@pytest.mark.parametrize("argument, message", [
    ("'custom text'", "custom text"),
    ("BadStr()", "Unwrapped panic from Python code"),
])
def test_resumed_panic_raised_by_user_code(argument, message):
    rc, out, err = run_python(f"""
        import tarnex
        try:
            tarnex.PyNDArray([], [0]).argmax()
        except BaseException as e:
            Panic = type(e)
        class BadStr:
            def __str__(self):
                raise ValueError
        class Raiser:
            def __float__(self):
                raise Panic({argument})
        try:
            tarnex.PyNDArray([Raiser()], [1])
        except BaseException as e:
            print(type(e) is Panic, repr(e.args))
    """)
    assert rc == 0 and out.strip() == f"True ({message!r},)"
    assert err.count(" panicked at ") == 1  # only the argmax above
    assert "Python stack trace below:" in err


def fold(values):
    return functools.reduce(operator.add, values, -0.0)


rng = random.Random(7)
MIXED = [rng.uniform(-1, 1) * 10 ** rng.randint(-20, 20) for _ in range(1001)]


@pytest.mark.parametrize("values, shape, expected", [
    ([], [0], -0.0),
    ([], [3, 0], -0.0),
    ([0.0], [1], 0.0),
    ([-0.0], [1], -0.0),
    ([-0.0, -0.0], [2], -0.0),
    ([3.5], [], 3.5),
    ([1e16, 1.0, -1e16], [3], 0.0),
    ([1e16, -1e16, 1.0], [3], 1.0),
    ([1.0] + [1e-16] * 4096, [4097], 1.0),
    ([math.inf, 1.0], [2], math.inf),
    ([1e308, 1e308, -1e308], [3], math.inf),
    ([math.inf, -math.inf, 1.0], [3], math.inf - math.inf),
    ([1.0, math.nan], [2], math.nan),
    (MIXED, [7, 11, 13], fold(MIXED)),
])
def test_sum_is_a_left_to_right_fold(values, shape, expected):
    assert bits(PyNDArray(values, shape).sum()) == bits(expected) == bits(fold(values))


@pytest.mark.parametrize("values, shape, expected", [
    ([], [0], 0.0),
    ([], [2, 0, 2], 0.0),
    ([-0.0], [1], -0.0),
    ([1.0, 2.0, 3.0, 4.0], [2, 2], 2.5),
    ([1e308, 1e308], [2], math.inf),
    ([1.0] + [1e-16] * 4096, [4097], 1.0 / 4097),
    ([1.0, math.nan], [2], math.nan / 2),
    (MIXED, [1001], fold(MIXED) / 1001),
])
def test_mean_divides_the_fold(values, shape, expected):
    assert bits(PyNDArray(values, shape).mean()) == bits(expected)


@pytest.mark.parametrize("values, shape, expected", [
    ([1.0, 3.0, 3.0, 2.0], [2, 2], 1),
    ([math.nan, 5.0], [2], 0),
    ([1.0, math.nan, 0.5], [3], 0),
    ([1.0, math.nan, 2.0], [3], 2),
    ([-0.0, 0.0], [2], 0),
    ([0.0, -0.0], [2], 0),
    ([-math.inf], [], 0),
    ([-math.inf, -math.inf, -1e308], [3], 2),
    ([0.0] * 5 + [1.0] + [0.0] * 6, [2, 3, 2], 5),
    (MIXED, [1001], max(range(1001), key=lambda i: (MIXED[i], -i))),
])
def test_argmax_first_strict_maximum(values, shape, expected):
    result = PyNDArray(values, shape).argmax()
    assert type(result) is int and result == expected


@pytest.mark.parametrize("shape", [[0], [2, 0], [0, 0, 0]])
def test_argmax_of_empty_array(shape):
    assert panic_message(PyNDArray([], shape).argmax) == "argmax on empty array"
