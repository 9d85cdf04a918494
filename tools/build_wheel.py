"""Builds the release wheel of tarnex, one that installs on any x86-64 Linux with glibc 2.17 or
newer (RHEL/CentOS 7, Debian 8, Ubuntu 14.04 and later):

    python tools/build_wheel.py [--out DIR] [--isa LEVEL]

writes DIR/tarnex-<version>-cp38-abi3-manylinux2014_x86_64.manylinux_2_17_x86_64.whl (DIR
defaults to dist/) and checks it with tools/check_wheel.py. With --isa the kernels are pinned
to one instruction-set level: a wheel for testing, not for release (see tests/run_levels.sh).

The ordinary `pip install .` compiles with the system's g++ against the system's glibc and
libstdc++, so its module needs those versions or newer. This build instead compiles with the
clang that the pinned `ziglang` package ships, aimed at glibc 2.17: it links against stubs of
that glibc's libraries, so only symbols that glibc 2.17 has are referenced, and links libc++
in statically, so the module needs nothing but glibc. Sources and floating-point flags
(-O3 -ffp-contract=off, never fast-math) are those of the ordinary build.

Needs: g++ (its libgcc.a provides the compiler-support routines, see CMakeLists.txt), and
binutils; everything else comes into build/release-tools from the package index.
"""

import argparse
import os
import shutil
import stat
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_wheel  # noqa: E402
from release_env import ROOT, pip_env, run, tools_bin  # noqa: E402

GLIBC = "2.17"
# The kernel of the oldest distributions with glibc 2.17 (CentOS 7).
KERNEL = "3.10"
PLATFORM = "manylinux_2_17_x86_64"
WORK = ROOT / "build" / "release"

# The compiler as CMake sees it. zig turns every optimisation level into clang's -O2 and
# turns frame pointers and debug information on, so the wrapper asks clang itself for -O3
# and gives back the usual release defaults.
WRAPPER = """#!/bin/sh
# Written by tools/build_wheel.py: the release compiler, aimed at glibc {glibc}.
case " $* " in
  *" -O3 "*) set -- "$@" -Xclang -O3 ;;
esac
exec "{zig}" c++ -target x86_64-linux.{kernel}-gnu.{glibc} "$@" -fomit-frame-pointer -g0
"""


def zig_binary(python):
    out = subprocess.run(
        [str(python), "-c", "import os, ziglang; print(os.path.dirname(ziglang.__file__))"],
        check=True, capture_output=True, text=True,
    ).stdout.strip()
    return Path(out) / "zig"


def builtins_archive():
    """libgcc.a of the system's GCC: CPU feature detection and the other support routines."""
    gcc = shutil.which("gcc") or shutil.which("g++")
    if gcc is None:
        sys.exit("build_wheel: needs gcc/g++ (for libgcc.a)")
    path = subprocess.run(
        [gcc, "-print-libgcc-file-name"], check=True, capture_output=True, text=True
    ).stdout.strip()
    if not Path(path).is_file():
        sys.exit(f"build_wheel: {gcc} names no libgcc.a ({path!r})")
    return Path(path)


def write_wrapper(zig, cmake_dir):
    """Writes the compiler wrapper; a changed wrapper also discards the CMake build, whose
    objects the build tool would otherwise keep."""
    path = WORK / "bin" / "c++"
    path.parent.mkdir(parents=True, exist_ok=True)
    text = WRAPPER.format(zig=zig, glibc=GLIBC, kernel=KERNEL)
    if not path.exists() or path.read_text() != text:
        shutil.rmtree(cmake_dir, ignore_errors=True)
        path.write_text(text)
        path.chmod(path.stat().st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)
    return path


def check_no_bundled_c_library(module):
    """The zig support library carries its own exp, memcpy, ... next to the routines a
    compiler needs; linked in, they would silently replace glibc's (and change results).
    Its symbols all start with "compiler_rt.", so before stripping none may be present."""
    symbols = subprocess.run(
        ["nm", str(module)], check=True, capture_output=True, text=True
    ).stdout
    bundled = sorted({line.split()[-1] for line in symbols.splitlines()
                      if line.split() and line.split()[-1].startswith("compiler_rt.")})
    if bundled:
        sys.exit(f"build_wheel: the zig support library was linked in: {bundled[:8]} ...")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", type=Path, default=ROOT / "dist",
                        help="directory for the wheel (default: dist/)")
    parser.add_argument("--isa", choices=("avx512", "avx2", "baseline"),
                        help="pin the kernels to one instruction-set level (a test build, so "
                             "that the release compiler's code of every level is tested on "
                             "one machine)")
    args = parser.parse_args()
    for tool in ("nm", "readelf", "objdump", "strip"):
        if shutil.which(tool) is None:
            sys.exit(f"build_wheel: needs {tool} (binutils)")

    bindir = tools_bin()
    # A pinned build keeps its own directories, so that it leaves the release build's alone.
    suffix = "" if args.isa is None else f"-{args.isa}"
    cmake_dir = WORK / f"cmake{suffix}"
    compiler = write_wrapper(zig_binary(bindir / "python"), cmake_dir)
    raw = WORK / f"raw{suffix}"
    level = [] if args.isa is None else [f"--config-settings=cmake.define.TARNEX_ISA={args.isa}"]
    shutil.rmtree(raw, ignore_errors=True)
    env = pip_env()
    env["PATH"] = f"{bindir}{os.pathsep}{env.get('PATH', '')}"

    print(f"== building the release module (zig c++, glibc {GLIBC}) ==", flush=True)
    run([bindir / "python", "-m", "pip", "wheel", "--no-build-isolation", "--no-deps",
         "-w", raw, ROOT,
         f"--config-settings=cmake.define.CMAKE_CXX_COMPILER={compiler}",
         "--config-settings=cmake.define.TARNEX_PORTABLE_WHEEL=ON",
         f"--config-settings=cmake.define.TARNEX_BUILTINS_ARCHIVE={builtins_archive()}",
         f"--config-settings=build-dir={cmake_dir}", *level], env=env)
    for name in check_wheel.MODULES:
        check_no_bundled_c_library(cmake_dir / name)
    [built] = raw.glob("*.whl")

    repaired = WORK / f"repaired{suffix}"
    shutil.rmtree(repaired, ignore_errors=True)
    run([bindir / "auditwheel", "repair", "--plat", PLATFORM, "--only-plat", "-w", repaired,
         built], env=env)
    [tagged] = repaired.glob("*.whl")
    args.out.mkdir(parents=True, exist_ok=True)
    name, version = built.name.split("-")[:2]
    for old in args.out.glob(f"{name}-{version}-*manylinux*.whl"):
        old.unlink()
    wheel = args.out / tagged.name
    shutil.move(str(tagged), str(wheel))
    try:
        check_wheel.check(wheel, bindir)
    except check_wheel.CheckFailed as e:
        sys.exit(f"build_wheel: {e}")
    print(f"wrote {wheel}")


if __name__ == "__main__":
    main()
