// The process-wide pool could not be started.
#pragma once

#include <exception>
#include <string>

namespace tarnex::parallel {

// what() is the whole message: "The global thread pool has not been initialized.: "
// followed by the cause.
class PoolStartFailure : public std::exception {
public:
    explicit PoolStartFailure(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

}  // namespace tarnex::parallel
