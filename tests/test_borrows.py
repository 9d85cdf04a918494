"""Borrows of arrays while Python code runs inside a call, and their release after failures."""

import sys

import pytest
from tarnex import PyBoolArray, PyNDArray

class Calls:
    """Runs `action` when converted to a float or an index, returning `result`."""

    def __init__(self, action, result=0):
        self.action, self.result, self.seen = action, result, None

    def __index__(self):
        self.seen = self.action()
        return self.result

    def __float__(self):
        self.seen = self.action()
        return float(self.result)


def test_shared_borrows_nest_during_get():
    a = PyNDArray([1.0, 2.0, 3.0, 4.0], [2, 2])
    inner = [Calls(a.sum, 1), Calls(lambda: a.get([Calls(a.mean, 0), 1]), 1)]
    assert a.get(inner) == 4.0
    assert inner[0].seen == 10.0 and inner[1].seen == 2.0


def test_reading_during_an_exclusive_borrow_fails():
    a = PyNDArray([1.0, 2.0, 3.0, 4.0], [2, 2])
    value = Calls(a.sum, 9)
    with pytest.raises(RuntimeError) as info:
        a.set_slice(0, 0, 1, value)
    assert type(info.value) is RuntimeError and str(info.value) == "Already mutably borrowed"
    assert [a.get([0, 0]), a.sum()] == [1.0, 10.0]


def test_writing_during_a_shared_borrow_fails():
    a = PyNDArray([1.0, 2.0, 3.0, 4.0], [2, 2])
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        a.get([Calls(lambda: a.set_slice(0, 0, 1, 5.0)), 0])
    assert a.sum() == 10.0


def test_caught_conflict_lets_the_outer_call_finish():
    a = PyNDArray([1.0, 2.0, 3.0, 4.0], [2, 2])

    def try_sum():
        try:
            return a.sum()
        except RuntimeError as e:
            return str(e)

    value = Calls(try_sum, 7)
    assert a.set_slice(0, 0, 1, value) is None
    assert value.seen == "Already mutably borrowed"
    assert a.sum() == 21.0


def test_array_argument_conflicts():
    a = PyNDArray([1.0, 2.0], [2])
    mask = PyBoolArray([True, False], [2])
    # The mask is only read: converting the value may read it too.
    assert a.masked_fill(mask, Calls(mask.shape, 3)) is None
    # The receiver is written: another array may not take it as an argument meanwhile.
    with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
        a.masked_fill(mask, Calls(lambda: PyNDArray([0.0, 0.0], [2]).add(a)))
    assert [a.get([0]), a.get([1])] == [3.0, 2.0]


def failing_calls(a):
    return [
        lambda: a.get([5, 0]),
        lambda: a.get([0]),
        lambda: a.get("x"),
        lambda: a.get([0, -1]),
        lambda: a.get([Calls(lambda: 1 / 0), 0]),
        lambda: a.get([Calls(lambda: a.get([9])), 0]),
        lambda: a.get(),
        lambda: a.sum(1),
        lambda: PyNDArray([], [0]).argmax(),
    ]


@pytest.mark.parametrize("which", range(len(failing_calls(None))))
def test_array_usable_after_failed_call(which):
    a = PyNDArray([1.0, 2.0, 3.0, 4.0], [2, 2])
    refs = sys.getrefcount(a)
    with pytest.raises(BaseException):
        failing_calls(a)[which]()
    assert sys.getrefcount(a) == refs  # no reference left behind by a borrow
    assert a.sum() == 10.0 and a.get([1, 1]) == 4.0
    a.set_slice(0, 0, 1, 0.0)  # an exclusive borrow succeeds only with no borrow left
    assert a.sum() == 7.0
