#pragma once

#include "framework/core/object.h"

#include <memory>

namespace fw {

/// A reference that does not keep its object alive: Value() is the object while it lives, Nil
/// after.
class WeakRef : public Object {
public:
    explicit WeakRef(const std::shared_ptr<Object>& target) : target_(target) {}

    std::shared_ptr<Object> Value() const { return target_.lock(); }

private:
    std::weak_ptr<Object> target_;
};

} // namespace fw
