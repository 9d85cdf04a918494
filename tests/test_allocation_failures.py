"""Every allocation of every call, made to fail in turn.

Runs only against the allocation-failure test build (CMake option TARNEX_ALLOCATION_FAULTS),
which exports a control function: tarnex_test_fail_allocation(n) makes the n-th allocation
of the extension from now on fail (0 only counts, -1 stops counting) and returns how many
allocations were made since it was last called. For each call below the allocations are
first counted; then each one in turn is refused, and the call must raise MemoryError (or,
where the refused room was only a size hint, still give the normal result), leave every
operand as it was and borrowed by nobody. tests/run_allocation_failures.sh runs this
module under the leak checker, which shows that nothing leaks on any of these paths.
"""
import ctypes
import os
import struct

import pytest

import tarnex
from helpers import panic_message

try:
    _library = ctypes.CDLL(tarnex.__file__)
    _control = _library.tarnex_test_fail_allocation
    _control_from = _library.tarnex_test_fail_allocations_from
except AttributeError:
    if os.environ.get("TARNEX_ALLOCATION_FAULTS_REQUIRED") == "1":
        raise RuntimeError(f"{tarnex.__file__} is not the allocation-failure test build")
    pytest.skip("not the allocation-failure test build", allow_module_level=True)
for _function in (_control, _control_from):
    _function.argtypes = [ctypes.c_long]
    _function.restype = ctypes.c_long

F, B = tarnex.PyNDArray, tarnex.PyBoolArray


def arm(n, and_later=False):
    return (_control_from if and_later else _control)(n)


def floats(n, start=0.0):
    return [start + 0.5 * i for i in range(n)]


def deep(values, extents):
    """An array of more than six dimensions, whose shape lists no longer fit inline."""
    return F(values, [1] * (7 - len(extents)) + extents)


def state(obj):
    """The complete visible state of an array: its shape and the bits of every element."""
    shape = obj.shape()
    if isinstance(obj, B):
        return shape, None
    count = 1
    for e in shape:
        count *= e
    flat = obj.reshape([count]) if shape != [count] else obj
    return shape, b"".join(struct.pack("<d", flat.get([i])) for i in range(count))


def bool_state(obj, like):
    """A boolean array's elements, read through a selection against an array `like`."""
    return state(like.boolean_mask(obj))


# Each case: a function that builds fresh operands, and the call made on them. Operands are
# checked after every refused allocation; the call's normal outcome is computed once without
# refusals.
def mat(n, shape, start=0.0):
    return lambda: [F(floats(n, start), shape)]


def pair(x, y):
    return lambda: x() + y()


def mask(values, shape):
    return lambda: [B(values, shape)]


