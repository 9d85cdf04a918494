#include "lib/record/failure.hpp"

#include <execinfo.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarnex {
namespace {

std::atomic<bool> note_written{false};

bool backtrace_requested() {
    const char* v = std::getenv("TARNEX_BACKTRACE");
    return v != nullptr && v[0] != '\0' && std::strcmp(v, "0") != 0;
}

// Source paths are made repository-relative at compile time; this trims any leading
// directories left over (say, from an out-of-tree build) down to "src/...".
const char* relative_path(const char* file) {
    const char* found = std::strstr(file, "src/");
    const char* last = nullptr;
    while (found != nullptr) {
        last = found;
        found = std::strstr(found + 1, "src/");
    }
    return last != nullptr && last != file && last[-1] == '/' ? last : file;
}

void write_report(const std::string& message, const std::source_location& where) {
    const long tid = syscall(SYS_gettid);
    const char* name = tid == static_cast<long>(getpid()) ? "main" : "<unnamed>";
    std::fprintf(stderr, "\nthread '%s' (%ld) panicked at %s:%u:%u:\n%s\n", name, tid,
                 relative_path(where.file_name()), static_cast<unsigned>(where.line()),
                 static_cast<unsigned>(where.column()), message.c_str());
    if (backtrace_requested()) {
        void* frames[64];
        const int depth = backtrace(frames, 64);
        std::fputs("stack backtrace:\n", stderr);
        std::fflush(stderr);
        backtrace_symbols_fd(frames, depth, STDERR_FILENO);
    } else if (!note_written.exchange(true)) {
        std::fputs("note: run with `TARNEX_BACKTRACE=1` environment variable to display a backtrace\n",
                   stderr);
    }
    std::fflush(stderr);
}

}  // namespace

void fail(std::string message, std::source_location where) {
    write_report(message, where);
    throw CoreFailure(std::move(message));
}

void fail_quietly(std::string message) { throw CoreFailure(std::move(message)); }

}  // namespace tarnex
