// How the array core stops an operation: one exception type for a failed precondition,
// one for an allocation the memory allocator refused.
#pragma once

#include <cstdint>
#include <exception>
#include <source_location>
#include <string>

namespace tarnex {

// A precondition of a core operation failed. The report on standard error has already been
// written where the check failed; the message is what the caller shows to the user.
class CoreFailure : public std::exception {
public:
    explicit CoreFailure(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// The allocator could not supply `bytes` bytes. Operands stay untouched; the caller
// turns this into an out-of-memory error rather than ending the process.
class AllocationFailure : public std::exception {
public:
    explicit AllocationFailure(std::uint64_t bytes) : bytes_(bytes) {}
    const char* what() const noexcept override { return "memory allocation failed"; }
    std::uint64_t bytes() const noexcept { return bytes_; }

private:
    std::uint64_t bytes_;
};

// Writes the failure report for `message` to standard error (thread, location, message and,
// on the first failure of the process, the backtrace note), then throws CoreFailure.
[[noreturn]] void fail(std::string message,
                       std::source_location where = std::source_location::current());

// Throws CoreFailure without writing a report: for a failure whose report was already
// written elsewhere (a failure coming back out of Python code).
[[noreturn]] void fail_quietly(std::string message);

}  // namespace tarnex
