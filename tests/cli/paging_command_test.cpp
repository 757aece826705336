// Pages of a recording joined by the tool from recordings made an hour apart:
// no page spans the gap, and each one draws the recorder's own clock.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/tool_run.h"

namespace {

TEST(CliPaging, APageOfAConcatenationEndsAtTheTimeGap) {
  TempDir dir;
  if (Zorvan("--has-gui", dir).status != 0) GTEST_SKIP() << "render needs Qt";
  ASSERT_EQ(Zorvan("synth day_001.bin --records 100 --channels Hx,Hy --start 2026-12-07T13:45:10", dir).status, 0);
  ASSERT_EQ(
      Zorvan("synth day_002.bin --records 100 --channels Hx,Hy --start 2026-12-07T14:49:25.9 --seed 2", dir).status, 0);
  ToolRun concat = Zorvan("concat day_001.bin day_002.bin", dir);
  ASSERT_EQ(concat.status, 0) << concat.err;

  ToolRun before = Zorvan("render day_001_CONCAT.bin --record 81 --records-per-plot 40 --out before.png", dir);
  ASSERT_EQ(before.status, 0) << before.err;
  EXPECT_TRUE(Has(before.out, "records 81 to 100 of day_001_CONCAT.bin")) << before.out;
  ToolRun after = Zorvan("render day_001_CONCAT.bin --record 101 --records-per-plot 40 --out after.png", dir);
  ASSERT_EQ(after.status, 0) << after.err;
  EXPECT_TRUE(Has(after.out, "records 101 to 140 of day_001_CONCAT.bin")) << after.out;
}

}  // namespace
