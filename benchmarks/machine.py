"""What the benchmark results depend on: the CPU, the vector instructions tarnex uses on it,
the cores and thread settings, numpy and its BLAS, and this CPU's matrix-product peak."""
from __future__ import annotations

import functools
import os
import platform
import subprocess
import sys
from typing import Dict, List, Optional, Tuple

from common import compiled

THREAD_VARIABLES = ("RAYON_NUM_THREADS", "RAYON_RS_NUM_CPUS", "OPENBLAS_NUM_THREADS",
                    "OMP_NUM_THREADS", "MKL_NUM_THREADS", "OPENBLAS_CORETYPE")


def _cpuinfo() -> Dict[str, str]:
    """The fields of the first processor in /proc/cpuinfo (empty when it cannot be read)."""
    fields: Dict[str, str] = {}
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if not line.strip():
                    break
                key, _, value = line.partition(":")
                fields[key.strip()] = value.strip()
    except OSError:
        pass
    return fields


def cpu_model() -> str:
    return _cpuinfo().get("model name") or platform.processor() or platform.machine()


def instruction_set() -> str:
    """The instruction-set level tarnex's kernels run at in this build and on this CPU
    (avx512, avx2 or baseline), as the companion module reports it."""
    import tarnex_io

    return tarnex_io.instruction_set()


def usable_cpus() -> int:
    try:
        return len(os.sched_getaffinity(0))
    except (AttributeError, OSError):
        return os.cpu_count() or 1


def blas_libraries() -> Optional[List[dict]]:
    """threadpoolctl's description of the BLAS libraries numpy loaded, or None without
    threadpoolctl."""
    try:
        import numpy  # noqa: F401  (loads the BLAS library)
        from threadpoolctl import threadpool_info
    except ImportError:
        return None
    return [info for info in threadpool_info() if info.get("user_api") == "blas"]


@functools.lru_cache(maxsize=None)
def matmul_peak() -> Optional[Tuple[float, int, float]]:
    """(clock in Hz, doubles per vector, measured flop/s of independent vector multiplies
    and adds) from matmul_peak.cpp, compiled here; None without a C++ compiler."""
    exe = compiled("matmul_peak.cpp", "-O2")
    if exe is None:
        return None
    try:
        out = subprocess.run([exe], check=True, capture_output=True, text=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return None
    clock, lanes, pairs = out.split()
    return float(clock), int(lanes), float(pairs)


def no_fma_peak() -> Optional[float]:
    """Flop/s of one core issuing one vector multiply and one vector add per cycle, the most
    a product that rounds every multiply and every add separately can reach."""
    peak = matmul_peak()
    return None if peak is None else peak[0] * peak[1] * 2


def describe() -> List[str]:
    """Lines describing the machine and the settings of this run."""
    import numpy
    import tarnex

    lines = [
        f"CPU: {cpu_model()}; tarnex instruction set: {instruction_set()}; "
        f"{usable_cpus()} usable of {os.cpu_count()} CPUs; "
        f"load average {os.getloadavg()[0]:.2f} at start",
        f"Python {platform.python_version()}, numpy {numpy.__version__}, "
        f"tarnex from {os.path.dirname(tarnex.__file__)}",
    ]
    blas = blas_libraries()
    if blas is None:
        lines.append("BLAS: threadpoolctl not installed, so numpy's BLAS is neither described "
                     "nor limited to one thread (pip install '.[bench]')")
    for lib in blas or []:
        lines.append(f"BLAS: {lib.get('internal_api')} {lib.get('version')} "
                     f"({lib.get('architecture')} kernels), {lib.get('num_threads')} threads "
                     f"by default")
    settings = ", ".join(f"{v}={os.environ[v]}" for v in THREAD_VARIABLES if v in os.environ)
    lines.append("thread settings: " + (settings or "none set (tarnex's pool uses every usable "
                                        "CPU)"))
    peak = matmul_peak()
    if peak is None:
        lines.append("no C++ compiler: the matrix-product peak is not measured")
    else:
        clock, lanes, pairs = peak
        full = clock * lanes * 2
        line = (f"no-FMA peak of one core: {full / 1e9:.1f} GFLOP/s = {clock / 1e9:.2f} GHz x "
                f"{lanes} lanes x (1 multiply + 1 add) per cycle")
        if pairs:
            line += f"; measured issue {pairs / 1e9:.1f} GFLOP/s ({pairs / full:.0%})"
        lines.append(line)
    return [line for line in lines if line]


if __name__ == "__main__":
    print("\n".join(describe()))
    sys.exit(0)
