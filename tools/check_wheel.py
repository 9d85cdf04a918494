"""Checks a release wheel before it is published.

    python tools/check_wheel.py dist/tarnex-<version>-cp38-abi3-<platform>.whl

- its name carries cp38-abi3;
- abi3audit finds no use of the C API beyond the stable ABI of CPython 3.8;
- `auditwheel show` places it at manylinux_2_28 or older, and the platform tags it carries
  are exactly that one (with its legacy alias, such as manylinux2014 for manylinux_2_17);
- each module (tarnex and its companion tarnex_io) needs no shared library but glibc's, has
  no run path, exports nothing but its entry point, is stripped, and holds no fused
  multiply-add instruction (every product and sum is rounded on its own, whatever the
  compiler's default contraction).

Prints what the auditors said and exits non-zero on the first failed check.
"""

import re
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from release_env import run, tools_bin  # noqa: E402

NEWEST_PLATFORM = (2, 28)
MODULE = "tarnex.abi3.so"
# Every extension module of the wheel, with the one symbol it may export.
MODULES = {MODULE: "PyInit_tarnex", "tarnex_io.abi3.so": "PyInit_tarnex_io"}
# glibc's own libraries; the C++ runtime is linked into the module.
GLIBC_LIBRARIES = {
    "libc.so.6",
    "libm.so.6",
    "libpthread.so.0",
    "libdl.so.2",
    "librt.so.1",
    "ld-linux-x86-64.so.2",
}


class CheckFailed(Exception):
    pass


# The legacy names of manylinux_2_5, _2_12 and _2_17.
LEGACY_MANYLINUX = {"manylinux1": (2, 5), "manylinux2010": (2, 12), "manylinux2014": (2, 17)}


def manylinux_version(tag):
    """(2, 28) for manylinux_2_28_x86_64 (and (2, 17) for manylinux2014_x86_64); None for any
    other platform tag."""
    m = re.fullmatch(r"manylinux_(\d+)_(\d+)_x86_64", tag)
    if m:
        return int(m.group(1)), int(m.group(2))
    m = re.fullmatch(r"(manylinux\d+)_x86_64", tag)
    return LEGACY_MANYLINUX.get(m.group(1)) if m else None


def wheel_tags(filename):
    """The (python, abi, platforms) tags of a wheel file name; platforms is a list."""
    parts = Path(filename).name[: -len(".whl")].split("-")
    if len(parts) not in (5, 6):
        raise CheckFailed(f"not a wheel file name: {filename}")
    python, abi, platforms = parts[-3:]
    return python, abi, platforms.split(".")


def audited_platform(show_output):
    """The platform tag that `auditwheel show` reports the wheel to be consistent with."""
    text = " ".join(show_output.split())
    m = re.search(r'consistent with the following platform tag: "([^"]+)"', text)
    if not m:
        raise CheckFailed("no platform tag in the output of auditwheel show")
    return m.group(1)


def check_tags(wheel, audited):
    python, abi, platforms = wheel_tags(wheel)
    if (python, abi) != ("cp38", "abi3"):
        raise CheckFailed(f"{wheel.name}: tagged {python}-{abi}, not cp38-abi3")
    audited_version = manylinux_version(audited)
    if audited_version is None or audited_version > NEWEST_PLATFORM:
        raise CheckFailed(f"auditwheel places the wheel at {audited}, newer than manylinux_2_28")
    for tag in platforms:
        version = manylinux_version(tag)
        if version is None:
            raise CheckFailed(f"{wheel.name}: platform tag {tag} is not a manylinux tag")
        if version != audited_version:
            raise CheckFailed(f"{wheel.name}: tagged {tag}, but auditwheel places it at {audited}")


def needed_libraries(readelf_dynamic):
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", readelf_dynamic)


