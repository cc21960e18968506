#include <gtest/gtest.h>
#include "module/linkage.h"
TEST(Smoke, Linkage) { EXPECT_EQ(Linkage.module_id, 0x13u); }
