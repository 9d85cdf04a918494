// Shared and exclusive borrows of an array object, undone when the borrow object dies.
// The counter is 0 when free, n > 0 for n shared borrows, -1 for one exclusive borrow;
// the interpreter lock makes its updates exclusive.
#pragma once

#include <cstdint>

#include "python/pyref.hpp"

namespace tarnex::py {

class Borrow {
public:
    enum class Kind { shared, exclusive };

    // Takes the borrow or throws RuntimeError ("Already mutably borrowed" /
    // "Already borrowed"). Holds a reference to `owner` for as long as it lasts.
    // Every method call takes one or more, so taking and releasing one is inline.
    Borrow(PyObject* owner, std::int64_t& counter, Kind kind) : counter_(counter), kind_(kind) {
        if (kind == Kind::shared) {
            if (counter == -1) refuse(kind);
            ++counter;
        } else {
            if (counter != 0) refuse(kind);
            counter = -1;
        }
        owner_ = Ref::borrowed(owner);
    }
    Borrow(const Borrow&) = delete;
    Borrow& operator=(const Borrow&) = delete;
    ~Borrow() {
        if (kind_ == Kind::shared) {
            --counter_;
        } else {
            counter_ = 0;
        }
    }

private:
    // Throws the RuntimeError for a borrow of `kind` that conflicts with one in force.
    [[noreturn]] static void refuse(Kind kind);

    Ref owner_;
    std::int64_t& counter_;
    Kind kind_;
};

}  // namespace tarnex::py
