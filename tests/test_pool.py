"""The worker pool: when it starts, how many threads it holds, results independent of the
thread count, start failures, and forked children. Each case runs in a fresh interpreter."""

import hashlib
import os
import struct

import pytest
from helpers import run_python

UNDER_SANITIZER = bool(os.environ.get("TARNEX_UNDER_SANITIZER"))

# Counts this process's threads; imported into every child.
PRELUDE = """
import os, sys
from tarnex import PyNDArray
def threads():
    return len(os.listdir("/proc/self/task"))
"""


def run(code, **env):
    rc, out, err = run_python(PRELUDE + code, **env)
    assert rc == 0, err
    return out.split()


STARTS = """
before = threads()
PyNDArray([], [0]).add(PyNDArray([], [0]))
print(before, threads())
"""


def pool_size(**env):
    """Workers started by the first parallel call under the given environment."""
    before, after = map(int, run(STARTS, **env))
    assert before == 1
    return after - before


@pytest.fixture(scope="module")
def default_threads():
    saved = {k: os.environ.pop(k, None) for k in ("RAYON_NUM_THREADS", "RAYON_RS_NUM_CPUS")}
    try:
        n = pool_size()
    finally:
        for k, v in saved.items():
            if v is not None:
                os.environ[k] = v
    assert 1 <= n <= len(os.sched_getaffinity(0))
    return n


@pytest.fixture(autouse=True)
def clean_environment(monkeypatch):
    monkeypatch.delenv("RAYON_NUM_THREADS", raising=False)
    monkeypatch.delenv("RAYON_RS_NUM_CPUS", raising=False)


@pytest.mark.parametrize("num_threads, num_cpus, expected", [
    ("3", None, 3),
    ("+3", None, 3),
    ("1", "4", 1),
    ("005", "2", 5),
    ("0", "3", "default"),
    ("0", None, "default"),
    ("abc", "3", 3),
    ("-2", "3", 3),
    (" 2", "3", 3),
    ("", "2", 2),
    ("18446744073709551616", "2", 2),
    (None, "4", 4),
    (None, "+2", 2),
    (None, "0", "default"),
    (None, "x", "default"),
    (None, None, "default"),
])
def test_thread_count_rules(num_threads, num_cpus, expected, default_threads):
    env = {}
    if num_threads is not None:
        env["RAYON_NUM_THREADS"] = num_threads
    if num_cpus is not None:
        env["RAYON_RS_NUM_CPUS"] = num_cpus
    assert pool_size(**env) == (default_threads if expected == "default" else expected)


def test_default_follows_the_affinity_mask():
    if len(os.sched_getaffinity(0)) < 2:
        pytest.skip("needs two CPUs")
    out = run("""
os.sched_setaffinity(0, {sorted(os.sched_getaffinity(0))[0]})
""" + STARTS)
    assert out == ["1", "2"]


@pytest.mark.parametrize("call", [
    "PyNDArray([], [0]).add(PyNDArray([], [0]))",
    "PyNDArray([], [0]).mul(PyNDArray([], [0]))",
    "PyNDArray([1.0], [1]).scale(2.0)",
    "PyNDArray([], [0]).relu()",
    "PyNDArray([1.0, 2.0], [2]).relu()",
])
def test_first_parallel_call_starts_the_pool(call):
    out = run(f"""
import tarnex
t0 = threads()
for method in ("sigmoid", "softmax", "cumsum", "sum", "mean", "argmax"):
    getattr(PyNDArray([1.0, 2.0], [2]), method)()
try:
    PyNDArray([1.0], [1]).add(PyNDArray([1.0], []))
except BaseException:
    pass
t1 = threads()
{call}
t2 = threads()
big = PyNDArray([1.0] * 300000, [300000])
for _ in range(20):
    big.add(big).relu().scale(0.5).mul(big)
print(t0, t1, t2, threads())
""", RAYON_NUM_THREADS="3")
    # Import, the sequential operations and a failed shape check start nothing; the first
    # parallel call starts exactly 3 workers, which then stay.
    assert out == ["1", "1", "4", "4"]


