#pragma once

#include "framework/core/exceptions.h"

#include <memory>

namespace fw {

/// Base of every reference-counted framework object; Nil is a null pointer.
class Object : public std::enable_shared_from_this<Object> {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;
};

/// The object behind a maybe-Nil reference; using Nil raises NilObjectException.
template <class T> T& Deref(const std::shared_ptr<T>& ref) {
    if (!ref) {
        throw NilObjectException();
    }
    return *ref;
}

/// The verifying cast: Nil stays Nil, an object of another class raises IllegalCastException.
template <class To, class From> std::shared_ptr<To> Cast(const std::shared_ptr<From>& ref) {
    if (!ref) {
        return nullptr;
    }
    auto cast = std::dynamic_pointer_cast<To>(ref);
    if (!cast) {
        throw IllegalCastException();
    }
    return cast;
}

} // namespace fw
