"""Type information for tarnex: n-dimensional float64 and boolean arrays whose every float
result is defined bit for bit, whatever the thread count or the CPU."""

from typing import (Any, List, Protocol, Sequence, SupportsFloat, SupportsIndex, TypeVar, Union,
                    final)

__all__ = ["PyNDArray", "PyBoolArray"]

_T_co = TypeVar("_T_co", covariant=True)

class _SequenceOf(Protocol[_T_co]):
    """Anything with a length and item access: lists, tuples, ranges, bytes, numpy arrays."""

    def __len__(self) -> int: ...
    def __getitem__(self, __index: int) -> _T_co: ...

# A value the interpreter's float conversion takes: floats, ints, bools, and objects with
# __float__ or __index__.
_Float = Union[SupportsFloat, SupportsIndex]
# Values 0 .. 2**64 - 1: ints, and objects with __index__ (a negative or larger one raises
# OverflowError).
_Size = SupportsIndex
_Sizes = Sequence[SupportsIndex]

@final
class PyNDArray:
    """An n-dimensional array of 64-bit floats, built from a flat sequence in row-major
    order and a shape. Every operation returns a new array, except set_slice and
    masked_fill, which write into the array in place. A failed precondition raises
    pyo3_runtime.PanicException (a BaseException) carrying the operation's message."""

    def __new__(cls, data: _SequenceOf[_Float], shape: _Sizes) -> "PyNDArray":
        """The array of `data` (flat, row-major: floats, ints, bools, anything with __float__ or
        __index__; a 1-D float64 numpy array is copied directly) in `shape`. Raises
        PanicException when the length is not the shape's element count."""
    def get(self, index: _Sizes) -> float:
        """The element at `index`, one entry per dimension."""
    def shape(self) -> List[int]:
        """The extents, one per dimension ([] for a 0-d array)."""
    def sum(self) -> float:
        """-0.0 plus every element, left to right in row-major order."""
    def mean(self) -> float:
        """sum() / element count; 0.0 for an empty array."""
    def relu(self) -> "PyNDArray":
        """x if x > 0.0 else +0.0, per element (on the worker pool)."""
    def sigmoid(self) -> "PyNDArray":
        """1.0 / (exp(-x) + 1.0) per element, with the C library's exp bits."""
    def softmax(self) -> "PyNDArray":
        """exp(x) / s over the whole array, s the left-to-right sum of the exponentials
        from -0.0 (no maximum subtracted; the companion's softmax works along an axis)."""
    def transpose(self) -> "PyNDArray":
        """The 2-D array with rows and columns swapped."""
    def argmax(self) -> int:
        """The flat position of the first maximum (NaN only wins at position 0); raises
        PanicException for an empty array."""
    def scale(self, scalar: _Float) -> "PyNDArray":
        """Every element times `scalar` (on the worker pool)."""
    def add(self, other: "PyNDArray") -> "PyNDArray":
        """The element-wise sum with `other` of the same shape (no broadcasting)."""
    def mul(self, other: "PyNDArray") -> "PyNDArray":
        """The element-wise product with `other` of the same shape (no broadcasting)."""
    def matmul(self, other: "PyNDArray") -> "PyNDArray":
        """The 2-D matrix product: element (i, j) is the sum over p in increasing order from
        +0.0 of self[i, p] * other[p, j], each product and sum rounded on its own."""
    def matmul_blas(self, other: "PyNDArray") -> "PyNDArray":
        """The same product as matmul, bit for bit."""
    def boolean_mask(self, mask: "PyBoolArray") -> "PyNDArray":
        """The elements where `mask` (same shape) is true, in row-major order, 1-D."""
    def masked_fill(self, mask: "PyBoolArray", value: _Float) -> None:
        """Writes `value` where `mask` (same shape) is true, in place."""
    def where_(self, condition: "PyBoolArray", other: "PyNDArray") -> "PyNDArray":
        """self where `condition` is true, `other` elsewhere (all one shape)."""
    def fancy_index(self, indices: _Sizes) -> "PyNDArray":
        """self[indices[0]], self[indices[1]], ... of a 1-D array."""
    def slice_row(self, row: _Size) -> "PyNDArray":
        """Row `row` of a 2-D array, 1-D."""
    def slice_col(self, col: _Size) -> "PyNDArray":
        """Column `col` of a 2-D array, 1-D."""
    def slice_range(self, axis: _Size, start: _Size, end: _Size) -> "PyNDArray":
        """The positions start .. end - 1 along `axis`."""
    def reshape(self, new_shape: _Sizes) -> "PyNDArray":
        """The same elements in `new_shape` (same element count)."""
    def gather(self, axis: _Size, indices: _Sizes) -> "PyNDArray":
        """The positions `indices` along `axis`, in their order, repeats allowed."""
    def set_slice(self, axis: _Size, start: _Size, end: _Size, value: _Float) -> None:
        """Writes `value` into positions start .. end - 1 along `axis`, in place."""
    def cumsum(self) -> "PyNDArray":
        """Running totals in row-major order from +0.0, 1-D."""

@final
class PyBoolArray:
    """An n-dimensional array of booleans, used as a mask or a condition. Its items must
    be bools (or numpy booleans); ints are refused."""

    def __new__(cls, data: _SequenceOf[Any], shape: _Sizes) -> "PyBoolArray":
        """The mask of `data` (flat, row-major; bools or numpy booleans) in `shape`."""
    def shape(self) -> List[int]:
        """The extents, one per dimension."""