BIT_CODE = """
import hashlib, struct
def data(n, seed):
    xs = [((i * 7919 + seed) % 4001 - 2000) / 16.0 for i in range(n)]
    for k, special in enumerate([float("nan"), float("inf"), -float("inf"), -0.0, 5e-324, -1e308]):
        if n > 7 * k:
            xs[7 * k] = special
    return xs
def digest(out, n):
    g = out.get
    return hashlib.sha256(struct.pack("<%dd" % n, *[g([i]) for i in range(n)])).hexdigest()[:16]
results = []
for n in SIZES:
    a, b = PyNDArray(data(n, 1), [n]), PyNDArray(data(n, 2)[::-1], [n])
    results += [digest(a.add(b), n), digest(a.mul(b), n), digest(a.scale(-1.25), n), digest(a.relu(), n)]
print(" ".join(results))
"""

# Around the fixed cutoff and above the largest one the pool may measure for itself, so
# that the pool computes the last size whatever the machine.
SIZES = [0, 1, 2, 3, 1000, 32767, 32768, 32769, 250007, 2**20 + 5]


def expected_digests():
    """The same digests computed with Python's own float arithmetic."""
    ns = {}
    exec(BIT_CODE.split("results = []")[0], ns)
    data = ns["data"]
    out = []
    for n in SIZES:
        a, b = data(n, 1), data(n, 2)[::-1]

        def h(values):
            return hashlib.sha256(struct.pack("<%dd" % n, *values)).hexdigest()[:16]

        out += [h([x + y for x, y in zip(a, b)]), h([x * y for x, y in zip(a, b)]),
                h([x * -1.25 for x in a]), h([x if x > 0.0 else 0.0 for x in a])]
    return out


def test_results_identical_for_every_thread_count():
    code = f"SIZES = {SIZES!r}\n" + BIT_CODE
    want = expected_digests()
    for t in ["1", "2", "3", "8"]:
        assert run(code, RAYON_NUM_THREADS=t) == want, f"RAYON_NUM_THREADS={t}"


@pytest.mark.skipif(UNDER_SANITIZER, reason="an address-space limit breaks sanitizer runtimes")
def test_start_failure_is_reported_on_every_call():
    out = run("""
import resource
def vm_bytes():
    for line in open("/proc/self/status"):
        if line.startswith("VmSize:"):
            return int(line.split()[1]) * 1024
# Leave too little address space for a single thread stack.
resource.setrlimit(resource.RLIMIT_AS, (vm_bytes() + (2 << 20), resource.RLIM_INFINITY))
a = PyNDArray([1.0, -2.0], [2])
messages = []
for call in (lambda: a.add(a), lambda: a.relu(), lambda: PyNDArray([], [0]).scale(1.0)):
    try:
        call()
        messages.append("no failure")
    except BaseException as e:
        messages.append(type(e).__name__ + "|" + e.args[0])
print(repr(messages))
print(a.sigmoid().get([0]) == 1 / (1 + 2.718281828459045 ** -1.0), threads())
""", RAYON_NUM_THREADS="4")
    messages = eval(" ".join(out[:-2]))
    assert len(set(messages)) == 1
    kind, message = messages[0].split("|")
    assert kind == "PanicException"
    assert message.startswith("The global thread pool has not been initialized.: ")
    assert message.endswith("(os error 11)")
    # The sequential operations still work, and no worker is left behind.
    assert out[-2:] == ["True", "1"]


FORK_CODE = """
import os, signal
big = PyNDArray([float(i) for i in range(200000)], [200000])
def work():
    s = big.add(big).relu().scale(0.5).mul(big)
    return s.get([199999]) == 199999.0 * 199999.0
{before}
pid = os.fork()
if pid == 0:
    ok = work() and work()
    os._exit(0 if ok and threads() == 1 + {threads} else 3)
signal.alarm(60)
_, status = os.waitpid(pid, 0)
code = os.WEXITSTATUS(status) if os.WIFEXITED(status) else -os.WTERMSIG(status)
print(code, work(), threads())
"""


@pytest.mark.parametrize("before", ["", "work()"], ids=["pool-not-started", "pool-running"])
def test_forked_child_starts_its_own_pool(before):
    out = run(FORK_CODE.format(before=before, threads=2), RAYON_NUM_THREADS="2")
    assert out == ["0", "True", "3"]


def test_multiprocessing_fork_workers():
    out = run("""
import multiprocessing as mp
def job(k):
    a = PyNDArray([float(k)] * 100000, [100000])
    return a.add(a).get([99999])
if __name__ == "__main__":
    PyNDArray([1.0] * 100000, [100000]).relu()  # the parent's pool is running
    with mp.get_context("fork").Pool(2) as pool:
        print(pool.map(job, range(4), chunksize=1))
""", RAYON_NUM_THREADS="2")
    assert out == ["[0.0,", "2.0,", "4.0,", "6.0]"]
