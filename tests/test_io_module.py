"""tarnex_io as a module: its surface, its borrows of tarnex arrays, what it leaves behind,
and its refusal of a tarnex of another build."""

import inspect
import os
import re
import shutil
import subprocess
import sys

import pytest
import tarnex
from tarnex import PyBoolArray, PyNDArray

import tarnex_io
from helpers import panic_message, run_python

FUNCTIONS = {
    "to_list": ("a",), "to_bytes": ("a",), "to_numpy": ("a",),
    "from_bytes": ("data", "shape"), "bools_from_bytes": ("data", "shape"),
    "greater": ("a", "b", "out"), "greater_equal": ("a", "b", "out"),
    "less": ("a", "b", "out"), "less_equal": ("a", "b", "out"), "equal": ("a", "b", "out"),
    "not_equal": ("a", "b", "out"), "isnan": ("a", "out"), "logical_not": ("m", "out"),
    "logical_and": ("m1", "m2", "out"), "logical_or": ("m1", "m2", "out"),
    **{name: ("a", "b", "out") for name in
       ("add", "subtract", "multiply", "divide", "maximum", "minimum")},
    **{name: ("x", "out") for name in
       ("negative", "abs", "square", "sqrt", "exp", "log", "tanh")},
    "clip": ("a", "lo", "hi", "out"), "where": ("condition", "a", "b", "out"),
    "instruction_set": (), "build_info": (),
    **{name: ("a", "axis", "keepdims") for name in ("sum", "mean", "max", "min", "argmax",
                                                   "argmin", "logsumexp")},
    "softmax": ("a", "axis"), "log_softmax": ("a", "axis"),
}
LEVELS = {"baseline", "avx2", "avx512"}


def test_functions_and_their_signatures():
    names = [n for n in dir(tarnex_io) if not n.startswith("_")]
    assert set(FUNCTIONS) <= set(names)
    for name in names:  # every function documents its signature for editors and help()
        assert getattr(tarnex_io, name).__doc__, name
        inspect.signature(getattr(tarnex_io, name))
    for name, params in FUNCTIONS.items():
        assert tuple(inspect.signature(getattr(tarnex_io, name)).parameters) == params, name
    assert tarnex_io.__file__.endswith("tarnex_io.abi3.so")


def test_tarnex_itself_is_unchanged_by_the_companion():
    assert [n for n in dir(tarnex) if not n.startswith("_")] == ["PyBoolArray", "PyNDArray"]
    assert tarnex.__all__ == ["PyNDArray", "PyBoolArray"]


@pytest.mark.skipif(shutil.which("nm") is None, reason="needs nm")
@pytest.mark.parametrize("module, entry", [(tarnex, "PyInit_tarnex"),
                                           (tarnex_io, "PyInit_tarnex_io")])
def test_each_module_exports_only_its_entry_point(module, entry):
    out = subprocess.run(["nm", "-D", "--defined-only", module.__file__], capture_output=True,
                         text=True, check=True).stdout
    assert [line.split()[-1] for line in out.splitlines()] == [entry]


def test_build_info_and_instruction_set():
    info = tarnex_io.build_info()
    assert info["instruction_set"] == tarnex_io.instruction_set() in LEVELS
    assert info["detected_instruction_set"] in LEVELS and info["build_cap"] in LEVELS
    order = ["baseline", "avx2", "avx512"]
    assert order.index(info["instruction_set"]) == min(order.index(info["build_cap"]),
                                                       order.index(info["detected_instruction_set"]))
    assert isinstance(info["compiler"], str) and info["compiler"]


# --- borrows ---------------------------------------------------------------------------------

class Calls:
    """Runs `action` when converted to a float, returning `result`."""

    def __init__(self, action, result=0.0):
        self.action, self.result, self.seen = action, result, None

    def __float__(self):
        self.seen = self.action()
        return float(self.result)


