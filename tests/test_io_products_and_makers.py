"""The companion's products, index functions, array makers and pickling against numpy and
against tarnex's own methods, on random shapes and values."""
import pickle

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import tarnex
import tarnex_io as tx

VALUES = st.sampled_from([0.0, -0.0, 1.5, -2.25, 1e-310, 3.0, 7.0, -1e300])


def bits(a):
    return tx.to_numpy(a).view(np.uint64)


@settings(max_examples=60, deadline=None)
@given(st.integers(0, 9), st.integers(0, 9), st.integers(0, 9), st.data())
def test_transposed_products_equal_transpose_then_matmul(m, k, n, data):
    a = np.array(data.draw(st.lists(VALUES, min_size=k * m, max_size=k * m))).reshape(k, m)
    b = np.array(data.draw(st.lists(VALUES, min_size=n * k, max_size=n * k))).reshape(n, k)
    ta, tb = tarnex.PyNDArray(a.ravel(), [k, m]), tarnex.PyNDArray(b.ravel(), [n, k])
    expected = ta.transpose().matmul(tb.transpose())
    assert (bits(tx.matmul(ta, tb, transpose_a=True, transpose_b=True)) == bits(expected)).all()
    tat = ta.transpose()
    assert (bits(tx.matmul(tat, tb, transpose_b=True)) == bits(tat.matmul(tb.transpose()))).all()


def test_one_hot_and_add_at_match_numpy():
    rng = np.random.default_rng(3)
    labels = rng.integers(0, 5, size=40).astype(float)
    got = tx.to_numpy(tx.one_hot(tx.asarray(labels), 5))
    assert (got == np.eye(5)[labels.astype(int)]).all()
    with pytest.raises(ValueError):
        tx.one_hot(tx.asarray([0.5]), 3)
    target = rng.standard_normal((6, 3))
    indices = [int(i) for i in rng.integers(0, 6, size=20)]
    values = rng.standard_normal((20, 3))
    ours = tarnex.PyNDArray(target.ravel(), [6, 3])
    tx.add_at(ours, 0, indices, tarnex.PyNDArray(values.ravel(), [20, 3]))
    np.add.at(target, indices, values)
    assert (tx.to_numpy(ours).view(np.uint64) == target.view(np.uint64)).all()


@settings(max_examples=40, deadline=None)
@given(st.lists(st.integers(0, 4), min_size=0, max_size=3))
def test_makers_and_pickling_match_numpy(shape):
    x = np.arange(int(np.prod(shape)), dtype=float).reshape(shape) * 0.5 - 1.0
    a = tx.asarray(x)
    assert a.shape() == list(shape) and (bits(a) == x.view(np.uint64)).all()
    assert (tx.to_numpy(tx.zeros(shape)) == np.zeros(shape)).all()
    assert (tx.to_numpy(tx.full(shape, 2.5)) == np.full(shape, 2.5)).all()
    back = pickle.loads(pickle.dumps(a))
    assert back.shape() == list(shape) and tx.to_bytes(back) == tx.to_bytes(a)


def test_arange_eye_and_joins_match_numpy():
    # Values are start + i * step, each rounded once; numpy steps by (start + step) - start,
    # so the two may differ in the last bit.
    np.testing.assert_allclose(tx.to_numpy(tx.arange(0.1, 2.0, 0.3)), np.arange(0.1, 2.0, 0.3),
                               rtol=1e-15)
    assert (tx.to_numpy(tx.eye(3, 4, 1)) == np.eye(3, 4, 1)).all()
    p, q = np.ones((2, 3)), np.zeros((1, 3))
    joined = tx.concatenate([tx.asarray(p), tx.asarray(q)], axis=0)
    assert (tx.to_numpy(joined) == np.concatenate([p, q])).all()
    stacked = tx.stack([tx.asarray(p), tx.asarray(p)], axis=1)
    assert tx.to_numpy(stacked).shape == np.stack([p, p], axis=1).shape
    assert tx.reshape(tx.asarray(p), [-1]).shape() == [6]
