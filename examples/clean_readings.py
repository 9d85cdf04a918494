"""Clean a table of sensor readings with tarnex: masks, fills and per-column statistics.

Four temperature sensors are read once a minute for a day. The readings (made here from a
fixed seed) have the usual faults: the logger writes -9999.0 when a sensor does not answer,
some readings are missing (NaN), and now and then a sensor spikes far off the true value.
Sensor 1 has a backup sensor beside it. The script

1. marks the bad readings: the sentinel, NaN, and spikes more than SPIKE_SIGMAS standard
   deviations from their column's mean (the mean and deviation of the good readings alone);
2. fills sensor 1's bad readings from its backup where the backup is good, and every other
   bad reading with its column's mean;
3. prints per-column statistics before and after, and writes the cleaned table as CSV.

Every step works on whole arrays; there is no Python loop over the readings. Every number
printed is identical on every run and for every worker count.

    python examples/clean_readings.py [--out FILE] [--minutes N]
"""
from __future__ import annotations

import argparse
import csv
import hashlib
import math
import random
import sys
from typing import List, Optional, Sequence, Tuple

import tarnex_io as tx
from tarnex import PyBoolArray, PyNDArray

SEED = 20241105
SENSORS = 4
DEFAULT_MINUTES = 24 * 60
SENTINEL = -9999.0
SPIKE_SIGMAS = 4.0
BACKED_UP = 0  # the column whose sensor has a backup


def make_readings(minutes: int, seed: int) -> Tuple[List[List[float]], List[float]]:
    """(readings, backup): one row of SENSORS readings per minute, and the backup sensor's
    reading of sensor BACKED_UP. A daily temperature curve per sensor, with noise, dropouts
    (the sentinel), missing values (NaN) and spikes."""
    rng = random.Random(seed)
    offsets = [rng.uniform(-2.0, 2.0) for _ in range(SENSORS)]
    rows, backup = [], []
    for t in range(minutes):
        day = math.sin(2.0 * math.pi * (t / (24 * 60) - 0.3))
        row = []
        for offset in offsets:
            value = 18.0 + offset + 6.0 * day + rng.gauss(0.0, 0.3)
            fault = rng.random()
            if fault < 0.02:
                value = SENTINEL
            elif fault < 0.03:
                value = math.nan
            elif fault < 0.04:
                value += rng.choice((-1.0, 1.0)) * rng.uniform(25.0, 60.0)
            row.append(value)
        rows.append(row)
        good_backup = rng.random() > 0.05
        backup.append(18.0 + offsets[BACKED_UP] + 6.0 * day + rng.gauss(0.0, 0.3)
                      if good_backup else math.nan)
    return rows, backup


def column_stats(x: PyNDArray, good: PyBoolArray) -> Tuple[PyNDArray, PyNDArray]:
    """The mean and the standard deviation of each column over its good readings ([1, n]
    each): sum of the good values over their count, and the root of the mean squared
    deviation from that mean."""
    count = tx.sum(good, axis=0, keepdims=True)
    mean = tx.divide(tx.sum(tx.where(good, x, 0.0), axis=0, keepdims=True), count)
    squared = tx.where(good, tx.square(tx.subtract(x, mean)), 0.0)
    deviation = tx.sqrt(tx.divide(tx.sum(squared, axis=0, keepdims=True), count))
    return mean, deviation


def find_bad(x: PyNDArray) -> PyBoolArray:
    """The sentinel, NaN, and readings more than SPIKE_SIGMAS deviations off their column's
    mean (the mean and deviation of the readings that are neither sentinel nor NaN)."""
    unreadable = tx.logical_or(tx.equal(x, SENTINEL), tx.isnan(x))
    mean, deviation = column_stats(x, tx.logical_not(unreadable))
    spikes = tx.greater(tx.abs(tx.subtract(x, mean)), tx.multiply(SPIKE_SIGMAS, deviation))
    return tx.logical_or(unreadable, spikes)


def clean(x: PyNDArray, backup: PyNDArray) -> Tuple[PyNDArray, PyBoolArray, int]:
    """(cleaned readings, the bad-reading mask, how many readings came from the backup)."""
    bad = find_bad(x)
    mean, _ = column_stats(x, tx.logical_not(bad))
    # Sensor BACKED_UP's bad readings come from the backup ([n, 1]) where it has a reading:
    # a row mask of that column, broadcast down the table, picks them.
    backed_up = tx.equal(tx.arange(SENSORS), float(BACKED_UP))
    use_backup = tx.logical_and(tx.logical_and(bad, backed_up),
                                tx.logical_not(tx.isnan(backup)))
    cleaned = tx.where(use_backup, backup, tx.where(bad, mean, x))
    return cleaned, bad, int(tx.sum(use_backup))


def print_stats(title: str, x: PyNDArray, good: PyBoolArray) -> None:
    mean, deviation = column_stats(x, good)
    lowest = tx.min(tx.where(good, x, math.inf), axis=0)
    highest = tx.max(tx.where(good, x, -math.inf), axis=0)
    counts = tx.sum(good, axis=0)
    print(title)
    print(f"  {'sensor':>6}  {'readings':>8}  {'mean':>8}  {'std':>6}  {'min':>7}  {'max':>7}")
    rows = zip(tx.to_list(counts), tx.to_list(mean), tx.to_list(deviation),
               tx.to_list(lowest), tx.to_list(highest))
    for j, (n, m, s, lo, hi) in enumerate(rows, start=1):
        print(f"  {j:6d}  {int(n):8d}  {m:8.3f}  {s:6.3f}  {lo:7.2f}  {hi:7.2f}")


def write_csv(path: str, x: PyNDArray) -> None:
    values = tx.to_list(x)
    with open(path, "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["minute"] + [f"sensor_{j + 1}" for j in range(SENSORS)])
        for t in range(x.shape()[0]):
            writer.writerow([t] + [repr(v) for v in values[t * SENSORS:(t + 1) * SENSORS]])


def positive_int(text: str) -> int:
    value = int(text)
    if value < 10:
        raise argparse.ArgumentTypeError(f"must be at least 10, got {value}")
    return value


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", metavar="FILE", help="write the cleaned table as CSV")
    parser.add_argument("--minutes", type=positive_int, default=DEFAULT_MINUTES,
                        help=f"readings per sensor (default {DEFAULT_MINUTES})")
    args = parser.parse_args(argv)

    rows, backup_values = make_readings(args.minutes, SEED)
    x = tx.asarray(rows)
    backup = tx.reshape(tx.asarray(backup_values), [-1, 1])
    print(f"{SENSORS} sensors, {args.minutes} readings each; sensor {BACKED_UP + 1} has a backup")

    cleaned, bad, from_backup = clean(x, backup)
    sentinels = int(tx.sum(tx.equal(x, SENTINEL)))
    missing = int(tx.sum(tx.isnan(x)))
    spikes = int(tx.sum(bad)) - sentinels - missing
    print(f"bad readings: {sentinels} sentinels, {missing} missing, {spikes} spikes; "
          f"{from_backup} filled from the backup, the rest with their column's mean")
    print_stats("before (good readings only):", x, tx.logical_not(bad))
    print_stats("after (every reading):", cleaned, tx.logical_not(tx.isnan(cleaned)))
    print("first readings, cleaned:", tx.array_str(cleaned.slice_range(0, 0, 3)))
    digest = hashlib.sha256(tx.to_bytes(cleaned)).hexdigest()[:16]
    print(f"cleaned table fingerprint (SHA-256 of its bits): {digest}")
    if args.out is not None:
        write_csv(args.out, cleaned)
        print(f"wrote {args.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
