"""Matrix product against numpy's `a @ b`, with numpy's BLAS pinned to one thread and
unpinned, as GFLOP/s and as a fraction of this CPU's peak without fused multiply-add.

The peak assumes one vector multiply and one vector add issue per cycle (two flops per lane
per cycle, as the product's exact order needs a separate multiply and add): peak = measured
clock x lanes x 2, clock and lanes from matmul_peak.cpp (compiled on the fly), which also
measures how fast independent multiplies and adds actually issue, as a check.

numpy's BLAS reads OPENBLAS_CORETYPE and OPENBLAS_L2_SIZE when it loads; run this without
them (`env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE python benchmarks/bench_matmul.py`) to
measure the kernel it picks on its own. The kernel in use is printed.
"""
import os
import subprocess
import tempfile

import numpy as np

from common import compare, fmt_time

import tarnex

HERE = os.path.dirname(os.path.abspath(__file__))

SHAPES = [
    (64, 64, 64),
    (256, 256, 256),
    (512, 512, 512),
    (1024, 1024, 1024),
    (1024, 64, 1024),
    (64, 1024, 64),
    (1000, 1000, 1),
    (1, 1000, 1000),
    (1000, 1000, 3),
]


def machine_peak():
    """(clock in Hz, lanes, measured multiply+add flop/s), or None without a compiler."""
    with tempfile.TemporaryDirectory() as tmp:
        exe = os.path.join(tmp, "matmul_peak")
        try:
            subprocess.run(["g++", "-O2", os.path.join(HERE, "matmul_peak.cpp"), "-o", exe],
                           check=True, capture_output=True)
        except (OSError, subprocess.CalledProcessError):
            return None
        out = subprocess.run([exe], check=True, capture_output=True, text=True).stdout.split()
    return float(out[0]), int(out[1]), float(out[2])


def blas_info():
    try:
        from threadpoolctl import threadpool_info
    except ImportError:
        return None
    return [info for info in threadpool_info() if info.get("user_api") == "blas"]


def pinned(fn):
    """fn run with numpy's BLAS limited to one thread, when threadpoolctl is installed."""
    try:
        from threadpoolctl import threadpool_limits
    except ImportError:
        return None

    def run():
        with threadpool_limits(1, user_api="blas"):
            return fn()
    return run


def operands(m, k, n):
    rng = np.random.default_rng(m * 7 + k * 3 + n)
    x, y = rng.uniform(-1.0, 1.0, (m, k)), rng.uniform(-1.0, 1.0, (k, n))
    return (tarnex.PyNDArray(x.ravel().tolist(), [m, k]),
            tarnex.PyNDArray(y.ravel().tolist(), [k, n]), x, y)


def measure(m, k, n):
    a, b, x, y = operands(m, k, n)
    repeat = 5 if m * k * n >= 2**27 else 7
    row = {"shape": f"{m}x{k} @ {k}x{n}", "flops": 2.0 * m * k * n}
    _, row["tarnex"], row["numpy"], _ = compare("", lambda: a.matmul(b), lambda: x @ y, repeat)
    one_thread = pinned(lambda: compare("", lambda: a.matmul(b), lambda: x @ y, repeat))
    if one_thread is not None:
        _, ours, row["numpy1"], _ = one_thread()
        row["tarnex"] = min(row["tarnex"], ours)
    return row


def print_rows(rows, peak):
    head = (f"{'shape':<22} {'tarnex':>11} {'GFLOP/s':>8} {'peak':>6}   "
            f"{'numpy 1T':>11} {'GFLOP/s':>8} {'x 1T':>5}   {'numpy':>11} {'GFLOP/s':>8} {'x':>5}")
    print(head)
    for r in rows:
        ours = r["flops"] / r["tarnex"] / 1e9
        share = f"{ours * 1e9 / peak:6.0%}" if peak else f"{'-':>6}"
        line = f"{r['shape']:<22} {fmt_time(r['tarnex'])} {ours:8.2f} {share}   "
        if "numpy1" in r:
            theirs1 = r["flops"] / r["numpy1"] / 1e9
            line += f"{fmt_time(r['numpy1'])} {theirs1:8.2f} {ours / theirs1:5.2f}   "
        else:
            line += f"{'-':>11} {'-':>8} {'-':>5}   "
        theirs = r["flops"] / r["numpy"] / 1e9
        line += f"{fmt_time(r['numpy'])} {theirs:8.2f} {ours / theirs:5.2f}"
        print(line)
    print("x 1T, x: tarnex throughput / numpy throughput (1.00 = as fast; the goal at n >= 256 is"
          " >= 0.5 against one thread)")


def main():
    for var in ("OPENBLAS_CORETYPE", "OPENBLAS_L2_SIZE"):
        print(f"{var}={os.environ.get(var, '(unset)')}")
    info = blas_info()
    if info is None:
        print("threadpoolctl not installed: numpy is measured with its default threads only")
    for lib in info or []:
        print(f"numpy BLAS: {lib.get('internal_api')} {lib.get('version')}, kernel "
              f"{lib.get('architecture')}, {lib.get('num_threads')} threads")

    machine = machine_peak()
    peak = None
    if machine is None:
        print("no C++ compiler found: peak fraction not shown")
    else:
        clock, lanes, pairs = machine
        peak = clock * lanes * 2
        print(f"clock {clock / 1e9:.2f} GHz (dependent integer adds), {lanes} lanes: no-FMA peak "
              f"{peak / 1e9:.1f} GFLOP/s = clock x {lanes} lanes x (1 mul + 1 add) per cycle")
        if pairs:
            print(f"measured independent vector mul+add issue: {pairs / 1e9:.1f} GFLOP/s "
                  f"({pairs / peak:.0%} of that peak)")
    print()
    print_rows([measure(*shape) for shape in SHAPES], peak)


if __name__ == "__main__":
    main()
