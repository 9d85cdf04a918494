"""Hypothesis strategies for the differential tests: awkward floats, shapes, arrays, and the
arguments of every method, right and wrong.

Arguments are drawn as specs (see differential.py) that name arrays of a pool by position,
so that the same call can be made on the module's arrays and on their models.
"""

import functools
import math
import struct

import numpy as np
from hypothesis import strategies as st

from differential import Arr, Mask, Plain, Reent, Seq

U64 = 1 << 64


def from_bits(b):
    return struct.unpack("<d", struct.pack("<Q", b))[0]


# NaNs of either sign, quiet or signalling, with any payload.
nans = st.builds(
    lambda sign, quiet, payload: from_bits((sign << 63) | (0x7FF << 52) | (quiet << 51)
                                           | (payload if payload or quiet else 1)),
    st.integers(0, 1), st.integers(0, 1), st.integers(0, (1 << 51) - 1))

subnormals = st.builds(lambda sign, m: from_bits((sign << 63) | m),
                       st.integers(0, 1), st.integers(1, (1 << 52) - 1))

special_floats = st.sampled_from([0.0, -0.0, math.inf, -math.inf, 1.0, -1.0, 0.5, 2.0,
                                  5e-324, -5e-324, 2.2250738585072014e-308,
                                  1.7976931348623157e308, -1.7976931348623157e308,
                                  709.78, 709.79, -745.13, -745.14, 36.74, 1e16])

# Mostly modest values, so that sums and products stay interesting, and the edges of the
# format often enough to matter.
floats = st.one_of(
    st.floats(-1e3, 1e3, allow_nan=False),
    st.floats(allow_nan=False, allow_infinity=True),
    st.integers(-8, 8).map(float),
    special_floats, nans, subnormals,
)


@st.composite
def shapes(draw, max_rank=4, max_extent=4, max_elements=48):
    """Rank 0 to 4, extents 0 to 4, at most `max_elements` elements."""
    rank = draw(st.integers(0, max_rank))
    shape = []
    for _ in range(rank):
        room = max_elements // max(1, math.prod(e for e in shape if e))
        shape.append(draw(st.integers(0, max(0, min(max_extent, room)))))
    return shape


# A shape with a zero extent beside huge ones: legal, without elements, and it shows large
# numbers in messages.
empty_huge_shapes = st.lists(
    st.one_of(st.just(0), st.integers(1, U64 - 1), st.integers(1, 3)), min_size=1, max_size=3,
).map(lambda s: s if 0 in s else s + [0])


# For arrays that are mostly edge values: NaN meets NaN, infinity meets zero.
nasty_floats = st.one_of(nans, special_floats, subnormals, st.sampled_from([1.0, -0.0]))


@functools.lru_cache(maxsize=None)
def element_lists(n):
    return st.sampled_from([floats, nasty_floats]).flatmap(
        lambda element: st.lists(element, min_size=n, max_size=n))


def array_data(shape):
    return element_lists(math.prod(shape))


@functools.lru_cache(maxsize=None)
def bool_lists(n):
    return st.lists(st.booleans(), min_size=n, max_size=n)


def mask_data(shape):
    return bool_lists(math.prod(shape))


# ----------------------------------------------------------------------------------------
# Argument specs. Each strategy takes the pool (lists of shapes of its float and boolean
# arrays) so that it can pick arrays of a fitting shape.


class Holding:
    """An object holding one value, with no conversion of its own."""

    def __init__(self, value):
        self.value = value

    def __repr__(self):
        return f"{type(self).__name__}({self.value!r})"


class Index(Holding):
    """An object with only an index conversion."""

    def __index__(self):
        return self.value


class Floaty(Holding):
    """An object with only a float conversion."""

    def __float__(self):
        return self.value


class NotASequence:
    def __len__(self):
        return 1


class Claiming:
    """A sequence whose __len__ claims `claim` items (or raises)."""

    def __init__(self, items, claim):
        self.items, self.claim = items, claim

    def __len__(self):
        if self.claim is None:
            raise ValueError("no length")
        return self.claim

    def __getitem__(self, i):
        return self.items[i]

    def __repr__(self):
        return f"Claiming({self.items!r}, {self.claim})"


