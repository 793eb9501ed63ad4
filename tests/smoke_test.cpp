#include <gtest/gtest.h>

#include "shared/Version.h"

namespace vr {
namespace {

TEST(Version, TextHasNoLeadingZeros) {
    EXPECT_EQ(VersionText(), "1.0.2");
}

}  // namespace
}  // namespace vr
