"""Installs one built wheel into a fresh virtual environment of every CPython from 3.8 on that
this machine has, and runs the checkout's test suite there against the installed module.

    python tools/test_wheel.py dist/tarnex-<version>-cp38-abi3-<platform>.whl [--python 3.8 ...]

Interpreters are looked for under pyenv's versions folder and on PATH; a missing one is
skipped with a line saying so. The tests run from an empty folder, so that `import tarnex`
finds the installed module, not a build in the checkout; TARNEX_TEST_INSTALLED tells the
suite to check that. Exits non-zero unless every interpreter found passes.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from release_env import ROOT, pip_env  # noqa: E402

OLDEST_MINOR = 8
# The versions the wheel is built for; a missing one of these is reported as skipped.
EXPECTED_MINORS = range(OLDEST_MINOR, 14)


def pyenv_versions_dir():
    root = os.environ.get("PYENV_ROOT") or os.path.expanduser("~/.pyenv")
    return Path(root) / "versions"


def find_interpreters():
    """{minor: path} of the newest CPython 3.minor (minor >= 8) under pyenv, else on PATH."""
    found = {}
    versions = pyenv_versions_dir()
    if versions.is_dir():
        for entry in versions.iterdir():
            m = re.fullmatch(r"3\.(\d+)\.(\d+)", entry.name)
            python = entry / "bin" / "python3"
            if not m or int(m.group(1)) < OLDEST_MINOR or not python.exists():
                continue
            minor, patch = int(m.group(1)), int(m.group(2))
            if minor not in found or patch > found[minor][0]:
                found[minor] = (patch, python)
    result = {minor: python for minor, (_, python) in found.items()}
    for minor in EXPECTED_MINORS:
        if minor not in result and shutil.which(f"python3.{minor}"):
            result[minor] = Path(shutil.which(f"python3.{minor}"))
    return result


def run_logged(cmd, log, **kwargs):
    """Runs cmd with its output appended to log; returns the exit code."""
    with open(log, "a") as f:
        f.write("+ " + " ".join(str(c) for c in cmd) + "\n")
        f.flush()
        return subprocess.run([str(c) for c in cmd], stdout=f, stderr=subprocess.STDOUT,
                              **kwargs).returncode


def pytest_summary(log):
    """The last line of pytest's closing summary in the log, e.g. '734 passed in 18.52s'."""
    lines = [line.strip("= \n") for line in open(log, errors="replace")]
    hits = [line for line in lines if re.search(r"\d+ (passed|failed|error)", line)]
    return hits[-1] if hits else "no pytest summary"


def test_env():
    env = pip_env()
    env.pop("PYTHONPATH", None)
    # Six interpreters in a row: the randomized tests take their shorter profile here (the
    # main run has the full one).
    env["TARNEX_HYPOTHESIS_PROFILE"] = "level"
    return env


def install(python, wheel, work):
    """Makes a venv of `python` in work/venv and installs the wheel with its test extra.
    Returns (ok, seconds)."""
    start = time.monotonic()
    log = work / "log.txt"
    ok = run_logged([python, "-m", "venv", work / "venv"], log) == 0
    ok = ok and run_logged([work / "venv" / "bin" / "python", "-m", "pip", "install", "-q",
                            "--no-compile", f"{wheel}[test]"], log, env=test_env()) == 0
    return ok, time.monotonic() - start


def run_tests(work):
    """Runs the checkout's test suite with work/venv from an empty folder. Returns (ok, seconds)."""
    start = time.monotonic()
    run_dir = work / "run"
    run_dir.mkdir()
    env = test_env()
    env["TARNEX_TEST_INSTALLED"] = "1"
    ok = run_logged([work / "venv" / "bin" / "python", "-m", "pytest", "-p", "no:cacheprovider",
                     "-q", ROOT / "tests"], work / "log.txt", cwd=run_dir, env=env) == 0
    return ok, time.monotonic() - start


def python_version(python):
    return subprocess.run([str(python), "-c", "import platform; print(platform.python_version())"],
                          check=True, capture_output=True, text=True).stdout.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("wheel", type=Path)
    parser.add_argument("--python", action="append", default=[],
                        help="only these versions, e.g. 3.8 (may be repeated)")
    args = parser.parse_args()
    wheel = args.wheel.resolve()
    if not wheel.is_file():
        sys.exit(f"test_wheel: no such wheel: {wheel}")

    interpreters = find_interpreters()
    wanted = sorted(set(EXPECTED_MINORS) | set(interpreters))
    if args.python:
        wanted = [int(v.split(".")[1]) for v in args.python]
    for minor in wanted:
        if minor not in interpreters:
            print(f"skip: no CPython 3.{minor} on this machine", flush=True)
    versions = {m: python_version(interpreters[m]) for m in wanted if m in interpreters}
    if not versions:
        sys.exit("test_wheel: no interpreter to test with")

    results = []
    with tempfile.TemporaryDirectory(prefix="tarnex-wheel-") as tmp:
        works = {m: Path(tmp) / f"3.{m}" for m in versions}
        for work in works.values():
            work.mkdir()
        # The installs mostly wait on downloads and the disk, so they run side by side; the
        # test suites run one after another.
        print(f"== installing {wheel.name} into a venv of CPython "
              f"{', '.join(versions.values())} ==", flush=True)
        with ThreadPoolExecutor(max_workers=3) as pool:
            installs = {m: pool.submit(install, interpreters[m], wheel, works[m])
                        for m in versions}
            installed = {m: f.result() for m, f in installs.items()}
        for minor, version in versions.items():
            print(f"== CPython {version}: the test suite against the installed wheel ==",
                  flush=True)
            ok, install_s = installed[minor]
            test_s = 0.0
            summary = "install failed"
            if ok:
                ok, test_s = run_tests(works[minor])
                summary = pytest_summary(works[minor] / "log.txt")
            if not ok:
                sys.stdout.write(open(works[minor] / "log.txt", errors="replace").read()[-20000:])
            print(f"   {'ok' if ok else 'FAILED'}: {summary}", flush=True)
            results.append((version, ok, summary, install_s, test_s))

    print("== the wheel on every interpreter ==")
    for version, ok, summary, install_s, test_s in results:
        print(f"   CPython {version:8} {'ok    ' if ok else 'FAILED'} {summary}; "
              f"install {install_s:.0f} s, tests {test_s:.0f} s")
    if not all(ok for _, ok, *_ in results):
        sys.exit("test_wheel: not every interpreter passed")


if __name__ == "__main__":
    main()
