#include <gtest/gtest.h>
#include "winsim/control.h"
TEST(Smoke, Links) { EXPECT_EQ(winsim::census(), winsim::census()); }
