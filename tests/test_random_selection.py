"""Randomized comparison with the model: gather, fancy_index, boolean_mask and where_."""

import pytest
from hypothesis import given
from hypothesis import strategies as st

from differential import one_call

METHODS = ["gather", "fancy_index", "boolean_mask", "where_"]


@pytest.mark.parametrize("name", METHODS)
@given(data=st.data())
def test_method_matches_the_model(name, data):
    one_call(data, name)
