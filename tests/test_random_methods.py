"""Randomized comparison with the model, one method at a time, on awkward floats and with
wrong arguments: element-wise arithmetic, activations, scans, reductions and the matrix
product; element reads, the shape and the copies made through views; gather, fancy_index,
boolean_mask and where_; the in-place writes set_slice and masked_fill (the pool check after
each call also shows that a failed write changed nothing and that every array can be
borrowed again)."""

import pytest
from hypothesis import given
from hypothesis import strategies as st

from differential import one_call

METHODS = ["add", "mul", "scale", "relu", "sigmoid", "softmax", "cumsum", "sum", "mean",
           "argmax", "matmul", "matmul_blas",
           "get", "shape", "reshape", "transpose", "slice_row", "slice_col", "slice_range",
           "gather", "fancy_index", "boolean_mask", "where_",
           "set_slice", "masked_fill"]
# The methods whose operands are drawn as matrices.
ON_MATRICES = {"matmul", "matmul_blas", "transpose", "slice_row", "slice_col"}


@pytest.mark.parametrize("name", METHODS)
@given(data=st.data())
def test_method_matches_the_model(name, data):
    one_call(data, name, matrices=name in ON_MATRICES)