def cached(make):
    """Builds each strategy once per pool layout and arguments: hypothesis spends most of
    its time validating freshly built strategies."""
    made = {}

    @functools.wraps(make)
    def wrapper(pool, *args):
        key = (tuple(map(tuple, pool.floats)), tuple(map(tuple, pool.masks)),
               tuple(tuple(a) if isinstance(a, list) else a for a in args))
        if key not in made:
            made[key] = make(pool, *args)
        return made[key]

    return wrapper


junk = st.sampled_from([None, "x", "", b"", (), {}, set(), 1.5j, NotASequence(), object()])


@cached
def any_array(pool):
    choices = []
    if pool.floats:
        choices.append(st.integers(0, len(pool.floats) - 1).map(Arr))
    if pool.masks:
        choices.append(st.integers(0, len(pool.masks) - 1).map(Mask))
    return st.one_of(choices) if choices else st.nothing()


@cached
def wrong(pool):
    """Objects no parameter accepts (a sequence is accepted by list parameters only)."""
    return st.one_of(junk.map(Plain), any_array(pool))


def sizes_item(small):
    return st.one_of(
        small.map(Plain),
        small.map(lambda v: Plain(Index(v))),
        small.map(lambda v: Plain(np.int64(v))),
        st.sampled_from([True, False]).map(Plain),
    )


@cached
def size_arg(pool, small=st.integers(0, 5)):
    """A size: mostly small, sometimes at or past the ends of the unsigned 64-bit range, or
    of a kind that has no index conversion."""
    return st.one_of(
        sizes_item(small),
        reentrant(pool, st.integers(0, 3)),
        sizes_item(small),
        st.sampled_from([U64 - 1, U64, -1, -U64, 2**100, 1.0, 2.5, np.float64(1.0)]).map(Plain),
        wrong(pool),
    )


@cached
def reentrant(pool, values):
    if not pool.floats:
        return st.nothing()
    return st.builds(Reent, st.integers(0, len(pool.floats) - 1),
                     st.sampled_from(["sum", "write"]), values)


@cached
def float_arg(pool):
    return st.one_of(
        floats.map(Plain),
        reentrant(pool, st.integers(-2, 2)),
        floats.map(Plain),
        st.integers(-3, 3).map(Plain),
        st.sampled_from([True, False, 2**53 + 1, 10**400, -(10**400)]).map(Plain),
        floats.map(lambda v: Plain(np.float64(v))),
        floats.map(lambda v: Plain(Floaty(v))),
        st.integers(-3, 3).map(lambda v: Plain(Index(v))),
        wrong(pool),
    )


def container(items, kinds=("list", "tuple")):
    return st.builds(Seq, st.sampled_from(kinds), items)


@cached
def sizes_arg(pool, length=None, small=st.integers(0, 5)):
    """A size list: a list, tuple, range or byte string of sizes, sometimes with a bad item,
    sometimes a string, a non-sequence or a sequence with a wrong length claim."""
    n = st.integers(0, 5) if length is None else st.just(length)
    good = n.flatmap(lambda k: st.lists(sizes_item(small), min_size=k, max_size=k))
    return st.one_of(
        container(good),
        container(good),
        st.builds(lambda lo, hi: Plain(range(lo, hi)), small, small),
        st.lists(small, max_size=4).map(lambda v: Plain(bytes(v))),
        container(st.lists(size_arg(pool, small), max_size=4)),
        st.builds(lambda items, claim: Plain(Claiming(items, claim)),
                  st.lists(small, max_size=4),
                  st.sampled_from([None, 0, 1, 3, 2**40, 2**60 - 1, 2**60, 2**63 - 1])),
        junk.map(Plain),
        any_array(pool),
    )


