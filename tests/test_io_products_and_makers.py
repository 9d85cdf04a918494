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


TEXT_VALUES = st.sampled_from([0.0, -0.0, 1.5, -2.25, 1e-310, 0.1, 1e300, float("nan"),
                               float("inf"), float("-inf"), 123456789.0])


def parse_text(text):
    """The nested lists an array_str text spells (elements separated by spaces)."""
    words = text.replace("[", " [ ").replace("]", " ] ").split()
    stack = [[]]
    for word in words:
        if word == "[":
            stack.append([])
        elif word == "]":
            done = stack.pop()
            stack[-1].append(done)
        else:
            stack[-1].append({"True": True, "False": False}.get(word) if word in ("True", "False")
                             else float(word))
    return stack[0][0]


@settings(max_examples=60, deadline=None)
@given(st.lists(st.integers(1, 4), min_size=1, max_size=3), st.data())
def test_array_text_spells_every_element_exactly(shape, data):
    n = int(np.prod(shape))
    x = np.array(data.draw(st.lists(TEXT_VALUES, min_size=n, max_size=n))).reshape(shape)
    a = tx.asarray(x)
    back = np.array(parse_text(tx.array_str(a)), dtype=float)
    assert back.shape == x.shape and np.array_equal(back, x, equal_nan=True)
    assert (np.signbit(back) == np.signbit(x)).all()
    r = tx.array_repr(a)
    assert r.startswith("PyNDArray(") and r.endswith(f"shape={list(shape)})")
    m = tx.asarray(x > 1.0)
    assert np.array(parse_text(tx.array_str(m))).tolist() == (x > 1.0).tolist()
    assert tx.array_repr(m).startswith("PyBoolArray(")


@pytest.mark.parametrize("shape", [(1001,), (3, 400), (400, 3), (20, 20, 20)])
def test_long_arrays_elide_the_middle_of_every_long_axis(shape):
    x = np.arange(np.prod(shape), dtype=float).reshape(shape)
    text = tx.array_str(tx.asarray(x))
    expected = np.array2string(x, threshold=1000, edgeitems=3, separator=" ")
    assert text.count("...") == expected.count("...")
    shown = [float(w) for w in text.replace("[", " ").replace("]", " ").split() if w != "..."]
    assert shown == [float(w) for w in expected.replace("[", " ").replace("]", " ").split()
                     if w != "..."]


@settings(max_examples=40, deadline=None)
@given(st.lists(st.integers(0, 3), min_size=1, max_size=3), st.integers(1, 3), st.data())
def test_joins_and_reshape_match_numpy_and_refuse_cleanly(shape, count, data):
    axis = data.draw(st.integers(-len(shape), len(shape) - 1))
    parts = [np.random.default_rng(i).standard_normal(shape) for i in range(count)]
    ours = [tx.asarray(p) for p in parts]
    assert (bits(tx.concatenate(ours, axis=axis)) ==
            np.concatenate(parts, axis=axis).view(np.uint64)).all()
    assert (bits(tx.concatenate(ours, axis=None)) ==
            np.concatenate(parts, axis=None).view(np.uint64)).all()
    stack_axis = data.draw(st.integers(-len(shape) - 1, len(shape)))
    stacked = np.stack(parts, axis=stack_axis)
    got = tx.stack(ours, axis=stack_axis)
    assert got.shape() == list(stacked.shape) and (bits(got) == stacked.view(np.uint64)).all()
    flat = tx.reshape(ours[0], [-1])
    assert (bits(flat) == parts[0].ravel().view(np.uint64)).all()
    with pytest.raises(ValueError):
        tx.reshape(ours[0], [-1, -1])
    with pytest.raises(ValueError):
        tx.concatenate(ours + [tx.zeros(list(shape) + [2])], axis=0)


def test_asarray_reads_any_layout_and_dtype_and_add_at_refuses_before_writing():
    base = np.arange(60, dtype=np.float32).reshape(3, 4, 5)
    for x in (base[:, ::2, ::-1], base.transpose(2, 0, 1), base.astype(np.int16)[1:, :, ::3],
              np.asfortranarray(base.astype(np.float64))):
        got = tx.asarray(x)
        assert got.shape() == list(x.shape)
        assert (tx.to_numpy(got) == x.astype(np.float64)).all()
    assert tx.to_numpy(tx.asarray(base[:, :, 0] > 10)).dtype == np.bool_
    target = tx.asarray(np.ones((4, 2)))
    before = tx.to_bytes(target)
    with pytest.raises(IndexError):
        tx.add_at(target, 0, [0, 4], tx.ones([2, 2]))   # index 4 out of bounds, checked first
    with pytest.raises(ValueError):
        tx.add_at(target, 0, [0, 1], tx.ones([3, 2]))   # values of the wrong shape
    assert tx.to_bytes(target) == before


def double_it(a):
    return tx.multiply(a, 2.0)


def test_arrays_travel_through_a_process_pool():
    from concurrent.futures import ProcessPoolExecutor
    import multiprocessing
    x = tx.asarray(np.array([[1.5, float("nan")], [-0.0, 1e-310]]))
    with ProcessPoolExecutor(1, mp_context=multiprocessing.get_context("spawn")) as pool:
        got = pool.submit(double_it, x).result()
    assert tx.to_bytes(got) == tx.to_bytes(tx.multiply(x, 2.0))
