// The matrix product of two 2-D float arrays, of either operand as stored or transposed.
#pragma once

#include "lib/record/ndarray.hpp"

namespace tarnex {

// Which operands of a product take part transposed.
struct Transposes {
    bool a = false;
    bool b = false;
};

// self (m x k) times other (k x n): a new m x n array whose element (i, j) is
// (((+0.0 + self[i,0]*other[0,j]) + self[i,1]*other[1,j]) + ...) in increasing p, every
// product and sum rounded on its own (no fused multiply-add). Fails when either operand is
// not 2-D, when the inner sizes differ, or with "capacity overflow" when the result does not
// fit in memory's addressable limit. Runs on the calling thread; neither operand changes.
FloatArray matmul(const FloatArray& self, const FloatArray& other);

// The same product of op(self) and op(other), where op transposes the operands `transposes`
// names (without making the transpose): bit for bit the product of the transposed copies.
FloatArray matmul(const FloatArray& self, const FloatArray& other, Transposes transposes);

}  // namespace tarnex
