"""Builds the source distribution and checks that it builds and installs like a checkout:

    python tools/test_sdist.py [--out DIR]

writes DIR/tarnex-<version>.tar.gz (DIR defaults to dist/), installs it with pip into a fresh
virtual environment of the running interpreter (compiled by the system's g++, as
`pip install .` does), and imports the installed module from an empty folder.
"""

import argparse
import sys
import tarfile
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from release_env import ROOT, pip_env, run, tools_bin  # noqa: E402

# Files a build from the sdist cannot do without.
REQUIRED = ["pyproject.toml", "CMakeLists.txt", "README.md", "src/python/exports.map"]

SMOKE = """
import sysconfig, tarnex
from pathlib import Path
site = Path(sysconfig.get_paths()["platlib"]).resolve()
assert Path(tarnex.__file__).resolve().parent == site, tarnex.__file__
a = tarnex.PyNDArray([1.0, 2.0, 3.0, 4.0], [2, 2])
assert a.matmul(a).sum() == 54.0
print("imported", tarnex.__file__)
"""


def check_contents(sdist):
    with tarfile.open(sdist) as tf:
        names = tf.getnames()
    top = names[0].split("/")[0]
    files = {n[len(top) + 1:] for n in names if n.startswith(top + "/")}
    missing = [f for f in REQUIRED if f not in files]
    if missing or not any(f.startswith("src/lib/") and f.endswith(".cpp") for f in files):
        sys.exit(f"test_sdist: {sdist.name} lacks {missing or 'the C++ sources'}")
    stray = sorted(f for f in files if f.startswith(("build/", "dist/")) or f.endswith(".so"))
    if stray:
        sys.exit(f"test_sdist: {sdist.name} carries build output: {stray[:5]}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", type=Path, default=ROOT / "dist")
    args = parser.parse_args()
    bindir = tools_bin()
    out = args.out.resolve()
    for old in out.glob("tarnex-*.tar.gz"):
        old.unlink()
    run([bindir / "python", "-m", "build", "--sdist", "--outdir", out, ROOT], env=pip_env())
    [sdist] = out.glob("tarnex-*.tar.gz")
    check_contents(sdist)
    with tempfile.TemporaryDirectory(prefix="tarnex-sdist-") as tmp:
        env_dir = Path(tmp) / "venv"
        run([sys.executable, "-m", "venv", env_dir])
        python = env_dir / "bin" / "python"
        run([python, "-m", "pip", "install", "-q", sdist], env=pip_env())
        run([python, "-c", SMOKE], cwd=tmp)
    print(f"ok: {sdist.name} builds, installs and imports")


if __name__ == "__main__":
    main()
