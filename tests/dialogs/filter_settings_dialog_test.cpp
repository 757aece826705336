#include "dialogs/filter_settings_dialog.h"

#include <gtest/gtest.h>

#include "tests/app/window_fixture.h"

namespace {

using FilterSettingsTest = WindowTest;

TEST_F(FilterSettingsTest, OpensOnTheCornerInUseAndAppliesChangesAtOnce) {
  Open(SmallRecording(2));
  s.LowPassCorner = 4;
  s.FitValid = 1;
  std::string corner, width;
  std::vector<std::string> items;
  bool enabled = true;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    corner = d.GetText(kFilterCorner);
    items = d.ComboItems(kFilterCorner);
    width = d.GetText(kFilterRunningWidth);
    enabled = d.GetCheck(kFilterEnable);
    const int before = host.invalidations;
    d.Select(kFilterCorner, 5);
    EXPECT_EQ(s.LowPassCorner, 6);
    EXPECT_EQ(s.FitValid, 0);  // a trend of other data no longer holds
    EXPECT_GT(host.invalidations, before);
    d.Click(kFilterEnable);
    EXPECT_EQ(s.FilterOn, 1);
    Paint();  // the plot behind the dialog follows
    d.Ok();
  });
  EXPECT_EQ(RunFilterSettingsDialog(s), kIdOk);
  EXPECT_EQ(host.dialogTitles, std::vector<std::string>{"Filter Settings"});
  EXPECT_EQ(corner, "50");
  EXPECT_EQ(items, (std::vector<std::string>{"5", "10", "20", "50", "100", "200"}));
  EXPECT_EQ(width, "0");
  EXPECT_FALSE(enabled);
  EXPECT_EQ(s.LowPassCorner, 6);
  EXPECT_EQ(s.FilterOn, 1);
}

TEST_F(FilterSettingsTest, CancelRestoresTheFilterAndItsCorner) {
  s.FilterOn = 1;
  s.LowPassCorner = 2;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    EXPECT_TRUE(d.GetCheck(kFilterEnable));
    d.Click(kFilterEnable);
    d.Select(kFilterCorner, 0);
    EXPECT_EQ(s.FilterOn, 0);
    EXPECT_EQ(s.LowPassCorner, 1);
    s.RedrawAll = 0;
    d.Cancel();
  });
  EXPECT_EQ(RunFilterSettingsDialog(s), kIdCancel);
  EXPECT_EQ(s.FilterOn, 1);
  EXPECT_EQ(s.LowPassCorner, 2);
  EXPECT_EQ(s.RedrawAll, 1);
}

}  // namespace
