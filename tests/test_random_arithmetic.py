"""Randomized comparison with the model: element-wise arithmetic, activations, scans,
reductions and the matrix product, on awkward floats and with wrong arguments."""

import pytest
from hypothesis import given
from hypothesis import strategies as st

from differential import one_call

METHODS = ["add", "mul", "scale", "relu", "sigmoid", "softmax", "cumsum", "sum", "mean",
           "argmax", "matmul", "matmul_blas"]


@pytest.mark.parametrize("name", METHODS)
@given(data=st.data())
def test_method_matches_the_model(name, data):
    one_call(data, name, matrices=name.startswith("matmul"))
