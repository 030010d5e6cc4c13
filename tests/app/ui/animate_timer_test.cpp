#include "app/ui/animate_timer.h"
#include "framework/property_list.h"
#include "framework/window.h"
#include "framework/window_list.h"
#include "tests/support/wait.h"

#include <gtest/gtest.h>

namespace tallybell {
namespace {

using tallybell::testing::WaitFor;

TEST(AnimateTimer, JoinsItsWindowWeaklyAndLosesItWhenTheWindowGoes) {
    auto timer = std::make_shared<Window1_wrapper_animate>();
    timer->Constructor();
    EXPECT_EQ(timer->Window(), nullptr) << "no window before it joins one";

    auto window = std::make_shared<fw::Window>("TimerHost.TimerHost");
    window->Constructor();
    window->_AddControl("animate", timer);
    fw::_SetProperties(
        window->_ControlByName("animate"),
        fw::PropertyListBuilder().AddInt64("RunMode", 0).AddInt64("Period", 25).Build());
    EXPECT_EQ(timer->Window(), window);
    EXPECT_EQ(timer->Index, fw::kNotIndexed);
    EXPECT_EQ(timer->RunMode(), fw::Timer::Off);
    EXPECT_EQ(timer->Period(), 25);

    std::weak_ptr<fw::Window> watched = window;
    window->Close();
    window.reset();
    EXPECT_TRUE(WaitFor([&] { return watched.expired(); })) << "the timer kept its window alive";
    EXPECT_EQ(timer->Window(), nullptr);
}

} // namespace
} // namespace tallybell
