"""Shared timing helpers for the benchmarks: tarnex and numpy measured side by side in one
process, reported as ratios (these machines are noisy; absolute times alone mean little)."""
import gc
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))


def best_time(fn, repeat=7, min_time=0.05):
    """Best per-call time of fn() in seconds, over `repeat` batches of at least `min_time`."""
    number = 1
    while True:
        start = time.perf_counter()
        for _ in range(number):
            fn()
        elapsed = time.perf_counter() - start
        if elapsed >= min_time or number >= 1 << 20:
            break
        number *= 2
    best = elapsed / number
    gc_was_enabled = gc.isenabled()
    gc.disable()
    try:
        for _ in range(repeat - 1):
            start = time.perf_counter()
            for _ in range(number):
                fn()
            best = min(best, (time.perf_counter() - start) / number)
    finally:
        if gc_was_enabled:
            gc.enable()
    return best


def compare(name, tarnex_fn, numpy_fn, repeat=7, rounds=3):
    """Times both alternately for `rounds` rounds and returns (name, t_tarnex, t_numpy, ratio)."""
    t_ours, t_theirs = float("inf"), float("inf")
    for _ in range(rounds):
        t_ours = min(t_ours, best_time(tarnex_fn, repeat))
        t_theirs = min(t_theirs, best_time(numpy_fn, repeat))
    return name, t_ours, t_theirs, t_ours / t_theirs


def fmt_time(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6), ("ns", 1e-9)):
        if seconds >= scale:
            return f"{seconds / scale:8.2f} {unit}"
    return f"{seconds / 1e-9:8.2f} ns"


def print_table(rows, title=None):
    """rows: (name, t_tarnex, t_numpy, ratio); ratio = tarnex / numpy (<= 1.0 is as fast or faster)."""
    if title:
        print(f"\n== {title} ==")
    width = max([len(r[0]) for r in rows] + [9])
    print(f"{'benchmark':<{width}}  {'tarnex':>11}  {'numpy':>11}  {'ratio':>6}")
    for name, ours, theirs, ratio in rows:
        print(f"{name:<{width}}  {fmt_time(ours)}  {fmt_time(theirs)}  {ratio:6.2f}")
