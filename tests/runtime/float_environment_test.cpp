#include "runtime/float_environment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cfenv>
#include <cstdint>

#include "support/capture.h"

namespace quelvar {
namespace {

using testing::capture_run;

const char kDivideByZero[] = "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n";
const char kInvalid[] = "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n";
const char kOverflow[] = "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n";

TEST(CheckedDivide, NonzeroOverZeroStopsWithDivideByZero) {
  auto run = capture_run([] { checked_divide(1.0, 0.0); }, false);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, kDivideByZero);
}

TEST(CheckedDivide, NegativeZeroDenominatorIsZeroToo) {
  auto run = capture_run([] { checked_divide(-3.0, -0.0); }, false);
  EXPECT_EQ(run.error, kDivideByZero);
}

TEST(CheckedDivide, ZeroOverZeroStopsWithInvalid) {
  auto run = capture_run([] { checked_divide(0.0, 0.0); }, false);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, kInvalid);
}

TEST(CheckedDivide, OrdinaryQuotientIsTheDoubleQuotient) {
  double q = 0;
  auto run = capture_run([&] { q = checked_divide(1.0, 3.0); }, false);
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(q, 1.0 / 3.0);
}

TEST(StoreSingle, MidpointAboveTheLargestSingleOverflows) {
  // 3.4028235677973366e38 is the midpoint between FLT_MAX and 2^128: it rounds up, so it overflows.
  auto run = capture_run([] { store_single(3.4028235677973366e38); }, false);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, kOverflow);
  auto negative = capture_run([] { store_single(-3.4028235677973366e38); }, false);
  EXPECT_EQ(negative.error, kOverflow);
}

TEST(StoreSingle, LargestSingleAndJustBelowTheMidpointAreStored) {
  float stored = 0;
  auto run = capture_run([&] { stored = store_single(3.4028235e38); }, false);
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(stored, 3.4028235e38f);
  const double below_midpoint = std::nextafter(3.4028235677973366e38, 0.0);
  auto near = capture_run([&] { stored = store_single(below_midpoint); }, false);
  EXPECT_FALSE(near.ended);
  EXPECT_EQ(stored, 3.4028235e38f);
}

TEST(StoreSingle, TinyProductUnderflowsSilentlyToASignedZero) {
  float positive = 1, negative = 1;
  auto run = capture_run(
      [&] {
        positive = store_single(1e-30 * 1e-30);
        negative = store_single(-1e-30 * 1e-30);
      },
      false);
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(run.error, "");
  EXPECT_EQ(positive, 0.0f);
  EXPECT_FALSE(std::signbit(positive));
  EXPECT_EQ(negative, 0.0f);
  EXPECT_TRUE(std::signbit(negative));
}

TEST(StoreSingle, SubnormalResultIsKept) {
  float stored = 0;
  capture_run([&] { stored = store_single(1.401298464324817e-45); }, false);
  uint32_t bits;
  std::memcpy(&bits, &stored, sizeof bits);
  EXPECT_EQ(bits, 1u);
}

TEST(StoreSingle, TiesRoundToEven) {
  // 1 + 2^-24 lies halfway between 1 and the next single; the even neighbour is 1.
  float stored = 0;
  capture_run([&] { stored = store_single(1.0 + 0x1p-24); }, false);
  EXPECT_EQ(stored, 1.0f);
  capture_run([&] { stored = store_single(1.0 + 3 * 0x1p-24); }, false);
  EXPECT_EQ(stored, 1.0f + 0x1p-22f);
}

TEST(InitFloatEnvironment, ClearsPendingFlags) {
  volatile double zero = 0.0;
  volatile double sink = 1.0 / zero;
  (void)sink;
  init_float_environment();
  EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
  EXPECT_EQ(std::fegetround(), FE_TONEAREST);
}

}  // namespace
}  // namespace quelvar
