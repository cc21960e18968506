#include "host/core/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(FixedText, PrintsTheSameBytesForEveryValue) {
  EXPECT_EQ(fixed_text(1013.25), "1013.250");
  EXPECT_EQ(fixed_text(0.0005), "0.001");   // exact binary value rounds up
  EXPECT_EQ(fixed_text(0.125, 2), "0.12");  // ties to even, as written
  EXPECT_EQ(fixed_text(-0.0001), "0.000");  // no negative zero
  EXPECT_EQ(fixed_text(-0.0), "0.000");
  EXPECT_EQ(fixed_text(-12.5), "-12.500");
  EXPECT_EQ(fixed_text(1e300), "1.000e+300");
  EXPECT_EQ(fixed_text(NAN), "nan");
  EXPECT_EQ(fixed_text(-INFINITY), "-inf");
}

TEST(SaturatingInt32, TruncatesAndSaturates) {
  EXPECT_EQ(saturating_int32(-3.9), -3);
  EXPECT_EQ(saturating_int32(3.9), 3);
  EXPECT_EQ(saturating_int32(3e9), 2147483647);
  EXPECT_EQ(saturating_int32(-3e9), -2147483647 - 1);
  EXPECT_EQ(saturating_int32(INFINITY), 2147483647);
  EXPECT_EQ(saturating_int32(NAN), 0);
}

}  // namespace
