#include "app/diagnostics.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(HealthCheck, PassesOnAWorkingBuild) {
    EXPECT_NO_THROW(runHealthCheck());
}

}  // namespace
}  // namespace quorvel
