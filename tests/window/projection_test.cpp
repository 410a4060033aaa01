#include <gtest/gtest.h>

#include "window/display_window.h"

namespace quarbtro {
namespace {

TEST(Reshape, EveryWindowSizeHasTheDesignsPerspective) {
    const Projection p = designProjection();
    EXPECT_EQ(p.fieldOfView, 45.0);
    EXPECT_DOUBLE_EQ(p.aspect, 660.0 / 500.0);
    EXPECT_EQ(p.nearPlane, 0.10000000149011612);  // the single-precision 0.1, widened
    EXPECT_EQ(p.farPlane, 100.0);
}

}  // namespace
}  // namespace quarbtro
