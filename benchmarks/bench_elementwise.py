"""Element-wise arithmetic, activations and the running sum against numpy, plus the floors
they are held to: memory bandwidth for the pooled kernels at 10^7 elements (bytes moved /
copy bandwidth measured with numpy.copyto), and the C library's exp for sigmoid and softmax
(exp_floor.cpp, compiled on the fly and timed in this process)."""
import ctypes
import os
import subprocess
import tempfile

import numpy as np

from common import best_time, compare, fmt_time, print_table

import tarnex

HERE = os.path.dirname(os.path.abspath(__file__))


def arrays(n, seed):
    x = np.random.default_rng(seed).uniform(-5.0, 5.0, n)
    return tarnex.PyNDArray(x.tolist(), [n]), x


def pooled_rows(n):
    (a, x), (b, y) = arrays(n, 1), arrays(n, 2)
    s = 1.7
    return [
        compare(f"add   n={n:.0e}", lambda: a.add(b), lambda: x + y),
        compare(f"mul   n={n:.0e}", lambda: a.mul(b), lambda: x * y),
        compare(f"scale n={n:.0e}", lambda: a.scale(s), lambda: x * s),
        compare(f"relu  n={n:.0e}", lambda: a.relu(), lambda: np.maximum(x, 0.0)),
    ]


def copy_bandwidth(n):
    """Bytes per second of numpy.copyto between two existing arrays of n doubles."""
    src, dst = np.random.default_rng(3).random(n), np.empty(n)
    return 2 * 8 * n / best_time(lambda: np.copyto(dst, src), repeat=9)


def bandwidth_rows(rows, n):
    bandwidth = copy_bandwidth(n)
    print(f"\ncopy bandwidth (numpy.copyto, {n:.0e} doubles): {bandwidth / 1e9:.2f} GB/s")
    print(f"{'kernel at 1e7':<16}  {'tarnex':>11}  {'floor':>11}  {'ratio':>6}")
    for name, ours, _, _ in rows:
        streams = 3 if name.startswith(("add", "mul")) else 2
        floor = streams * 8 * n / bandwidth
        print(f"{name:<16}  {fmt_time(ours)}  {fmt_time(floor)}  {ours / floor:6.2f}")


def exp_floor(x):
    """Seconds for one call of the C library's exp per element of x (exp_floor.cpp)."""
    with tempfile.TemporaryDirectory() as tmp:
        lib_path = os.path.join(tmp, "exp_floor.so")
        subprocess.run(["g++", "-O2", "-ffp-contract=off", "-shared", "-fPIC",
                        os.path.join(HERE, "exp_floor.cpp"), "-o", lib_path], check=True)
        lib = ctypes.CDLL(lib_path)
    lib.exp_floor_seconds.restype = ctypes.c_double
    lib.exp_floor_seconds.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_long,
                                      ctypes.c_int]
    x = np.ascontiguousarray(x, dtype=np.float64)
    out = np.empty_like(x)
    return lib.exp_floor_seconds(x.ctypes.data, out.ctypes.data, len(x), 30)


def exp_rows(a, x):
    n = len(x)

    def np_softmax():
        e = np.exp(x)
        return e / e.sum()

    return [
        compare(f"sigmoid n={n:.0e}", lambda: a.sigmoid(), lambda: 1.0 / (np.exp(-x) + 1.0)),
        compare(f"softmax n={n:.0e}", lambda: a.softmax(), np_softmax),
    ]


def main():
    rows = []
    for n in (10**3, 10**5, 10**6, 10**7):
        rows += pooled_rows(n)
    print_table(rows, "pooled kernels (numpy: a + b, a * b, a * s, np.maximum(a, 0.0))")
    bandwidth_rows([r for r in rows if "n=1e+07" in r[0]], 10**7)

    n = 10**6
    a, x = arrays(n, 4)
    exp_table = exp_rows(a, x)
    print_table(exp_table, "exp-bound activations (numpy: 1/(exp(-a)+1), exp(a)/sum)")
    floor = exp_floor(x)
    print(f"\nfloor: {n:.0e} calls of libc exp on the same input = {fmt_time(floor)}")
    for name, ours, _, _ in exp_table:
        print(f"{name:<18} {fmt_time(ours)}  ratio to floor {ours / floor:5.2f}")

    a, x = arrays(n, 5)
    print_table([compare(f"cumsum n={n:.0e}", lambda: a.cumsum(), lambda: np.cumsum(x))],
                "running sum (numpy.cumsum)")


if __name__ == "__main__":
    main()
