"""Randomized comparison with the model: the constructors and the argument matcher of every
method (too many positional arguments, unknown and repeated keywords, missing parameters,
and the interpreter's own messages for methods without parameters)."""

import pytest
from hypothesis import given
from hypothesis import strategies as st

import reference as ref
from strategies import any_call_form, constructor_call, make_pool, pool_contents


@pytest.mark.parametrize("is_mask", [False, True], ids=["PyNDArray", "PyBoolArray"])
@given(data=st.data())
def test_constructor_matches_the_model(is_mask, data):
    pool = make_pool(data.draw(pool_contents(), label="pool"))
    args, kwargs = data.draw(constructor_call(pool, is_mask), label="arguments")
    pool.construct(is_mask, args, kwargs)
    pool.check()


@pytest.mark.parametrize("name", sorted(ref.METHODS))
@given(data=st.data())
def test_any_call_form_matches_the_model(name, data):
    pool = make_pool(data.draw(pool_contents(), label="pool"))
    params = ref.METHODS[name][0]
    names = [n for n, _ in params] if params else []
    args, kwargs = data.draw(any_call_form(pool, names), label="arguments")
    pool.call(0, name, args, kwargs)
    pool.check()


@given(data=st.data())
def test_bool_array_shape_matches_the_model(data):
    pool = make_pool(data.draw(pool_contents(), label="pool"))
    args, kwargs = data.draw(any_call_form(pool, []), label="arguments")
    receiver = data.draw(st.integers(0, len(pool.mask_pairs) - 1), label="receiver")
    pool.call(receiver, "shape", args, kwargs, is_mask=True)
    pool.check()
