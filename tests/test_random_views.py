"""Randomized comparison with the model: element reads, the shape, and the copies made
through views (reshape, transpose, row, column and range slices)."""

import pytest
from hypothesis import given
from hypothesis import strategies as st

from differential import one_call

METHODS = ["get", "shape", "reshape", "transpose", "slice_row", "slice_col", "slice_range"]


@pytest.mark.parametrize("name", METHODS)
@given(data=st.data())
def test_method_matches_the_model(name, data):
    one_call(data, name, matrices=name in ("transpose", "slice_row", "slice_col"))