def pooled_arg(pool, shapes, spec, elements, shape):
    """An array of the pool's (`shapes`, taken by `spec`), of `shape` when the pool has one,
    or something else: a wrong object or a container of `elements`."""
    fitting = [i for i, s in enumerate(shapes) if s == shape]
    # Hypothesis favours the first branches: the fitting arrays come first.
    choices = [st.sampled_from(fitting).map(spec)] * 3 if fitting else []
    if shapes:
        choices.append(st.integers(0, len(shapes) - 1).map(spec))
    choices += [wrong(pool), container(st.lists(elements.map(Plain), max_size=3))]
    return st.one_of(choices)


@cached
def float_array_arg(pool, shape=None):
    """A float array, of `shape` when the pool has one, or something else."""
    return pooled_arg(pool, pool.floats, Arr, floats, shape)


@cached
def mask_arg(pool, shape=None):
    """A mask, of `shape` when the pool has one, or something else."""
    return pooled_arg(pool, pool.masks, Mask, st.booleans(), shape)


@cached
def bool_item(pool):
    return st.one_of(
        st.booleans().map(Plain), st.booleans().map(Plain), st.booleans().map(Plain),
        st.sampled_from([0, 1, 1.0, None, "True"]).map(Plain),
        st.booleans().map(lambda v: Plain(np.bool_(v))),
        any_array(pool),
    )


@cached
def data_arg(pool, n, bool_items):
    """The data of a constructor for `n` elements, sometimes of another length or kind."""
    item = bool_item(pool) if bool_items else st.one_of(
        floats.map(Plain), floats.map(Plain), floats.map(Plain), float_arg(pool))
    good = st.lists(st.booleans().map(Plain) if bool_items else floats.map(Plain),
                    min_size=n, max_size=n)
    mixed = st.lists(item, min_size=n, max_size=n)
    return st.one_of(
        container(good), container(good), container(good),
        container(mixed),
        container(st.lists(item, max_size=n + 2)),
        st.lists(st.booleans(), max_size=4).map(lambda v: Plain(Claiming(v, 2**40))),
        junk.map(Plain),
        any_array(pool),
    )


# ----------------------------------------------------------------------------------------
# Pools and calls


matrix_shapes = st.lists(st.integers(0, 4), min_size=2, max_size=2)


@st.composite
def pool_contents(draw, matrices=False):
    """Three float arrays and two masks whose shapes often fit together: the first array's
    shape again, its transpose, a shape it can be multiplied by, or any other. With
    `matrices`, the first array is mostly two-dimensional."""
    first = draw(st.one_of([matrix_shapes] * (3 if matrices else 0)
                           + [shapes(), shapes(), matrix_shapes, empty_huge_shapes]))
    related = [st.just(first), shapes()]
    if len(first) == 2:
        columns = st.integers(0, 4) if first[1] <= 4 else st.just(0)
        related = [columns.map(lambda n: [first[1], n]), st.just([first[1], first[0]])] + related
    floats_shapes = [first, draw(st.one_of(related)), draw(st.one_of(related + [shapes()]))]
    mask_shapes = [first, draw(st.one_of(st.sampled_from(floats_shapes), shapes()))]
    return ([(draw(array_data(s)), s) for s in floats_shapes],
            [(draw(mask_data(s)), s) for s in mask_shapes])


def make_pool(contents):
    from differential import Pool
    pool = Pool()
    floats_, masks = contents
    for data, shape in floats_:
        pool.add_float(data, shape)
    for data, shape in masks:
        pool.add_mask(data, shape)
    return pool


@functools.lru_cache(maxsize=None)
def near(limit):
    """Sizes around `limit` (an extent or a rank): mostly inside, sometimes just past it."""
    if limit >= U64 - 2:
        return st.sampled_from([0, 1, limit - 1, limit, U64 - 1])
    return st.one_of(st.integers(0, max(0, limit - 1)), st.integers(0, limit + 1))


@cached
def size_of(pool, limit):
    return st.one_of(near(limit).map(Plain), near(limit).map(Plain), near(limit).map(Plain),
                     size_arg(pool))


