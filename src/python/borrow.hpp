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
    Borrow(PyObject* owner, std::int64_t& counter, Kind kind);
    Borrow(const Borrow&) = delete;
    Borrow& operator=(const Borrow&) = delete;
    ~Borrow();

private:
    Ref owner_;
    std::int64_t& counter_;
    Kind kind_;
};

}  // namespace tarnex::py
