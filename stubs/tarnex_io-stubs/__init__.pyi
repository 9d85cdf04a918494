"""Bulk export and import of tarnex arrays, and masks from comparisons."""
from typing import (Any, Dict, List, Literal, Optional, Sequence, SupportsFloat, SupportsIndex,
                    Union, overload)

import numpy
import numpy.typing

from tarnex import PyBoolArray, PyNDArray

# What the float conversion takes: floats, ints, bools and objects with __float__ or
# __index__.
_Float = Union[SupportsFloat, SupportsIndex]
# bytes and bytearray are read in place; anything else needs a tobytes() method returning
# bytes (memoryview, array.array, numpy arrays).
_Bytes = Union[bytes, bytearray, memoryview]

@overload
def to_list(a: PyNDArray) -> List[float]: ...
@overload
def to_list(a: PyBoolArray) -> List[bool]: ...
def to_bytes(a: Union[PyNDArray, PyBoolArray]) -> bytes: ...
@overload
def to_numpy(a: PyNDArray) -> numpy.typing.NDArray[numpy.float64]: ...
@overload
def to_numpy(a: PyBoolArray) -> numpy.typing.NDArray[numpy.bool_]: ...
def from_bytes(data: _Bytes, shape: Sequence[SupportsIndex]) -> PyNDArray: ...
def bools_from_bytes(data: _Bytes, shape: Sequence[SupportsIndex]) -> PyBoolArray: ...
# --- element-wise functions with broadcasting -------------------------------------------
# Operands broadcast by numpy's rules (trailing axes aligned, extents equal or 1, missing
# leading axes counting as 1); a number is a 0-d operand, and numbers alone give a 0-d
# array. With out=, the result is written into that existing array, which must have exactly
# the result's shape (it may be one of the operands), and out is returned. Shape errors are
# ValueError, type errors TypeError, both naming the parameter, raised before anything is
# allocated or written.
_Floats = Union[PyNDArray, _Float]
_Bools = Union[PyBoolArray, bool]