NONE = list
CASES = {
    "PyNDArray": (NONE, lambda: F(floats(6), [2, 3])),
    "PyNDArray-deep": (NONE, lambda: deep(floats(6), [2, 3])),
    "PyNDArray-mismatch": (NONE, lambda: F(floats(5), [2, 3])),
    "PyBoolArray": (NONE, lambda: B([True, False, True, True], [2, 2])),
    "PyBoolArray-deep": (NONE, lambda: B([True, False], [1] * 6 + [2])),
    "get": (mat(6, [2, 3]), lambda a: a.get([1, 2])),
    "get-out-of-bounds": (mat(6, [2, 3]), lambda a: a.get([1, 3])),
    "shape": (mat(6, [2, 3]), lambda a: a.shape()),
    "shape-deep": (lambda: [deep(floats(6), [2, 3])], lambda a: a.shape()),
    "PyBoolArray.shape": (mask([True, False], [2]), lambda m: m.shape()),
    "sum": (mat(6, [2, 3]), lambda a: a.sum()),
    "mean": (mat(6, [2, 3]), lambda a: a.mean()),
    "argmax": (mat(6, [2, 3]), lambda a: a.argmax()),
    "argmax-empty": (mat(0, [0]), lambda a: a.argmax()),
    "relu": (mat(6, [2, 3], -1.0), lambda a: a.relu()),
    "relu-pooled": (mat(40000, [40000], -1.0), lambda a: a.relu()),
    "sigmoid": (mat(6, [2, 3]), lambda a: a.sigmoid()),
    "softmax": (mat(6, [2, 3]), lambda a: a.softmax()),
    "cumsum": (mat(6, [2, 3]), lambda a: a.cumsum()),
    "cumsum-deep": (lambda: [deep(floats(6), [2, 3])], lambda a: a.cumsum()),
    "transpose": (mat(6, [2, 3]), lambda a: a.transpose()),
    "transpose-3d": (mat(6, [1, 2, 3]), lambda a: a.transpose()),
    "scale": (mat(6, [2, 3]), lambda a: a.scale(2.0)),
    "scale-deep": (lambda: [deep(floats(6), [2, 3])], lambda a: a.scale(2.0)),
    "add": (pair(mat(6, [2, 3]), mat(6, [2, 3], 1.0)), lambda a, b: a.add(b)),
    "add-pooled": (pair(mat(40000, [40000]), mat(40000, [40000], 1.0)), lambda a, b: a.add(b)),
    "add-mismatch": (pair(mat(6, [2, 3]), mat(6, [3, 2])), lambda a, b: a.add(b)),
    "mul": (pair(mat(6, [2, 3]), mat(6, [2, 3], 1.0)), lambda a, b: a.mul(b)),
    "mul-self": (mat(6, [2, 3]), lambda a: a.mul(a)),
    "matmul": (pair(mat(6, [2, 3]), mat(12, [3, 4])), lambda a, b: a.matmul(b)),
    "matmul-blocked": (pair(mat(2700, [9, 300]), mat(1500, [300, 5])), lambda a, b: a.matmul(b)),
    "matmul-mismatch": (pair(mat(6, [2, 3]), mat(6, [2, 3])), lambda a, b: a.matmul(b)),
    "matmul_blas": (mat(4, [2, 2]), lambda a: a.matmul_blas(a)),
    "boolean_mask": (pair(mat(4, [2, 2]), mask([True, False, True, True], [2, 2])),
                     lambda a, m: a.boolean_mask(m)),
    "boolean_mask-mismatch": (pair(mat(4, [2, 2]), mask([True] * 4, [4])),
                              lambda a, m: a.boolean_mask(m)),
    "masked_fill": (pair(mat(4, [2, 2]), mask([True, False, True, True], [2, 2])),
                    lambda a, m: a.masked_fill(m, 7.0)),
    "masked_fill-mismatch": (pair(mat(4, [2, 2]), mask([True] * 4, [4])),
                             lambda a, m: a.masked_fill(m, 7.0)),
    "where_": (pair(pair(mat(4, [2, 2]), mask([True, False, True, False], [2, 2])),
                    mat(4, [2, 2], 9.0)), lambda a, c, b: a.where_(c, b)),
    "where_-mismatch": (pair(pair(mat(4, [2, 2]), mask([True] * 4, [2, 2])), mat(4, [4])),
                        lambda a, c, b: a.where_(c, b)),
    "fancy_index": (mat(4, [4]), lambda a: a.fancy_index([3, 0, 3])),
    "fancy_index-out-of-bounds": (mat(4, [4]), lambda a: a.fancy_index([1, 4])),
    "slice_row": (mat(6, [2, 3]), lambda a: a.slice_row(1)),
    "slice_col": (mat(6, [2, 3]), lambda a: a.slice_col(2)),
    "slice_col-out-of-bounds": (mat(6, [2, 3]), lambda a: a.slice_col(3)),
    "slice_range": (mat(8, [2, 4]), lambda a: a.slice_range(1, 1, 4)),
    "slice_range-deep": (lambda: [deep(floats(8), [2, 4])], lambda a: a.slice_range(6, 1, 3)),
    "reshape": (mat(6, [2, 3]), lambda a: a.reshape([3, 2])),
    "reshape-deep": (mat(6, [2, 3]), lambda a: a.reshape([1] * 6 + [6])),
    "reshape-mismatch": (mat(6, [2, 3]), lambda a: a.reshape([4, 2])),
    "gather": (mat(6, [3, 2]), lambda a: a.gather(0, [2, 0, 2, 1])),
    "gather-out-of-bounds": (mat(6, [3, 2]), lambda a: a.gather(1, [0, 2])),
    "set_slice": (mat(8, [2, 4]), lambda a: a.set_slice(1, 1, 3, 9.0)),
    "set_slice-deep": (lambda: [deep(floats(8), [2, 4])], lambda a: a.set_slice(6, 0, 4, 9.0)),
    "set_slice-invalid": (mat(8, [2, 4]), lambda a: a.set_slice(1, 3, 3, 9.0)),
}


