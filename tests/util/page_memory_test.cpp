// Page rows grow without a zero-fill pass, yet what they did not keep reads as
// zero, small or mapped in huge pages, and they release what they took.
#include "util/page_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

TEST(PageRow, GrowsKeepingItsValuesWithZerosAfterThemSmallOrLarge) {
  for (size_t small : {size_t{10}, size_t{300'000}}) {
    for (size_t large : {size_t{1000}, size_t{3'000'000}}) {  // 8 KB, 24 MB
      if (large <= small) continue;
      PageRow row(small);
      EXPECT_TRUE(std::all_of(row.begin(), row.end(), [](double v) { return v == 0.0; }));
      for (size_t i = 0; i < small; ++i) row[i] = static_cast<double>(i) + 0.5;
      row.resize(large);
      bool kept = true, zero = true;
      for (size_t i = 0; i < small; ++i) kept = kept && row[i] == static_cast<double>(i) + 0.5;
      for (size_t i = small; i < large; ++i) zero = zero && row[i] == 0.0;
      EXPECT_TRUE(kept) << small << " " << large;
      EXPECT_TRUE(zero) << small << " " << large;
      row.back() = 1.0;
      PageRow().swap(row);
      EXPECT_EQ(row.capacity(), 0u);
    }
  }
}

TEST(PageRow, LargeBlocksStartOnAHugePageBoundaryAndAreReusable) {
  for (int repeat = 0; repeat < 3; ++repeat) {
    PageRow row(5'000'000);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(row.data()) % (size_t{2} << 20), 0u);
    row.assign(row.size(), 2.0);
    EXPECT_EQ(row[4'999'999], 2.0);
  }
}
