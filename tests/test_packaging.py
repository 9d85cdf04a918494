"""The module as packaged: its exp is the interpreter's C library's, an installed release wheel
is what the tests import and needs only glibc, and the release checks judge tags correctly."""

import math
import os
import random
import re
import subprocess
import sys
import sysconfig
from pathlib import Path

import pytest
from helpers import values
from tarnex import PyNDArray

TOOLS = Path(__file__).resolve().parent.parent / "tools"
sys.path.insert(0, str(TOOLS))
import check_wheel  # noqa: E402

RELEASE_WHEEL = os.environ.get("TARNEX_TEST_INSTALLED") == "1"


def test_exp_is_the_c_librarys():
    # A C library function linked into the module from elsewhere (a compiler's support
    # library carries its own exp) gives other last bits than math.exp for a share of inputs.
    # Below -36, 1 / (exp(-x) + 1) rounds to 1 / exp(-x), so each exp bit shows; from -709.78
    # on down exp(-x) overflows (and math.exp raises).
    rng = random.Random(20240611)
    xs = [rng.uniform(-709.78, 40.0) for _ in range(20000)]
    got = values(PyNDArray(xs, [len(xs)]).sigmoid())
    wrong = [x for x, y in zip(xs, got) if y != 1.0 / (math.exp(-x) + 1.0)]
    assert not wrong, f"{len(wrong)} of {len(xs)} differ, e.g. sigmoid({wrong[0]!r})"


@pytest.mark.skipif(not RELEASE_WHEEL, reason="only for an installed release wheel")
def test_the_installed_wheel_is_imported():
    import tarnex

    site = Path(sysconfig.get_paths()["platlib"]).resolve()
    assert Path(tarnex.__file__).resolve() == site / check_wheel.MODULE


@pytest.mark.skipif(not RELEASE_WHEEL, reason="only for an installed release wheel")
def test_the_release_module_needs_only_glibc():
    import tarnex

    readelf = subprocess.run(["readelf", "-d", "--wide", tarnex.__file__],
                             capture_output=True, text=True)
    if readelf.returncode != 0:
        pytest.skip("readelf is not available")
    needed = check_wheel.needed_libraries(readelf.stdout)
    assert "libc.so.6" in needed
    assert set(needed) <= check_wheel.GLIBC_LIBRARIES


@pytest.mark.parametrize("tag, version", [
    ("manylinux_2_28_x86_64", (2, 28)),
    ("manylinux_2_5_x86_64", (2, 5)),
    ("manylinux2014_x86_64", (2, 17)),
    ("manylinux1_x86_64", (2, 5)),
    ("manylinux_2_28_aarch64", None),
    ("linux_x86_64", None),
    ("musllinux_1_2_x86_64", None),
])
def test_manylinux_version(tag, version):
    assert check_wheel.manylinux_version(tag) == version


@pytest.mark.parametrize("name, tags", [
    ("tarnex-0.1.0-cp38-abi3-manylinux_2_17_x86_64.whl",
     ("cp38", "abi3", ["manylinux_2_17_x86_64"])),
    ("tarnex-0.1.0-cp38-abi3-manylinux2014_x86_64.manylinux_2_17_x86_64.whl",
     ("cp38", "abi3", ["manylinux2014_x86_64", "manylinux_2_17_x86_64"])),
    ("tarnex-0.1.0-1-cp38-abi3-linux_x86_64.whl", ("cp38", "abi3", ["linux_x86_64"])),
])
def test_wheel_tags(name, tags):
    assert check_wheel.wheel_tags(name) == tags


def test_audited_platform_reads_wrapped_output():
    show = ('\ntarnex-0.1.0-cp38-abi3-linux_x86_64.whl is consistent with\nthe following '
            'platform tag: "manylinux_2_17_x86_64".\n\nThe wheel references external ...')
    assert check_wheel.audited_platform(show) == "manylinux_2_17_x86_64"
    with pytest.raises(check_wheel.CheckFailed):
        check_wheel.audited_platform("tarnex.whl is not consistent with any platform")


@pytest.mark.parametrize("name, audited, problem", [
    ("tarnex-0.1.0-cp38-abi3-manylinux2014_x86_64.manylinux_2_17_x86_64.whl",
     "manylinux_2_17_x86_64", None),
    ("tarnex-0.1.0-cp38-abi3-manylinux_2_28_x86_64.whl", "manylinux_2_28_x86_64", None),
    ("tarnex-0.1.0-cp38-abi3-manylinux_2_35_x86_64.whl", "manylinux_2_35_x86_64", "newer"),
    ("tarnex-0.1.0-cp38-abi3-manylinux_2_17_x86_64.whl", "manylinux_2_28_x86_64",
     "places it at"),
    ("tarnex-0.1.0-cp38-abi3-manylinux_2_28_x86_64.whl", "manylinux_2_17_x86_64",
     "places it at"),
    ("tarnex-0.1.0-cp38-abi3-linux_x86_64.whl", "manylinux_2_17_x86_64", "not a manylinux"),
    ("tarnex-0.1.0-cp311-cp311-manylinux_2_17_x86_64.whl", "manylinux_2_17_x86_64",
     "not cp38-abi3"),
])
def test_check_tags(name, audited, problem):
    if problem is None:
        check_wheel.check_tags(Path(name), audited)
    else:
        with pytest.raises(check_wheel.CheckFailed, match=re.escape(problem)):
            check_wheel.check_tags(Path(name), audited)


def test_needed_libraries():
    dynamic = """
 0x0000000000000001 (NEEDED)             Shared library: [libm.so.6]
 0x0000000000000001 (NEEDED)             Shared library: [libstdc++.so.6]
 0x000000000000000e (SONAME)             Library soname: [libx.so]
"""
    assert check_wheel.needed_libraries(dynamic) == ["libm.so.6", "libstdc++.so.6"]


def test_fused_instructions():
    code = """
   2ab36:\tvmulpd (%rdx){1to8},%zmm1,%zmm1
   2ab3c:\tvaddpd %zmm1,%zmm0,%zmm0
   2ab42:\tvfmadd231pd %ymm2,%ymm1,%ymm0
   2ab48:\tvfnmsub213sd %xmm2,%xmm1,%xmm0
   2ab4e:\tvfmaddsubpd %xmm3,%xmm2,%xmm1,%xmm0
   2ab54:\tcall   5d190 <fmadd_table_lookup>
"""
    assert check_wheel.fused_instructions(code) == ["vfmadd231pd", "vfnmsub213sd", "vfmaddsubpd"]
    sections = ("Disassembly of section .text:\n" + code +
                "Disassembly of section tarnex_fused:\n   5d190:\tvfmadd231pd %ymm2,%ymm1,%ymm0\n")
    assert check_wheel.fused_instructions(sections, "tarnex_fused") == [
        "vfmadd231pd", "vfnmsub213sd", "vfmaddsubpd"]
    assert check_wheel.fused_instructions(sections, ".text") == ["vfmadd231pd"]
