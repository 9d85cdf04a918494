"""The pinned tool environment of the release build (build/release-tools).

It holds the release compiler and the wheel auditors at the versions that
tools/release-requirements.txt names, so that every release is built and checked by the same
tools whatever else is installed. It is made on first use and made again when the
requirements or the interpreter running the build change.
"""

import hashlib
import os
import shutil
import subprocess
import sys
import venv
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
REQUIREMENTS = ROOT / "tools" / "release-requirements.txt"
ENV_DIR = ROOT / "build" / "release-tools"


def run(cmd, **kwargs):
    """Runs a command, echoing it first; fails on a non-zero exit."""
    cmd = [str(c) for c in cmd]
    print("+", " ".join(cmd), flush=True)
    return subprocess.run(cmd, check=True, **kwargs)


def pip_env():
    """The environment for pip runs: quiet about its own version and about running as root."""
    env = dict(os.environ)
    env.setdefault("PIP_DISABLE_PIP_VERSION_CHECK", "1")
    env.setdefault("PIP_ROOT_USER_ACTION", "ignore")
    return env


def tools_bin():
    """The bin directory of the tool environment, made or refreshed as needed."""
    stamp = ENV_DIR / "requirements.sha256"
    wanted = hashlib.sha256(
        REQUIREMENTS.read_bytes() + sys.executable.encode() + sys.version.encode()
    ).hexdigest()
    bindir = ENV_DIR / "bin"
    if stamp.exists() and stamp.read_text() == wanted and (bindir / "python").exists():
        return bindir
    if ENV_DIR.exists():
        shutil.rmtree(ENV_DIR)
    print(f"== making the release tool environment in {ENV_DIR} ==", flush=True)
    venv.create(ENV_DIR, with_pip=True)
    run([bindir / "python", "-m", "pip", "install", "-q", "-r", REQUIREMENTS], env=pip_env())
    stamp.write_text(wanted)
    return bindir
