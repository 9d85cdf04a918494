#include "lib/exp/library_math.hpp"

#include <cmath>

#if defined(__GLIBC__)
#include <dlfcn.h>
#endif

namespace tarnex {

namespace {

double linked_exp(double x) noexcept { return std::exp(x); }
double linked_log(double x) noexcept { return std::log(x); }

// glibc 2.29 gave exp and log new versions (their current algorithms without the old error
// wrappers); the name is looked up among the process's loaded libraries.
MathFunction current(const char* name, MathFunction linked) noexcept {
#if defined(__GLIBC__)
    if (void* found = dlvsym(RTLD_DEFAULT, name, "GLIBC_2.29")) {
        return reinterpret_cast<MathFunction>(found);
    }
#else
    (void)name;
#endif
    return linked;
}

}  // namespace

MathFunction library_exp() noexcept {
    static const MathFunction f = current("exp", linked_exp);
    return f;
}

MathFunction library_log() noexcept {
    static const MathFunction f = current("log", linked_log);
    return f;
}

}  // namespace tarnex
