#include <gtest/gtest.h>

#include "adapter/HidPlatform.h"
#include "platform/hidcommon/Event.h"

namespace vr {
namespace {

// A wait without time to wait answers at once, and takes the signal of an automatic-reset event
// as a longer wait would.
TEST(Event, AWaitOfZeroMillisecondsLooksAndReturns) {
    struct Case {
        bool manualReset;
        bool signalled;
        std::uint32_t result;
        std::uint32_t secondResult;  // of a second wait of zero right after the first
    };
    const Case cases[] = {
        {true, true, WAIT_OBJECT_0, WAIT_OBJECT_0},
        {true, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {false, true, WAIT_OBJECT_0, WAIT_TIMEOUT},
        {false, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "manual reset " << c.manualReset << ", signalled " << c.signalled);
        Event event(c.manualReset, c.signalled);
        EXPECT_EQ(event.Wait(0), c.result);
        EXPECT_EQ(event.Wait(0), c.secondResult);
        event.Set();
        EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
        event.Reset();
        EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
    }
}

}  // namespace
}  // namespace vr
