#include "dialogs/goto_dialog.h"

#include <gtest/gtest.h>

#include "app/navigation.h"
#include "tests/app/window_fixture.h"

namespace {

// Ten records of 2.56 s from 12/07/2026 13:45:10 UTC.
class GoToTest : public WindowTest {
 protected:
  void OpenTen(const std::string& recordsPerPlot = "1") { Open(SmallRecording(10), recordsPerPlot); }
  /// Runs the dialog with text typed and OK pressed; returns whether it closed.
  bool GoTo(const std::string& text, std::string* range = nullptr) {
    bool closed = false;
    host.dialogScripts.push_back([&](HeadlessDialog& d) {
      if (range) *range = d.GetText(kGoToRange);
      d.Type(kGoToTarget, text);
      d.Ok();
      closed = d.closed();
    });
    RunGoToDialog(s);
    return closed;
  }
};

TEST_F(GoToTest, ARecordNumberLoadsThePageThatHoldsIt) {
  OpenTen("3");
  std::string range;
  EXPECT_TRUE(GoTo("8", &range));
  EXPECT_EQ(range, "Records 1 to 10, from 12/07/2026 13:45:10.000 to 12/07/2026 13:45:35.600 UTC");
  EXPECT_EQ(s.CurrentRecord, 6);  // the page of records 7 to 9, as paging from the start shows it
  EXPECT_EQ(host.status[1], "Rec 7");
  EXPECT_EQ(s.NumPlotPoints, 3 * 2560);
  EXPECT_DOUBLE_EQ(s.PlotStartTime, 6 * 2.56);
  EXPECT_EQ(s.RedrawAll, 1);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(GoTo(" 10 "));  // the last, shorter page
  EXPECT_EQ(s.CurrentRecord, 9);
  EXPECT_EQ(host.status[1], "Rec 10");
}

TEST_F(GoToTest, ATimeLoadsThePageThatHoldsItInEveryForm) {
  OpenTen();
  // 13:45:20 is 10 s into the file: the fourth record (7.68 … 10.24 s).
  for (const char* text : {"12/07/2026 13:45:20.000", "12/07/26 13:45:20", "2026-12-07T13:45:20.1",
                           "2026-12-07 13:45:20", "13:45:20", "13:45:20 UTC", "03:45:20 HST"}) {
    CmdFirstPage(s);
    EXPECT_TRUE(GoTo(text)) << text;
    EXPECT_EQ(s.CurrentRecord, 3) << text;
  }
  EXPECT_TRUE(host.messages.empty());
  // As shown in HST, a time without a zone is an HST time.
  s.TimeFormatHST = 1;
  EXPECT_TRUE(GoTo("03:45:31"));
  EXPECT_EQ(s.CurrentRecord, 8);
  EXPECT_TRUE(GoTo("12/07/2026 03:45:10"));
  EXPECT_EQ(s.CurrentRecord, 0);
}

TEST_F(GoToTest, WhatTheFileDoesNotHoldIsRefusedAndTheDialogStaysOpen) {
  OpenTen();
  ASSERT_TRUE(GoTo("5"));
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"11", "Record 11 is outside page.bin: it holds records 1 to 10."},
      {"0", "Record 0 is outside page.bin: it holds records 1 to 10."},
      {"12/07/2026 14:00:00",
       "12/07/2026 14:00:00.000 UTC is outside page.bin: it runs from 12/07/2026 13:45:10.000 to "
       "12/07/2026 13:45:35.600 UTC."},
      {"13:45:09.5",  // before the first sample on the file's day, and the file ends before the next
       "12/07/2026 13:45:09.500 UTC is outside page.bin: it runs from 12/07/2026 13:45:10.000 to "
       "12/07/2026 13:45:35.600 UTC."},
      {"page five",
       "\"Record or time\" must be a record number from 1 to 10 or a date and time such as "
       "12/07/2026 13:45:10.000 UTC."},
      {"25:00:00",
       "\"Record or time\" must be a record number from 1 to 10 or a date and time such as "
       "12/07/2026 13:45:10.000 UTC."},
      {"-3",
       "\"Record or time\" must be a record number from 1 to 10 or a date and time such as "
       "12/07/2026 13:45:10.000 UTC."},
  };
  for (const Case& c : cases) {
    host.messages.clear();
    EXPECT_FALSE(GoTo(c.text)) << c.text;
    ASSERT_EQ(host.messages.size(), 1u) << c.text;
    EXPECT_EQ(host.messages[0].text, c.message);
    EXPECT_EQ(host.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(s.CurrentRecord, 4) << c.text;  // the page shown stays
  }
}

TEST_F(GoToTest, HomeAndEndLoadTheFirstAndTheLastPage) {
  OpenTen("4");
  RunCommand(s, kCmdLastPage, image);
  EXPECT_EQ(s.CurrentRecord, 8);  // pages 1-4, 5-8, 9-10
  EXPECT_EQ(s.NumPlotPoints, 2 * 2560);
  EXPECT_EQ(host.status[1], "Rec 9");
  RunCommand(s, kCmdFirstPage, image);
  EXPECT_EQ(s.CurrentRecord, 0);
  EXPECT_EQ(host.status[1], "Rec 1");
  EXPECT_EQ(RecordCount(s), 10);
  EXPECT_EQ(RecordAtTime(s, -0.001), -1);
  EXPECT_EQ(RecordAtTime(s, 25.61), -2);
  EXPECT_EQ(RecordAtTime(s, 25.59), 9);
}

TEST_F(GoToTest, WithoutAFileNothingOpens) {
  EXPECT_EQ(RunGoToDialog(s), 0);
  EXPECT_TRUE(host.dialogTitles.empty());
  RunCommand(s, kCmdLastPage, image);
  EXPECT_EQ(s.FileLoaded, 0);
}

TEST(TypedTime, FormsZonesAndNonsense) {
  auto t = ParseTypedTime("12/07/26 13:45:20.25 HST", false);
  ASSERT_TRUE(t);
  EXPECT_TRUE(t->dateGiven);
  EXPECT_TRUE(t->hst);
  EXPECT_EQ(t->time.year, 2026);
  EXPECT_EQ(t->time.month, 12);
  EXPECT_EQ(t->time.day, 7);
  EXPECT_EQ(t->time.hour, 13);
  EXPECT_EQ(t->time.minute, 45);
  EXPECT_DOUBLE_EQ(t->time.second, 20.25);
  t = ParseTypedTime("13:45", true);
  ASSERT_TRUE(t);
  EXPECT_FALSE(t->dateGiven);
  EXPECT_TRUE(t->hst);
  EXPECT_EQ(t->time.second, 0.0);
  for (const char* bad :
       {"", "13", "13:60", "24:00", "13:45:60", "13:45:10x", "13/45/2026 10:00", "2026-02-30x", "12/07/2026", "noon"})
    EXPECT_FALSE(ParseTypedTime(bad, false)) << bad;
}

}  // namespace

namespace {

using FileDialogTitleTest = WindowTest;

TEST_F(FileDialogTitleTest, TheMultipleSelectionDialogsAreTitledForTheirTask) {
  RunCommand(s, kMenuConcatenateFiles, image);
  RunCommand(s, kMenuSynchronizeFiles, image);
  EXPECT_EQ(host.openFilesTitles,
            (std::vector<std::string>{"Select recordings to concatenate", "Select recordings to synchronize"}));
}

}  // namespace
