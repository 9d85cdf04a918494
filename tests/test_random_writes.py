"""Randomized comparison with the model: the in-place writes set_slice and masked_fill. The
pool check after each call also shows that a failed write changed nothing and that every
array can be borrowed again."""

import pytest
from hypothesis import given
from hypothesis import strategies as st

from differential import one_call

METHODS = ["set_slice", "masked_fill"]


@pytest.mark.parametrize("name", METHODS)
@given(data=st.data())
def test_method_matches_the_model(name, data):
    one_call(data, name)