READERS = [
    lambda a: tarnex_io.to_list(a), lambda a: tarnex_io.to_bytes(a),
    lambda a: tarnex_io.greater(a, 0.0), lambda a: tarnex_io.isnan(a),
    lambda a: tarnex_io.equal(PyNDArray([0.0, 0.0, 0.0, 0.0], [2, 2]), a),
]


@pytest.mark.parametrize("reader", READERS)
def test_reading_an_array_that_set_slice_is_writing_fails(reader):
    a = PyNDArray([1.0, 2.0, 3.0, 4.0], [2, 2])
    value = Calls(lambda: reader(a), 9.0)
    with pytest.raises(RuntimeError) as info:
        a.set_slice(0, 0, 1, value)
    assert type(info.value) is RuntimeError and str(info.value) == "Already mutably borrowed"
    assert tarnex_io.to_list(a) == [1.0, 2.0, 3.0, 4.0]


def test_to_numpy_of_an_array_being_written_fails():
    pytest.importorskip("numpy")
    a = PyNDArray([1.0, 2.0], [2])
    with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
        a.set_slice(0, 0, 1, Calls(lambda: tarnex_io.to_numpy(a)))


def test_writing_an_array_the_companion_is_reading_fails():
    a = PyNDArray([1.0, -2.0], [2])
    b = Calls(lambda: a.set_slice(0, 0, 1, 5.0))
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        tarnex_io.greater(a, b)
    assert tarnex_io.to_list(a) == [1.0, -2.0]


def test_shared_borrows_nest():
    a = PyNDArray([1.0, -2.0], [2])
    b = Calls(lambda: tarnex_io.to_list(tarnex_io.less(a, a.sum())), 0.0)
    assert tarnex_io.to_list(tarnex_io.greater(a, b)) == [True, False]
    assert b.seen == [False, True]


def test_a_native_failure_inside_a_conversion_comes_out_unchanged():
    a = PyNDArray([1.0, 2.0], [2])
    other = PyNDArray([1.0], [1])
    raised = []

    def add():
        try:
            a.add(other)
        except BaseException as e:
            raised.append(e)
            raise

    with pytest.raises(BaseException) as info:
        tarnex_io.greater(a, Calls(add))
    assert info.value is raised[0]
    assert panic_message(tarnex_io.greater, a, Calls(lambda: a.add(other))) == (
        "shape mismatch for addition: [2] vs [1]")


def test_a_core_failure_in_the_companion_is_tarnex_s_panic_class():
    # In a fresh interpreter the companion fails first, before tarnex itself has failed.
    rc, out, err = run_python("""
        import tarnex, tarnex_io
        class Claims:  # a shape whose length asks for more room than can ever exist
            def __len__(self): return 2**62
            def __getitem__(self, i): raise IndexError
        raised = []
        for call in (lambda: tarnex_io.from_bytes(b"", Claims()),
                     lambda: tarnex.PyNDArray([], [0]).argmax()):
            try:
                call()
            except BaseException as e:
                raised.append(e)
        print(type(raised[0]) is type(raised[1]), type(raised[0]).__name__, raised[0].args)
    """)
    assert rc == 0, err
    assert out.split(None, 2) == ["True", "PanicException", "('capacity overflow',)\n"]


FAILING = [
    lambda a, m: tarnex_io.greater(a, "x"),
    lambda a, m: tarnex_io.greater(a, PyNDArray([1.0] * 3, [3])),
    lambda a, m: tarnex_io.logical_and(m, PyBoolArray([True] * 3, [3])),
    lambda a, m: tarnex_io.to_list(a, a),
    lambda a, m: tarnex_io.greater(a, Calls(lambda: 1 / 0)),
    lambda a, m: tarnex_io.from_bytes(b"", [Calls(lambda: 1 / 0)]),
]


