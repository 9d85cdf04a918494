"""Every benchmark in one run: tarnex against numpy, one table of times and ratios.

    python benchmarks/run.py [--quick] [--only GROUP ...] [--plot FILE]

Every benchmarks/bench_*.py that defines GROUPS (a dict of group name to a function of
`quick` yielding cases) is found and run, file by file in name order. Each case is timed in
this process, tarnex and numpy alternately, and reported as the median
time per call of each side and their ratio (tarnex / numpy: below 1.00 tarnex is faster).
numpy's matrix products run with its BLAS limited to one thread, as tarnex's product runs on
one thread. --quick times fewer sizes with fewer, shorter samples (under a minute);
--plot FILE draws the ratios as a bar chart (needs matplotlib, in the bench extra).
"""
from __future__ import annotations

import argparse
import glob
import importlib
import os
import sys
import time
from typing import Callable, Dict, Iterator, List, Optional, Sequence

import machine
from common import HERE, Case, Result, measure, print_table


def discover() -> Dict[str, Callable[[bool], Iterator[Case]]]:
    """Every group of cases of every bench_*.py beside this file, in the order of the table."""
    groups: Dict[str, Callable[[bool], Iterator[Case]]] = {}
    for path in sorted(glob.glob(os.path.join(HERE, "bench_*.py"))):
        module = importlib.import_module(os.path.splitext(os.path.basename(path))[0])
        for name, cases in getattr(module, "GROUPS", {}).items():
            if name in groups:
                raise SystemExit(f"error: group {name!r} of {path} is defined twice")
            groups[name] = cases
    return groups


REGISTRY = discover()

# (samples per side, least seconds per sample)
QUICK = (5, 0.02)
FULL = (11, 0.1)


def plot_ratios(results: Sequence[Result], path: str, title: str) -> None:
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    labels = [f"{r.case.operation}  {r.case.size}" for r in results]
    groups = list(dict.fromkeys(r.case.group for r in results))
    colours = plt.get_cmap("tab10")
    fig, ax = plt.subplots(figsize=(10, 0.22 * len(results) + 1.5))
    positions = range(len(results))[::-1]
    for group_index, group in enumerate(groups):
        chosen = [(p, r.ratio) for p, r in zip(positions, results) if r.case.group == group]
        ax.barh([p for p, _ in chosen], [v for _, v in chosen], color=colours(group_index % 10),
                label=group)
    for p, r in zip(positions, results):
        ax.text(r.ratio * 1.04, p, f"{r.ratio:.2f}", va="center", fontsize=6)
    ax.set_yticks(list(positions))
    ax.set_yticklabels(labels, fontsize=7)
    ax.set_ylim(-0.7, len(results) - 0.3)
    ax.set_xscale("log")
    ax.axvline(1.0, color="black", linewidth=0.8)
    ax.set_xlabel("tarnex time / numpy time (log scale; left of 1 = tarnex faster)")
    ax.set_title(title, fontsize=9)
    ax.legend(fontsize=7, loc="upper left", bbox_to_anchor=(1.01, 1.0))
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)


def parse_args(argv: Optional[Sequence[str]]):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true",
                        help="fewer sizes, fewer and shorter samples (under a minute)")
    parser.add_argument("--only", metavar="GROUP", action="append", choices=list(REGISTRY),
                        help="run only this group (repeatable): " + ", ".join(REGISTRY))
    parser.add_argument("--plot", metavar="FILE",
                        help="write a PNG bar chart of the ratios (needs matplotlib)")
    args = parser.parse_args(argv)
    if args.only is None:
        args.only = list(REGISTRY)
    return args


def main(argv: Optional[Sequence[str]] = None) -> int:
    args = parse_args(argv)
    if args.plot is not None:
        try:
            import matplotlib  # noqa: F401
        except ImportError:
            print("error: --plot needs matplotlib, which is not installed "
                  "(pip install '.[bench]')", file=sys.stderr)
            return 2
    samples, min_time = QUICK if args.quick else FULL
    started = time.perf_counter()
    description = machine.describe()
    progress = sys.stderr.isatty()
    results: List[Result] = []
    for group in REGISTRY:
        if group not in args.only:
            continue
        for case in REGISTRY[group](args.quick):
            if progress:
                print(f"\r\033[K{group}: {case.operation} {case.size}", end="", file=sys.stderr,
                      flush=True)
            results.append(measure(case, samples, min_time))
    if progress:
        print("\r\033[K", end="", file=sys.stderr, flush=True)

    print("\n".join(description))
    print()
    print_table(results)
    print()
    elapsed = time.perf_counter() - started
    print(f"ratio = tarnex time / numpy time per call (below 1.00: tarnex faster); medians of "
          f"{samples} alternating samples of at least {min_time:g} s per side; "
          f"{'quick' if args.quick else 'full'} run took {elapsed:.0f} s")
    if args.plot is not None:
        mode = "quick" if args.quick else "full"
        plot_ratios(results, args.plot, f"tarnex / numpy, {mode} run: {machine.cpu_model()}, "
                                        f"{machine.instruction_set()}")
        print(f"wrote {args.plot}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
