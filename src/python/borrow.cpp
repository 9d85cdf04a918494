#include "python/borrow.hpp"

#include "python/python_error.hpp"

namespace tarnex::py {

void Borrow::refuse(Kind kind) {
    if (kind == Kind::shared) raise(PyExc_RuntimeError, "Already mutably borrowed");
    raise(PyExc_RuntimeError, "Already borrowed");
}

}  // namespace tarnex::py
