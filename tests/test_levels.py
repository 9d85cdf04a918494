"""The instruction-set level a build runs its kernels at: a build pinned to a level (the
per-level test runs set TARNEX_EXPECT_ISA) must really run at it, or those runs would check
the same kernels three times."""

import os

import pytest

EXPECTED = os.environ.get("TARNEX_EXPECT_ISA")


@pytest.mark.skipif(EXPECTED is None, reason="not a run pinned to one level")
def test_pinned_build_runs_at_its_level():
    tarnex_io = pytest.importorskip("tarnex_io")
    assert tarnex_io.instruction_set() == EXPECTED
    info = tarnex_io.build_info()
    assert info["instruction_set"] == EXPECTED and info["build_cap"] == EXPECTED