def build(name):
    make_operands, fn = CASES[name]
    operands = make_operands()
    return operands, lambda: fn(*operands)

def outcome(call, refuse=0, and_later=False):
    """Runs call with allocation `refuse` (and with `and_later` every later one) refused,
    none for 0, counting its allocations.

    Returns ((kind, detail), allocations made): kind is "ok" with the state of the result,
    or the name of the exception raised with its message.
    """
    arm(refuse, and_later)
    try:
        result = call()
    except MemoryError as e:
        return ("MemoryError", str(e)), arm(-1)
    except BaseException as e:  # PanicException derives from BaseException
        made = arm(-1)
        if type(e).__name__ != "PanicException":
            raise
        return ("PanicException", e.args[0]), made
    made = arm(-1)
    if isinstance(result, (F, B)):
        return ("ok", (type(result).__name__, result.shape(),
                       state(result)[1] if isinstance(result, F) else None)), made
    return ("ok", repr(result)), made


def operand_states(operands):
    return [state(o) if isinstance(o, F) else bool_state(o, F(floats(len_of(o)), o.shape()))
            for o in operands] if operands else []


def len_of(mask):
    n = 1
    for e in mask.shape():
        n *= e
    return n


def assert_free(operands):
    """Every float operand can be borrowed exclusively again; boolean arrays, which are only
    ever borrowed shared, can still be used."""
    for o in operands:
        if isinstance(o, F):
            if o.shape() and o.shape()[0] > 0:
                o.set_slice(0, 0, 1, 1.0)
            else:
                o.masked_fill(B([True] * len_of(o), o.shape()), 1.0)
        else:
            F([0.0] * len_of(o), o.shape()).boolean_mask(o)


@pytest.fixture(scope="module", autouse=True)
def started_pool():
    # The worker pool starts on first use, once per process; its allocations are not part of
    # any one call.
    F([1.0], [1]).add(F([1.0], [1]))
    F(floats(40000), [40000]).relu()
    yield
    arm(-1)


WALKED = {}


@pytest.mark.parametrize("and_later", [False, True], ids=["one", "all-later"])
@pytest.mark.parametrize("name", sorted(CASES))
def test_every_refused_allocation_is_a_clean_memory_error(name, and_later):
    operands, call = build(name)
    expected, total = outcome(call)
    operands, call = build(name)
    assert outcome(call) == (expected, total), "the call's allocations differ between runs"
    absorbed = 0
    for n in range(1, total + 1):
        operands, call = build(name)
        before = operand_states(operands)
        got, made = outcome(call, refuse=n, and_later=and_later)
        assert made >= n, f"allocation {n} of {total} was never made"
        if got != expected or and_later:
            assert got[0] == "MemoryError", f"allocation {n} of {total}: {got}"
        else:
            # Only room asked for on a size hint may be refused without failing the call:
            # the list then grows as it is filled.
            absorbed += 1
        assert operand_states(operands) == before, f"allocation {n} changed an operand"
        assert_free(operands)
    WALKED[name, and_later] = (total, absorbed)


def test_refusals_are_counted_per_call():
    a = F(floats(6), [2, 3])
    arm(0)
    a.sum()
    assert arm(-1) == 0  # reads allocate nothing
    arm(0)
    a.relu()
    made = arm(-1)
    assert made >= 1
    arm(1)
    with pytest.raises(MemoryError):
        a.relu()
    arm(-1)
    assert panic_message(a.add, F(floats(6), [3, 2])) == \
        "shape mismatch for addition: [2, 3] vs [3, 2]"


def test_report_walked_sites(capsys):
    # Not a check: prints the number of calls and allocation sites walked (run with -s).
    if WALKED:
        with capsys.disabled():
            sites = sum(t for t, _ in WALKED.values())
            absorbed = sum(a for _, a in WALKED.values())
            print(f"\nallocation failures: {len(WALKED)} walks, {sites} allocations refused, "
                  f"{absorbed} of them absorbed as lost size hints")
            for (name, later), (total, kept) in sorted(WALKED.items()):
                if not later:
                    print(f"  {name}: {total} allocations, {kept} absorbed")
