#include "python/borrow.hpp"

#include "python/python_error.hpp"

namespace tarnex::py {

Borrow::Borrow(PyObject* owner, std::int64_t& counter, Kind kind)
    : counter_(counter), kind_(kind) {
    if (kind == Kind::shared) {
        if (counter == -1) raise(PyExc_RuntimeError, "Already mutably borrowed");
        ++counter;
    } else {
        if (counter != 0) raise(PyExc_RuntimeError, "Already borrowed");
        counter = -1;
    }
    owner_ = Ref::borrowed(owner);
}

Borrow::~Borrow() {
    if (kind_ == Kind::shared) {
        --counter_;
    } else {
        counter_ = 0;
    }
}

}  // namespace tarnex::py
