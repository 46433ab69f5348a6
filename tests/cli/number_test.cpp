// SPDX-License-Identifier: Apache-2.0
// The one number reader: strtol rules with a signed 32-bit result.
#include <gtest/gtest.h>

#include "cli/number.h"

TEST(NumberReader, HexAndDecimalReadTheSameTextDifferently) {
  EXPECT_EQ(read_hex("0x10"), 16);
  EXPECT_EQ(read_hex("0X10"), 16);
  EXPECT_EQ(read_hex("10"), 16);
  EXPECT_EQ(read_decimal("0x10"), 0);
  EXPECT_EQ(read_decimal("10"), 10);
  EXPECT_EQ(read_hex("aBcD"), 0xabcd);
}

TEST(NumberReader, StopsAtTheFirstCharacterThatIsNoDigit) {
  EXPECT_EQ(read_hex("512k"), 0x512);
  EXPECT_EQ(read_decimal("12k"), 12);
  EXPECT_EQ(read_decimal("12kb"), 12);
  EXPECT_EQ(read_hex("0xg"), 0);
  EXPECT_EQ(read_hex("8000 "), 0x8000);
}

TEST(NumberReader, TextWithoutDigitsReadsAsZero) {
  EXPECT_EQ(read_hex("-s"), 0);
  EXPECT_EQ(read_decimal("-u"), 0);
  EXPECT_EQ(read_hex(""), 0);
  EXPECT_EQ(read_hex("0x"), 0);
  EXPECT_EQ(read_hex("zz"), 0);
}

TEST(NumberReader, SkipsLeadingWhiteSpaceAndTakesASign) {
  EXPECT_EQ(read_hex(" \t\n12"), 0x12);
  EXPECT_EQ(read_hex("+0x7f"), 0x7f);
  EXPECT_EQ(read_hex("-1"), -1);
  EXPECT_EQ(static_cast<uint32_t>(read_hex("-1")), 0xffffffffu);
  EXPECT_EQ(read_decimal("-40"), -40);
  EXPECT_EQ(read_hex("-0x10"), -16);
}

TEST(NumberReader, ValuesOutsideSigned32BitsReadAsZero) {
  EXPECT_EQ(read_hex("7fffffff"), 0x7fffffff);
  EXPECT_EQ(read_hex("80000000"), 0);
  EXPECT_EQ(read_hex("-80000000"), INT32_MIN);
  EXPECT_EQ(read_hex("-80000001"), 0);
  EXPECT_EQ(read_decimal("2147483647"), 2147483647);
  EXPECT_EQ(read_decimal("2147483648"), 0);
  EXPECT_EQ(read_decimal("-2147483648"), INT32_MIN);
  // Far beyond 64 bits as well: no wrap back into range.
  EXPECT_EQ(read_hex("1000000000000000000000001"), 0);
  EXPECT_EQ(read_decimal("99999999999999999999999999"), 0);
}