@pytest.mark.parametrize("failing", FAILING)
def test_failures_leave_nothing_borrowed_or_referenced(failing):
    a, m = PyNDArray([1.0, 2.0], [2]), PyBoolArray([True, False], [2])
    before = sys.getrefcount(a), sys.getrefcount(m)
    for _ in range(3):
        with pytest.raises((TypeError, ValueError, ZeroDivisionError)):
            failing(a, m)
    assert (sys.getrefcount(a), sys.getrefcount(m)) == before
    a.set_slice(0, 0, 1, 3.0)  # needs the counter back at 0
    assert tarnex_io.to_list(a) == [3.0, 2.0]


def test_results_hold_no_reference_to_their_operands():
    a, m = PyNDArray([1.0, 2.0], [2]), PyBoolArray([True, False], [2])
    before = sys.getrefcount(a), sys.getrefcount(m)
    kept = [tarnex_io.greater(a, a), tarnex_io.logical_or(m, m), tarnex_io.to_list(a),
            tarnex_io.to_bytes(m), tarnex_io.isnan(a)]
    assert (sys.getrefcount(a), sys.getrefcount(m)) == before and len(kept) == 5


# --- refusing another build ------------------------------------------------------------------

def companion_dir():
    return os.path.dirname(os.path.abspath(tarnex_io.__file__))


def import_companion(*paths, prelude=""):
    code = prelude + "\ntry:\n    import tarnex_io\nexcept ImportError as e:\n" \
                     "    print(type(e).__name__ + ': ' + str(e))\nelse:\n    print('imported')\n"
    status, out, err = run_python(code, PYTHONPATH=os.pathsep.join(paths))
    assert status == 0, err
    return out.strip()


REFUSAL = "ImportError: tarnex_io was built for a different tarnex build ("
ADVICE = "); install tarnex and tarnex_io from the same wheel"


@pytest.mark.parametrize("source, reason", [
    ("class PyNDArray:\n    pass\nclass PyBoolArray:\n    pass\n",
     "its class PyNDArray is laid out differently"),
    ("PyNDArray = PyBoolArray = 1\n", "PyNDArray is not a class"),
    ("", "it has no class PyNDArray"),
])
def test_a_module_standing_in_for_tarnex_is_refused(tmp_path, source, reason):
    (tmp_path / "tarnex.py").write_text(source)
    assert import_companion(str(tmp_path), companion_dir()) == REFUSAL + reason + ADVICE


def test_real_classes_without_the_build_s_file_are_refused():
    prelude = ("import sys, types, tarnex\n"
               "fake = types.ModuleType('tarnex')\n"
               "fake.PyNDArray, fake.PyBoolArray = tarnex.PyNDArray, tarnex.PyBoolArray\n"
               "sys.modules['tarnex'] = fake\n")
    assert import_companion(companion_dir(), prelude=prelude) == (
        REFUSAL + "the tarnex found was not loaded from a file" + ADVICE)


def test_a_tarnex_of_another_build_is_refused(tmp_path):
    # The same module file with another key in it stands in for another build: it loads and
    # works as tarnex, but the companion must refuse it.
    data = open(tarnex.__file__, "rb").read()
    keys = re.findall(rb"tarnex build key ([0-9a-f]{32})", data)
    assert len(keys) == 1
    other = bytes(reversed(keys[0])) if keys[0] != keys[0][::-1] else b"0" * 32
    other_tarnex = tmp_path / os.path.basename(tarnex.__file__)
    other_tarnex.write_bytes(data.replace(keys[0], other))
    prelude = "import tarnex\nassert tarnex.PyNDArray([1.0, 2.0], [2]).sum() == 3.0\n"
    out = import_companion(str(tmp_path), companion_dir(), prelude=prelude)
    assert out == REFUSAL + f"the tarnex at {other_tarnex} is not its build" + ADVICE
    # ... and the real pair, from the same build, imports.
    assert import_companion(os.path.dirname(tarnex.__file__), companion_dir()) == "imported"
