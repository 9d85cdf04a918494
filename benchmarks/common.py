"""What every benchmark shares: a case (one operation at one size, its tarnex and numpy forms),
the timing of a case, and the table of results.

A case is timed in one process, tarnex and numpy in turn: each sample runs one side's call
enough times to last at least `min_time`, then the other side's, and so on; the reported time
per call is the median of each side's samples. Alternating keeps slow phases of a shared,
noisy machine from landing on one side only, and the median ignores the odd disturbed sample
without favouring lucky ones as a minimum would.
"""
from __future__ import annotations

import atexit
import contextlib
import functools
import gc
import os
import shutil
import statistics
import subprocess
import tempfile
import time
from dataclasses import dataclass
from typing import Callable, Iterator, List, Optional, Sequence

HERE = os.path.dirname(os.path.abspath(__file__))


@functools.lru_cache(maxsize=None)
def _scratch() -> str:
    """A directory for compiled probes, removed when the process ends."""
    path = tempfile.mkdtemp(prefix="tarnex-bench-")
    atexit.register(shutil.rmtree, path, True)
    return path


@functools.lru_cache(maxsize=None)
def compiled(source: str, *flags: str) -> Optional[str]:
    """The path of the probe benchmarks/<source> compiled by g++ with `flags` (an executable,
    or with -shared a library), compiled once per process; None without a working g++."""
    path = os.path.join(tempfile.mkdtemp(dir=_scratch()), os.path.splitext(source)[0])
    try:
        subprocess.run(["g++", *flags, os.path.join(HERE, source), "-o", path],
                       check=True, capture_output=True)
    except (OSError, subprocess.CalledProcessError):
        return None
    return path


@dataclass
class Case:
    group: str
    operation: str
    size: str
    tarnex: Callable[[], object]
    numpy: Callable[[], object]
    # The numpy side runs with its BLAS limited to this many threads (when threadpoolctl is
    # installed); None leaves BLAS as it is.
    blas_threads: Optional[int] = None
    # Extra text for the notes column, made from the result (for example a throughput).
    notes: Optional[Callable[["Result"], str]] = None


@dataclass
class Result:
    case: Case
    tarnex: float  # median seconds per call
    numpy: float
    samples: int
    blas_threads: Optional[int]  # threads numpy's BLAS was limited to, if it was

    @property
    def ratio(self) -> float:
        return self.tarnex / self.numpy

    def notes(self) -> str:
        parts = []
        if self.blas_threads is not None:
            parts.append(f"numpy BLAS {self.blas_threads} thread"
                         + ("s" if self.blas_threads != 1 else ""))
        if self.case.notes is not None:
            parts.append(self.case.notes(self))
        return "; ".join(p for p in parts if p)


def _run(fn: Callable[[], object], number: int) -> float:
    start = time.perf_counter()
    for _ in range(number):
        fn()
    return time.perf_counter() - start


def calls_per_sample(fn: Callable[[], object], min_time: float) -> int:
    """The number of calls of fn that take at least min_time (doubling from one call)."""
    number = 1
    while number < 1 << 22:
        if _run(fn, number) >= min_time:
            break
        number *= 2
    return number


@contextlib.contextmanager
def no_gc() -> Iterator[None]:
    enabled = gc.isenabled()
    gc.collect()
    gc.disable()
    try:
        yield
    finally:
        if enabled:
            gc.enable()


@contextlib.contextmanager
def blas_limited(threads: Optional[int]) -> Iterator[Optional[int]]:
    """Limits numpy's BLAS to `threads` threads inside the block; yields the limit applied
    (None when there is none or threadpoolctl is not installed)."""
    if threads is None:
        yield None
        return
    try:
        from threadpoolctl import threadpool_limits
    except ImportError:
        yield None
        return
    with threadpool_limits(threads, user_api="blas"):
        yield threads


def median_time(fn: Callable[[], object], samples: int = 7, min_time: float = 0.05) -> float:
    """Median seconds per call of fn alone (for the reference figures, such as a floor)."""
    number = calls_per_sample(fn, min_time)
    with no_gc():
        return statistics.median(_run(fn, number) / number for _ in range(samples))


def measure(case: Case, samples: int, min_time: float) -> Result:
    with blas_limited(case.blas_threads) as applied:
        n_ours = calls_per_sample(case.tarnex, min_time)
        n_theirs = calls_per_sample(case.numpy, min_time)
        ours: List[float] = []
        theirs: List[float] = []
        with no_gc():
            for _ in range(samples):
                ours.append(_run(case.tarnex, n_ours) / n_ours)
                theirs.append(_run(case.numpy, n_theirs) / n_theirs)
    return Result(case, statistics.median(ours), statistics.median(theirs), samples, applied)


def fmt_time(seconds: float) -> str:
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:7.2f} {unit:<2}"
    return f"{seconds / 1e-9:7.2f} ns"


def print_table(results: Sequence[Result], file=None) -> None:
    """One line per result; ratio = tarnex time / numpy time (below 1: tarnex is faster)."""
    heads = ("group", "operation", "size")
    widths = [max([len(h)] + [len(getattr(r.case, h)) for r in results]) for h in heads]
    line = "  ".join(f"{h:<{w}}" for h, w in zip(heads, widths))
    print(f"{line}  {'tarnex':>10}  {'numpy':>10}  {'ratio':>7}  notes", file=file)
    previous = None
    for r in results:
        group = r.case.group if r.case.group != previous else ""
        previous = r.case.group
        cells = (group, r.case.operation, r.case.size)
        line = "  ".join(f"{c:<{w}}" for c, w in zip(cells, widths))
        print(f"{line}  {fmt_time(r.tarnex)}  {fmt_time(r.numpy)}  {r.ratio:7.2f}  {r.notes()}",
              file=file)