# The one section allowed to hold fused multiply-adds: the exponential's variant that
# reproduces the C library's build with them, rounding for rounding, and the division whose
# fused corrections give exactly the divider's quotients.
FUSED_SECTION = "tarnex_fused"


def fused_instructions(disassembly, allowed_section=None):
    """The fused multiply-add mnemonics (FMA3 and FMA4) in the output of objdump -d, outside
    the section named allowed_section."""
    found = []
    section = None
    for line in disassembly.splitlines():
        header = re.match(r"Disassembly of section (\S+):", line)
        if header:
            section = header.group(1)
            continue
        if section is not None and section == allowed_section:
            continue
        match = re.match(r"^\s*[0-9a-f]+:\s+(v?f(?:n?m(?:add|sub)|maddsub|msubadd)\w*)", line)
        if match:
            found.append(match.group(1))
    return found


def check_module(module, name, entry_point):
    dynamic = subprocess.run(
        ["readelf", "-d", "--wide", str(module)], check=True, capture_output=True, text=True
    ).stdout
    needed = needed_libraries(dynamic)
    print(f"NEEDED: {' '.join(needed)}")
    foreign = sorted(set(needed) - GLIBC_LIBRARIES)
    if foreign:
        raise CheckFailed(f"{name} needs libraries beyond glibc: {', '.join(foreign)}")
    if re.search(r"\((RPATH|RUNPATH)\)", dynamic):
        raise CheckFailed(f"{name} has a run path")
    sections = subprocess.run(
        ["readelf", "-S", "--wide", str(module)], check=True, capture_output=True, text=True
    ).stdout
    if re.search(r"\s\.(debug_\w+|symtab)\s", sections):
        raise CheckFailed(f"{name} is not stripped")
    code = subprocess.run(
        ["objdump", "-d", "--no-show-raw-insn", str(module)],
        check=True, capture_output=True, text=True,
    ).stdout
    fused = fused_instructions(code, FUSED_SECTION)
    if fused:
        raise CheckFailed(f"{name} has fused multiply-add instructions outside "
                          f"{FUSED_SECTION}: {sorted(set(fused))}")
    exported = subprocess.run(
        ["nm", "-D", "--defined-only", str(module)], check=True, capture_output=True, text=True
    ).stdout.split()[2::3]
    if exported != [entry_point]:
        raise CheckFailed(f"{name} exports {exported}, not only {entry_point}")


def check(wheel, bindir):
    wheel = Path(wheel)
    print(f"== checking {wheel.name} ({wheel.stat().st_size} bytes) ==", flush=True)
    with zipfile.ZipFile(wheel) as zf, tempfile.TemporaryDirectory() as tmp:
        for name, entry_point in MODULES.items():
            if name not in zf.namelist():
                raise CheckFailed(f"{wheel.name} has no {name} at its root")
            check_module(zf.extract(name, tmp), name, entry_point)
        [metadata] = [n for n in zf.namelist() if n.endswith(".dist-info/WHEEL")]
        recorded = set(re.findall(r"^Tag: (\S+)$", zf.read(metadata).decode(), re.MULTILINE))
    run([bindir / "abi3audit", "--strict", "--summary", "--verbose", wheel])
    show = run([bindir / "auditwheel", "show", wheel], capture_output=True, text=True).stdout
    print(show, flush=True)
    audited = audited_platform(show)
    check_tags(wheel, audited)
    python, abi, platforms = wheel_tags(wheel)
    if recorded != {f"{python}-{abi}-{p}" for p in platforms}:
        raise CheckFailed(f"the WHEEL file's tags {sorted(recorded)} differ from the file name's")
    print(f"ok: {wheel.name} (auditwheel: {audited})", flush=True)


def main(argv):
    if len(argv) != 1:
        sys.exit(__doc__)
    try:
        check(argv[0], tools_bin())
    except CheckFailed as e:
        sys.exit(f"check_wheel: {e}")


if __name__ == "__main__":
    main(sys.argv[1:])
