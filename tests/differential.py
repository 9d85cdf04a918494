"""Running one call on tarnex and on its model (reference.py) and comparing the outcomes: the
result bit for bit (struct-packed floats), or the exception's type and message, and every
array of the pool afterwards.
"""

import struct

import reference as ref
import tarnex
from hypothesis import reject


# ----------------------------------------------------------------------------------------
# Argument specs: what to pass, made once for the module and once for the model.


class Pooled:
    """The array at this position of one of the pool's lists of pairs."""

    pairs = None  # the name of the list

    def __init__(self, i):
        self.i = i

    def make(self, pool, side):
        return getattr(pool, self.pairs)[self.i][side]

    def __repr__(self):
        return f"{type(self).__name__}({self.i})"


class Arr(Pooled):
    """The float array at this position of the pool."""

    pairs = "float_pairs"


class Mask(Pooled):
    """The mask at this position of the pool."""

    pairs = "mask_pairs"


class Plain:
    """The same object on both sides (conversions never change it)."""

    def __init__(self, obj):
        self.obj = obj

    def make(self, pool, side):
        return self.obj

    def __repr__(self):
        return f"Plain({self.obj!r})"


class Seq:
    """A list or tuple of specs."""

    def __init__(self, kind, items):
        self.kind, self.items = kind, items

    def make(self, pool, side):
        items = [item.make(pool, side) for item in self.items]
        return items if self.kind == "list" else tuple(items)

    def __repr__(self):
        return f"Seq({self.kind!r}, {self.items!r})"


class Reentrant:
    """The module side of ref.Reentrant: its conversions call a method of `target` first."""

    def __init__(self, target, mode, value):
        self.target, self.mode, self.value = target, mode, value
        if mode == "write":
            shape = target.shape()
            self.mask = tarnex.PyBoolArray([False] * len_of(shape), shape)

    def run(self):
        if self.mode == "sum":
            self.target.sum()
        else:
            self.target.masked_fill(self.mask, 0.0)

    def __index__(self):
        self.run()
        return self.value

    def __float__(self):
        self.run()
        return float(self.value)


class Reent:
    def __init__(self, i, mode, value):
        self.i, self.mode, self.value = i, mode, value

    def make(self, pool, side):
        target = pool.float_pairs[self.i][side]
        if side == MODULE:
            return Reentrant(target, self.mode, self.value)
        return ref.Reentrant(target, self.mode, self.value)

    def __repr__(self):
        return f"Reent({self.i}, {self.mode!r}, {self.value})"


MODULE, MODEL = 0, 1


# ----------------------------------------------------------------------------------------
# Outcomes


def packed(xs):
    return struct.pack(f"<{len(xs)}d", *xs)


def values(a):
    """The shape and the elements of a tarnex array, read through the flat reshape."""
    shape = a.shape()
    flat = a.reshape([len_of(shape)])
    return shape, [flat.get([i]) for i in range(len_of(shape))]


def len_of(shape):
    n = 1
    for e in shape:
        n *= e
    return n


def bool_values(b, shape_of_model):
    """A PyBoolArray's elements, read by masking an array of ones."""
    n = len_of(shape_of_model)
    picked = tarnex.PyNDArray(list(map(float, range(n))), shape_of_model).boolean_mask(b)
    chosen = {int(picked.get([i])) for i in range(picked.shape()[0])}
    return b.shape(), [i in chosen for i in range(n)]


def module_outcome(fn):
    try:
        return "ok", fn()
    except Exception as e:  # an ordinary exception
        return "raise", type(e).__name__, str(e)
    except BaseException as e:
        cls = type(e)
        if (cls.__module__, cls.__name__) != ("pyo3_runtime", "PanicException"):
            raise
        assert Exception not in cls.__mro__
        assert len(e.args) == 1 and isinstance(e.args[0], str)
        return "raise", "PanicException", e.args[0]


def model_outcome(fn):
    try:
        return "ok", fn()
    except ref.Unmodelled:
        reject()
    except ref.CoreFailure as e:
        return "raise", "PanicException", e.args[0]
    except (TypeError, OverflowError, RuntimeError) as e:
        return "raise", type(e).__name__, str(e)


def same_float(got, want, loose):
    """Bit for bit, except where the NaN payload is not pinned down: there, NaN-ness only."""
    if loose and got != got and want != want:
        return True
    return struct.pack("<d", got) == struct.pack("<d", want)


