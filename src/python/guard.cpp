#include "python/guard.hpp"

namespace tarnex::py {

void set_error_from_current_exception() noexcept {
    try {
        throw;
    } catch (const PythonError& error) {
        error.restore();
    } catch (const CoreFailure& failure) {
        set_panic_exception(failure.message());
    } catch (const AllocationFailure& failure) {
        // The allocator refused: an ordinary, recoverable error for the caller.
        PyErr_Format(PyExc_MemoryError, "memory allocation of %llu bytes failed",
                     static_cast<unsigned long long>(failure.bytes()));
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (...) {
        set_panic_exception("native code failed without a message");
    }
}

}  // namespace tarnex::py
