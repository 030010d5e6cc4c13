#include "framework/core/exceptions.h"

#include <utility>

namespace fw {

RuntimeException::RuntimeException(std::string message) : message_(std::move(message)) {}

const char* RuntimeException::what() const noexcept {
    return message_.c_str();
}

} // namespace fw
