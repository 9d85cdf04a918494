#include "parallel/global_pool.hpp"

#include <pthread.h>

#include "parallel/lazy_pool.hpp"
#include "parallel/thread_count.hpp"

namespace tarnex::parallel {
namespace {

// Never destroyed: the workers may outlive every static destructor of the process.
LazyPool& holder() {
    static LazyPool* const pool = new LazyPool(&configured_thread_count, true);
    return *pool;
}

void prepare() { holder().prepare_fork(); }
void parent() { holder().after_fork_in_parent(); }
void child() { holder().after_fork_in_child(); }

// Registered when the library is loaded, before any thread of ours exists, so that no
// fork can come between the pool's start and the handlers' registration.
[[maybe_unused]] const bool fork_handlers_registered = [] {
    holder();
    return pthread_atfork(&prepare, &parent, &child) == 0;
}();

}  // namespace

Pool& global_pool() { return holder().get(); }

}  // namespace tarnex::parallel