def add(a: _Floats, b: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """a + b; where both are NaN, a's NaN (quieted)."""
def subtract(a: _Floats, b: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """a - b."""
def multiply(a: _Floats, b: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """a * b; where both are NaN, a's NaN (quieted)."""
def divide(a: _Floats, b: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """a / b (true division)."""
def maximum(a: _Floats, b: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """The larger: a where a is NaN, else b where b is NaN (bits unchanged), b on ties
    (maximum(0.0, -0.0) is -0.0), as numpy's."""
def minimum(a: _Floats, b: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """The smaller, with maximum's rules for NaN and ties."""
def negative(x: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """-x: the sign bit flipped (NaNs included)."""
def abs(x: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """|x|: the sign bit cleared."""
def square(x: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """x * x."""
def sqrt(x: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """The correctly rounded square root."""
def exp(x: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """e**x, bit for bit the C library's exp."""
def log(x: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """The natural logarithm, bit for bit the C library's log."""
def tanh(x: _Floats, *, out: Optional[PyNDArray] = None) -> PyNDArray:
    """The hyperbolic tangent, bit for bit the C library's tanh."""
def clip(a: _Floats, lo: _Floats, hi: _Floats, *,
         out: Optional[PyNDArray] = None) -> PyNDArray:
    """minimum(maximum(a, lo), hi), the three broadcast together."""
def where(condition: _Bools, a: _Floats, b: _Floats, *,
          out: Optional[PyNDArray] = None) -> PyNDArray:
    """a where condition is true, else b (the chosen bits copied), the three broadcast."""
def greater(a: _Floats, b: _Floats, *, out: Optional[PyBoolArray] = None) -> PyBoolArray:
    """True where a > b."""
def greater_equal(a: _Floats, b: _Floats, *,
                  out: Optional[PyBoolArray] = None) -> PyBoolArray:
    """True where a >= b."""
def less(a: _Floats, b: _Floats, *, out: Optional[PyBoolArray] = None) -> PyBoolArray:
    """True where a < b."""
def less_equal(a: _Floats, b: _Floats, *, out: Optional[PyBoolArray] = None) -> PyBoolArray:
    """True where a <= b."""
def equal(a: _Floats, b: _Floats, *, out: Optional[PyBoolArray] = None) -> PyBoolArray:
    """True where a == b (-0.0 equals 0.0; NaN equals nothing)."""
def not_equal(a: _Floats, b: _Floats, *, out: Optional[PyBoolArray] = None) -> PyBoolArray:
    """True where a != b (always where either is NaN)."""
def isnan(a: _Floats, *, out: Optional[PyBoolArray] = None) -> PyBoolArray:
    """True where a is NaN."""
def logical_not(m: _Bools, *, out: Optional[PyBoolArray] = None) -> PyBoolArray:
    """True where m is false."""
def logical_and(m1: _Bools, m2: _Bools, *, out: Optional[PyBoolArray] = None) -> PyBoolArray:
    """True where both are."""
def logical_or(m1: _Bools, m2: _Bools, *, out: Optional[PyBoolArray] = None) -> PyBoolArray:
    """True where either is."""
# --- end of the element-wise functions -------------------------------------------------
# Reductions along an axis (None: every element, giving a Python scalar unless keepdims)
# and the softmax family along an axis.
@overload
def sum(a: Union[PyNDArray, PyBoolArray], axis: None = None, *, keepdims: Literal[False] = False) -> float:
    """-0.0 plus every element in row-major order (true elements count 1); -0.0 when empty."""
@overload
def sum(a: Union[PyNDArray, PyBoolArray], axis: Optional[SupportsIndex] = None, *, keepdims: bool = False) -> PyNDArray:
    """Each slice along `axis`: -0.0 plus its elements in increasing index."""
@overload
def mean(a: Union[PyNDArray, PyBoolArray], axis: None = None, *, keepdims: Literal[False] = False) -> float:
    """sum(a) divided once by the element count (NaN when empty)."""
@overload
def mean(a: Union[PyNDArray, PyBoolArray], axis: Optional[SupportsIndex] = None, *, keepdims: bool = False) -> PyNDArray:
    """sum(a, axis) divided once by the axis length."""
@overload
def max(a: PyNDArray, axis: None = None, *, keepdims: Literal[False] = False) -> float:
    """The largest element (+0.0 above -0.0; the first NaN if any). ValueError when empty."""
@overload
def max(a: PyNDArray, axis: Optional[SupportsIndex] = None, *, keepdims: bool = False) -> PyNDArray:
    """The largest element of each slice along `axis`. ValueError for an empty axis."""
@overload
def min(a: PyNDArray, axis: None = None, *, keepdims: Literal[False] = False) -> float:
    """The smallest element (-0.0 below +0.0; the first NaN if any). ValueError when empty."""
@overload
def min(a: PyNDArray, axis: Optional[SupportsIndex] = None, *, keepdims: bool = False) -> PyNDArray:
    """The smallest element of each slice along `axis`."""
@overload
def argmax(a: PyNDArray, axis: None = None, *, keepdims: Literal[False] = False) -> int:
    """Flat position of the first largest element, or of the first NaN."""
@overload
def argmax(a: PyNDArray, axis: Optional[SupportsIndex] = None, *, keepdims: bool = False) -> PyNDArray:
    """Positions along `axis` as exact integer values."""
@overload
def argmin(a: PyNDArray, axis: None = None, *, keepdims: Literal[False] = False) -> int:
    """Flat position of the first smallest element, or of the first NaN."""
@overload
def argmin(a: PyNDArray, axis: Optional[SupportsIndex] = None, *, keepdims: bool = False) -> PyNDArray:
    """Positions along `axis` as exact integer values."""
def softmax(a: PyNDArray, axis: Optional[SupportsIndex] = -1) -> PyNDArray:
    """exp(x - m) / s per slice: m the slice maximum (0.0 if not finite), s the in-order sum."""
def log_softmax(a: PyNDArray, axis: Optional[SupportsIndex] = -1) -> PyNDArray:
    """(x - m) - log(s) per slice, m and s as in softmax."""
@overload
def logsumexp(a: PyNDArray, axis: None, *, keepdims: Literal[False] = False) -> float:
    """m + log(s) over every element."""
@overload
def logsumexp(a: PyNDArray, axis: SupportsIndex = -1, *, keepdims: bool = False) -> PyNDArray:
    """m + log(s) per slice; -inf for an empty slice or one of -inf only."""
@overload
def logsumexp(a: PyNDArray, axis: None, *, keepdims: Literal[True]) -> PyNDArray:
    """m + log(s) per slice; -inf for an empty slice or one of -inf only."""
# --- products, scatter-add and one-hot -------------------------------------------------
def matmul(a: PyNDArray, b: PyNDArray, *, transpose_a: bool = False,
           transpose_b: bool = False) -> PyNDArray:
    """op(a) @ op(b) without forming a transpose; bit for bit the methods' product."""
def one_hot(labels: PyNDArray, classes: SupportsIndex) -> PyNDArray:
    """labels.shape + [classes]: 1.0 at each label's position, +0.0 elsewhere."""
def add_at(target: PyNDArray, axis: SupportsIndex, indices: Sequence[SupportsIndex],
           values: PyNDArray) -> None:
    """Adds values into target at the gathered places, repeats in increasing position."""

# --- making, joining and reshaping arrays ----------------------------------------------
_Shape = Union[SupportsIndex, Sequence[SupportsIndex]]

def zeros(shape: _Shape) -> PyNDArray: ...
def ones(shape: _Shape) -> PyNDArray: ...
def full(shape: _Shape, fill_value: _Float) -> PyNDArray: ...
def arange(start: _Float, stop: Optional[_Float] = None,
           step: Optional[_Float] = None) -> PyNDArray:
    """start + i * step for i in range(ceil((stop - start) / step))."""
def eye(N: SupportsIndex, M: Optional[SupportsIndex] = None, k: SupportsIndex = 0) -> PyNDArray: ...
# A nested sequence whose leaves are all bools, or a numpy bool array, gives a PyBoolArray;
# the overloads name the common cases, and anything else is typed as a PyNDArray.
@overload
def asarray(obj: PyBoolArray) -> PyBoolArray: ...
@overload
def asarray(obj: numpy.typing.NDArray[numpy.bool_]) -> PyBoolArray: ...
@overload
def asarray(obj: Any) -> PyNDArray: ...
@overload
def concatenate(arrays: Sequence[PyBoolArray], axis: Optional[SupportsIndex] = 0) -> PyBoolArray: ...
@overload
def concatenate(arrays: Sequence[PyNDArray], axis: Optional[SupportsIndex] = 0) -> PyNDArray: ...
@overload
def stack(arrays: Sequence[PyBoolArray], axis: SupportsIndex = 0) -> PyBoolArray: ...
@overload
def stack(arrays: Sequence[PyNDArray], axis: SupportsIndex = 0) -> PyNDArray: ...
@overload
def reshape(a: PyBoolArray, shape: _Shape) -> PyBoolArray: ...
@overload
def reshape(a: PyNDArray, shape: _Shape) -> PyNDArray: ...

# --- text -------------------------------------------------------------------------------
def array_str(a: Union[PyNDArray, PyBoolArray]) -> str: ...
def array_repr(a: Union[PyNDArray, PyBoolArray]) -> str: ...

def instruction_set() -> str: ...
def build_info() -> Dict[str, str]: ...
