#include "framework/weak_ref.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(WeakRefTest, ValueIsTheObjectWhileItLivesAndNilAfter) {
    auto target = std::make_shared<Object>();
    const WeakRef ref(target);
    EXPECT_EQ(ref.Value(), target);
    EXPECT_EQ(target.use_count(), 1) << "the reference must not keep its object alive";
    target.reset();
    EXPECT_EQ(ref.Value(), nullptr);
}

TEST(WeakRefTest, ToNilIsNil) {
    EXPECT_EQ(WeakRef(nullptr).Value(), nullptr);
}

} // namespace
} // namespace fw