def check_same(got, want, context):
    """Compares a module outcome with a model outcome; returns the module's array result and
    the model's Result when both returned an array."""
    if want[0] == "raise" or got[0] == "raise":
        assert got == want, context
        return None
    value, expected = got[1], want[1]
    if isinstance(expected, ref.Result):
        assert type(value) is tarnex.PyNDArray, context
        shape, elements = values(value)
        assert shape == expected.array.shape, context
        for i, (g, w) in enumerate(zip(elements, expected.array.data)):
            assert same_float(g, w, i in expected.loose), (context, i, g, w)
        # Payloads left open in the model take the module's value from here on.
        expected.array.data = elements
        return value, expected.array
    if isinstance(expected, ref.Scalar):
        assert type(value) is float and same_float(value, expected.value, expected.loose), (
            context, value, expected.value)
        return None
    assert type(value) is type(expected) and value == expected, (context, value, expected)
    return None


# ----------------------------------------------------------------------------------------
# The pool


class Pool:
    """Arrays of the module with their models, all kept equal."""

    def __init__(self):
        self.float_pairs = []
        self.mask_pairs = []

    @property
    def floats(self):
        return [pair[MODEL].shape for pair in self.float_pairs]

    @property
    def masks(self):
        return [pair[MODEL].shape for pair in self.mask_pairs]

    def add_float(self, data, shape):
        self.float_pairs.append((tarnex.PyNDArray(data, shape), ref.RefNDArray(data, shape)))

    def add_mask(self, data, shape):
        self.mask_pairs.append((tarnex.PyBoolArray(data, shape), ref.RefBoolArray(data, shape)))

    def keep(self, module_array, model_array, limit=8):
        """Adds a result to the pool, dropping the oldest arrays beyond `limit`."""
        self.float_pairs.append((module_array, model_array))
        del self.float_pairs[:-limit]

    def check(self):
        """Every array equals its model bit for bit, and nothing is left borrowed: each can
        be written (with a mask that selects nothing) and read."""
        for module_array, model_array in self.float_pairs:
            assert model_array.borrow == 0
            n = len(model_array.data)
            module_array.masked_fill(tarnex.PyBoolArray([False] * n, model_array.shape), 0.0)
            shape, elements = values(module_array)
            assert shape == model_array.shape
            assert packed(elements) == packed(model_array.data)
        for module_mask, model_mask in self.mask_pairs:
            assert model_mask.borrow == 0
            assert bool_values(module_mask, model_mask.shape) == (model_mask.shape,
                                                                  model_mask.data)

    def call(self, receiver, name, args, kwargs, is_mask=False, keep=True):
        """Calls method `name` on both sides with the given argument specs and compares."""
        pairs = self.mask_pairs if is_mask else self.float_pairs
        module_self, model_self = pairs[receiver]
        context = (name, receiver, args, kwargs)
        # The model runs first: a call it cannot model is skipped before the module runs it.
        want = model_outcome(lambda: ref.call(
            model_self, name, [a.make(self, MODEL) for a in args],
            {k: v.make(self, MODEL) for k, v in kwargs.items()}))
        got = module_outcome(lambda: getattr(module_self, name)(
            *[a.make(self, MODULE) for a in args],
            **{k: v.make(self, MODULE) for k, v in kwargs.items()}))
        kept = check_same(got, want, context)
        if kept is not None and keep:
            self.keep(*kept)
        return got

    def construct(self, is_mask, args, kwargs, keep=True):
        """Calls a constructor on both sides and compares."""
        module_cls = tarnex.PyBoolArray if is_mask else tarnex.PyNDArray
        model_cls = ref.RefBoolArray if is_mask else ref.RefNDArray
        context = (module_cls.__name__, args, kwargs)
        want = model_outcome(lambda: ref.construct(
            model_cls, [a.make(self, MODEL) for a in args],
            {k: v.make(self, MODEL) for k, v in kwargs.items()}))
        got = module_outcome(lambda: module_cls(
            *[a.make(self, MODULE) for a in args],
            **{k: v.make(self, MODULE) for k, v in kwargs.items()}))
        if got[0] == "raise" or want[0] == "raise":
            assert got == want, context
            return got
        assert type(got[1]) is module_cls, context
        model = want[1]
        if is_mask:
            assert bool_values(got[1], model.shape) == (model.shape, model.data), context
            if keep:
                self.mask_pairs.append((got[1], model))
                del self.mask_pairs[:-6]
        else:
            shape, elements = values(got[1])
            assert shape == model.shape and packed(elements) == packed(model.data), context
            if keep:
                self.keep(got[1], model)
        return got


def one_call(data, name, matrices=False):
    """Draws a pool and one call of method `name` on one of its float arrays, makes it on
    both sides and compares the outcome and the whole pool afterwards."""
    from hypothesis import strategies as st
    from strategies import call_args, make_pool, pool_contents
    pool = make_pool(data.draw(pool_contents(matrices=matrices), label="pool"))
    receiver = data.draw(st.sampled_from([0, 0, 1, 2]), label="receiver")
    args, kwargs = data.draw(call_args(pool, receiver, name), label="arguments")
    pool.call(receiver, name, args, kwargs)
    pool.check()