@functools.lru_cache(maxsize=None)
def factor_shapes(n):
    """Shapes with n elements (n small), or of any size."""
    if n == 0:
        return st.one_of(shapes(), st.just([0]), st.just([3, 0]), st.just([0, U64 - 1]))
    divisors = [d for d in range(1, n + 1) if n % d == 0]
    return st.one_of(
        st.just([n]),
        st.sampled_from(divisors).map(lambda d: [d, n // d]),
        st.sampled_from(divisors).map(lambda d: [n // d, 1, d]),
        st.just([]) if n == 1 else st.just([n, 1]),
        shapes(),
    )


@cached
def shape_list(pool, shape):
    n = math.prod(shape)
    good = factor_shapes(n) if n <= 64 else st.just(list(shape))
    return st.one_of(
        good.flatmap(lambda s: container(st.just([Plain(e) for e in s]))),
        good.flatmap(lambda s: container(st.just([Plain(e) for e in s]))),
        sizes_arg(pool),
    )


@cached
def index_list(pool, shape, length=None):
    """An index: one entry per dimension, mostly inside the shape."""
    k = len(shape) if length is None else length
    entries = [near(shape[d]) if d < len(shape) else st.integers(0, 3) for d in range(k)]
    good = st.tuples(*entries).flatmap(lambda e: container(st.just([Plain(x) for x in e])))
    # The other lengths are built now, from the pool as it is: the strategy is kept for this
    # layout, and the pool object may have grown by the time a later test case draws.
    other_lengths = (st.one_of([index_list(pool, shape, m) for m in range(6)])
                     if length is None else st.nothing())
    return st.one_of(good, good, good, good, other_lengths, sizes_arg(pool))


@cached
def indices_list(pool, extent):
    item = near(extent).map(Plain)
    return st.one_of(container(st.lists(item, max_size=5)), container(st.lists(item, max_size=5)),
                     sizes_arg(pool))


@cached
def argument_values(pool, shape, name):
    """A value for each parameter of method `name` on a receiver of `shape`, mostly fitting."""
    rank = len(shape)
    if name == "get":
        return [index_list(pool, shape)]
    if name in ("scale",):
        return [float_arg(pool)]
    if name in ("add", "mul"):
        return [float_array_arg(pool, shape)]
    if name in ("matmul", "matmul_blas"):
        fits = [s for s in pool.floats if rank == 2 and len(s) == 2 and s[0] == shape[1]]
        return [float_array_arg(pool, fits[0] if fits else None)]
    if name == "boolean_mask":
        return [mask_arg(pool, shape)]
    if name == "masked_fill":
        return [mask_arg(pool, shape), float_arg(pool)]
    if name == "where_":
        return [mask_arg(pool, shape), float_array_arg(pool, shape)]
    if name == "fancy_index":
        return [indices_list(pool, shape[0] if shape else 2)]
    if name == "slice_row":
        return [size_of(pool, shape[0] if shape else 2)]
    if name == "slice_col":
        return [size_of(pool, shape[1] if rank > 1 else 2)]
    if name == "reshape":
        return [shape_list(pool, shape)]
    if name in ("slice_range", "set_slice", "gather"):
        axis = near(rank)
        axis_arg = st.one_of(axis.map(Plain), axis.map(Plain), axis.map(Plain), size_arg(pool))
        extent = max(shape) if shape else 2
        if name == "gather":
            return [axis_arg, indices_list(pool, extent)]
        bounds = st.one_of(
            near(extent).flatmap(lambda lo: st.tuples(st.just(lo), near(extent).map(
                lambda hi: min(U64 - 1, max(hi, lo + 1))))),
            st.tuples(near(extent), near(extent)),
        )
        pair = bounds.map(lambda b: [Plain(b[0]), Plain(b[1])])
        ends = st.one_of(pair, pair, pair, st.tuples(size_arg(pool), size_arg(pool)).map(list))
        rest = [float_arg(pool)] if name == "set_slice" else []
        return [axis_arg, ends] + rest
    return []


keywords = st.sampled_from(["bogus", "index", "other", "value", "axis", "data", "shape",
                            "\udcff", "a\x00b", "self"])


@st.composite
def call_args(draw, pool, receiver, name):
    """Argument specs for one call of `name`: its parameters passed positionally and by
    keyword in any split and order, and sometimes one too many, an unknown or repeated
    keyword, or missing parameters."""
    from reference import METHODS
    shape = pool.floats[receiver]
    params = METHODS[name][0]
    names = [n for n, _ in params] if params else []
    values = []
    for strategy in argument_values(pool, shape, name):
        value = draw(strategy)
        values += value if isinstance(value, list) else [value]
    # Now and then a size or float parameter gets an argument whose conversion calls a
    # method of an array of the pool, perhaps the receiver, while this call holds borrows.
    plain_kinds = [i for i, (_, kind) in enumerate(params or []) if kind in ("size", "float")]
    if plain_kinds and draw(st.integers(0, 7)) == 0:
        values[draw(st.sampled_from(plain_kinds))] = draw(reentrant(pool, small_values))
    fault = draw(st.sampled_from([None] * 16 + ["extra", "unknown", "twice", "missing"]))
    return arrange(draw, pool, names, values, fault)


small_values = st.integers(0, 3)


def arrange(draw, pool, names, values, fault):
    k = draw(st.integers(0, len(names)))
    args = list(values[:k])
    rest = draw(st.permutations(list(zip(names[k:], values[k:]))))
    kwargs = dict(rest)
    if fault == "extra":
        args = list(values) + draw(st.lists(float_arg(pool), min_size=1, max_size=2))
        kwargs = dict(draw(st.lists(st.tuples(keywords, float_arg(pool)), max_size=1)))
    elif fault == "unknown":
        kwargs[draw(keywords)] = draw(float_arg(pool))
    elif fault == "twice" and args:
        i = draw(st.integers(0, len(args) - 1))
        kwargs[names[i]] = draw(float_arg(pool))
    elif fault == "missing" and names:
        drop = set(draw(st.lists(st.sampled_from(names), min_size=1, unique=True)))
        # Positional arguments stay in parameter order: they stop at the first dropped one,
        # and the rest of them are passed by keyword.
        cut = next((i for i, n in enumerate(names[:k]) if n in drop), k)
        args = list(values[:cut])
        kwargs = {n: v for n, v in kwargs.items() if n not in drop}
        kwargs.update({n: v for n, v in zip(names[cut:k], values[cut:k]) if n not in drop})
    return args, kwargs


@st.composite
def constructor_call(draw, pool, is_mask):
    """Arguments for PyNDArray(data, shape) or PyBoolArray(data, shape): mostly a fitting
    pair, sometimes a wrong length, wrong kinds, shapes whose element count does not fit in
    64 bits, or matcher faults."""
    shape = draw(st.one_of(shapes(), shapes(), empty_huge_shapes,
                           st.sampled_from([[1 << 32, 1 << 32], [1 << 63, 2, 0], [U64 - 1, 2]])))
    n = math.prod(shape) if math.prod(shape) <= 64 else draw(st.integers(0, 3))
    if draw(st.integers(0, 5)) == 0:
        n = draw(st.integers(0, n + 2))
    data = draw(data_arg(pool, n, is_mask))
    shape_spec = draw(st.one_of(container(st.just([Plain(e) for e in shape])),
                                container(st.just([Plain(e) for e in shape])),
                                sizes_arg(pool)))
    fault = draw(st.sampled_from([None] * 8 + ["extra", "unknown", "twice", "missing"]))
    return arrange(draw, pool, ["data", "shape"], [data, shape_spec], fault)


@st.composite
def any_call_form(draw, pool, names):
    """Positional and keyword arguments in any number: the parameter names and others, with
    plain values; what is left after matching is converted as usual."""
    values = st.one_of(st.integers(0, 3).map(Plain), float_arg(pool), any_array(pool))
    args = draw(st.lists(values, max_size=len(names) + 2))
    keys = st.sampled_from(names) if names else keywords
    kwargs = dict(draw(st.lists(st.tuples(st.one_of(keys, keywords), values), max_size=4)))
    return args, kwargs
