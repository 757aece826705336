#include "app/commands.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/file_commands.h"
#include "tests/app/window_fixture.h"

namespace {

class CommandsTest : public WindowTest {
 protected:
  struct Page {
    int record;
    double start;
    int points;
    std::vector<double> x, y0, y3;
  };
  Page Current() {
    Page p{s.CurrentRecord, s.PlotStartTime, s.NumPlotPoints, {}, {}, {}};
    p.x.assign(s.xplotdata.begin(), s.xplotdata.begin() + s.NumPlotPoints);
    p.y0.assign(s.yplotdata_orig[0].begin(), s.yplotdata_orig[0].begin() + s.NumPlotPoints);
    p.y3.assign(s.yplotdata_orig[3].begin(), s.yplotdata_orig[3].begin() + s.NumPlotPoints);
    return p;
  }
  static void ExpectSamePage(const Page& a, const Page& b) {
    EXPECT_EQ(a.record, b.record);
    EXPECT_DOUBLE_EQ(a.start, b.start);
    EXPECT_EQ(a.points, b.points);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y0, b.y0);
    EXPECT_EQ(a.y3, b.y3);
  }
};

TEST_F(CommandsTest, ThreeStepsForwardAndOneBackWithThreeRecordsPerPlot) {
  Open(SmallRecording(15), "3");
  EXPECT_EQ(host.status[1], "Rec 1");
  CmdStepForward(s);
  CmdStepForward(s);
  Page seven = Current();
  CmdStepForward(s);
  EXPECT_EQ(host.status[1], "Rec 10");
  EXPECT_EQ(s.CurrentRecord, 9);
  EXPECT_DOUBLE_EQ(s.PlotStartTime, 9 * 2560 / 1000.0);
  EXPECT_EQ(s.NumPlotPoints, 3 * 2560);
  EXPECT_DOUBLE_EQ(s.xplotdata[0], s.PlotStartTime);
  EXPECT_EQ(s.RedrawAll, 1);
  EXPECT_EQ(host.status[2], "12/07/2026");
  EXPECT_EQ(host.status[3], "13:45:33.040");

  CmdStepBack(s);
  EXPECT_EQ(host.status[1], "Rec 7");
  EXPECT_EQ(seven.record, 6);
  ExpectSamePage(Current(), seven);
  EXPECT_EQ(host.cursor, CursorShape::Wait);  // until the repaint
  Paint();
  EXPECT_EQ(host.cursor, CursorShape::Arrow);

  // The same samples as reading the file from its start: records 7 to 9 of a nine-record page.
  Page back = Current();
  host.AnswerOpen(dir / "page.bin", "9");
  ASSERT_EQ(CmdOpenFile(s), 1);
  ASSERT_EQ(s.NumPlotPoints, 9 * 2560);
  for (int i = 0; i < back.points; ++i) {
    ASSERT_EQ(back.y0[i], s.yplotdata_orig[0][6 * 2560 + i]) << i;
    ASSERT_EQ(back.y3[i], s.yplotdata_orig[3][6 * 2560 + i]) << i;
    ASSERT_NEAR(back.x[i], s.xplotdata[6 * 2560 + i], 1e-9) << i;
  }
}

TEST_F(CommandsTest, StepBackOnTheFirstPageDoesNothing) {
  Open(SmallRecording(6), "2");
  int invalidations = host.invalidations;
  CmdStepBack(s);
  EXPECT_EQ(s.CurrentRecord, 0);
  EXPECT_EQ(host.invalidations, invalidations);
  EXPECT_EQ(host.status[1], "Rec 1");
}

TEST_F(CommandsTest, StepForwardAtTheEndOfTheFile) {
  Open(SmallRecording(10), "3");
  for (int i = 0; i < 2; ++i) CmdStepForward(s);
  EXPECT_EQ(host.status[1], "Rec 7");
  // The last page holds the one record left, and says so.
  s.RedrawAll = 0;
  int invalidations = host.invalidations;
  CmdStepForward(s);
  EXPECT_EQ(host.status[1], "Rec 10");
  EXPECT_EQ(s.CurrentRecord, 9);
  EXPECT_EQ(s.NumPlotPoints, 2560);
  EXPECT_DOUBLE_EQ(s.PlotStartTime, 9 * 2.56);
  EXPECT_EQ(s.RedrawAll, 1);
  EXPECT_EQ(host.invalidations, invalidations + 1);
  // Nothing more to read: the page stays, the status says "EOF".
  s.RedrawAll = 0;
  CmdStepForward(s);
  EXPECT_EQ(host.status[1], "EOF");
  EXPECT_EQ(s.CurrentRecord, 9);
  EXPECT_DOUBLE_EQ(s.PlotStartTime, 9 * 2.56);
  EXPECT_EQ(s.NumPlotPoints, 2560);
  EXPECT_EQ(s.RedrawAll, 0);
  EXPECT_EQ(host.invalidations, invalidations + 1);
  EXPECT_EQ(host.cursor, CursorShape::Arrow);
  EXPECT_TRUE(host.messages.empty());
  // Back from the short last page: records 7 to 9.
  CmdStepBack(s);
  EXPECT_EQ(host.status[1], "Rec 7");
  EXPECT_EQ(s.NumPlotPoints, 3 * 2560);
}

TEST_F(CommandsTest, PagingWithoutAFileDoesNothing) {
  CmdStepForward(s);
  CmdStepBack(s);
  EXPECT_EQ(s.CurrentRecord, 0);
  EXPECT_EQ(host.invalidations, 0);
}

TEST_F(CommandsTest, OpenPathTakesOneRecordPerPlot) {
  s.RecordsPerPlot = 4;
  ASSERT_EQ(CmdOpenPath(s, Write(SmallRecording(5))), 1);
  EXPECT_EQ(s.RecordsPerPlot, 1);
  EXPECT_EQ(s.NumPlotPoints, 2560);
  EXPECT_EQ(host.status[1], "Rec 1");
  EXPECT_EQ(s.FileLoaded, 1);
  // A path that cannot be opened leaves the open file alone.
  EXPECT_EQ(CmdOpenPath(s, dir / "missing.bin"), 0);
  EXPECT_EQ(s.FileLoaded, 1);
  EXPECT_EQ(s.NumPlotPoints, 2560);
  ASSERT_EQ(host.messages.size(), 1u);
}

TEST_F(CommandsTest, ToggleButtonsFollowTheirModes) {
  Open(SmallRecording(2));
  auto pressed = [&](int id) { return host.pressed.count(id) && host.pressed[id]; };

  CmdToggleFilter(s);
  EXPECT_EQ(s.FilterOn, 1);
  EXPECT_TRUE(pressed(kCmdFilter));
  RunCommand(s, kMenuFilterOnOff, window);
  EXPECT_EQ(s.FilterOn, 0);
  EXPECT_FALSE(pressed(kCmdFilter));

  CmdToggleFindPeaks(s);
  EXPECT_TRUE(pressed(kCmdFindPeaks));
  CmdToggleFindPeaks(s);
  EXPECT_FALSE(pressed(kCmdFindPeaks));

  CmdToggleAutoscale(s);
  EXPECT_EQ(s.AutoscaleAll, 0);
  EXPECT_EQ(s.AutoscaleChan[5], 0);
  EXPECT_FALSE(pressed(kCmdAutoscale));
  s.AutoscaleChan[2] = 1;  // partly on counts as off: the button turns it all on
  CmdToggleAutoscale(s);
  EXPECT_TRUE(AutoscaleFullyOn(s));
  EXPECT_TRUE(pressed(kCmdAutoscale));

  CmdToggleZoom(s);
  EXPECT_EQ(s.ZoomMode, 1);
  EXPECT_TRUE(pressed(kCmdZoom));
  EXPECT_EQ(host.cursor, CursorShape::Zoom);
  CmdToggleAutoscale(s);
  CmdToggleZoom(s);  // leaving zoom mode turns autoscaling on
  EXPECT_EQ(s.ZoomMode, 0);
  EXPECT_FALSE(pressed(kCmdZoom));
  EXPECT_TRUE(pressed(kCmdAutoscale));
  EXPECT_EQ(host.cursor, CursorShape::Arrow);

  CmdToggleFourier(s);
  EXPECT_EQ(s.FourierOn, 1);
  EXPECT_EQ(s.LogY, 1);
  EXPECT_TRUE(pressed(kCmdFourier));
  CmdToggleFourier(s);
  EXPECT_EQ(s.FourierOn + s.LogX + s.LogY, 0);
  EXPECT_FALSE(pressed(kCmdFourier));
}

TEST_F(CommandsTest, FourierAfterAutoscaleOffScalesTheFrequencyAxis) {
  Open(SmallRecording(2));
  CmdToggleAutoscale(s);
  CmdToggleFourier(s);
  EXPECT_TRUE(AutoscaleFullyOn(s));
  EXPECT_TRUE(host.pressed[kCmdAutoscale]);
}

TEST_F(CommandsTest, FourierWhileApparentResistivityIsOn) {
  Open(SmallRecording(2));
  s.CoherOn = 1;
  CmdToggleAppRes(s);
  EXPECT_EQ(s.AppResOn, 1);
  EXPECT_EQ(s.FourierOn, 1);
  EXPECT_EQ(s.ResistivityOn, 1);
  EXPECT_EQ(s.CoherOn, 0);
  EXPECT_TRUE(host.pressed[kCmdAppRes]);
  EXPECT_TRUE(host.pressed[kCmdFourier]);
  EXPECT_TRUE(host.pressed[kCmdAutoscale]);

  CmdToggleFourier(s);
  EXPECT_EQ(s.FourierOn, 0);
  EXPECT_EQ(s.AppResOn, 1);
  EXPECT_FALSE(host.pressed[kCmdFourier]);
  EXPECT_TRUE(host.pressed[kCmdAppRes]);

  CmdToggleAppRes(s);
  EXPECT_EQ(s.AppResOn + s.FourierOn + s.LogX + s.LogY + s.ResistivityOn, 0);
  EXPECT_FALSE(host.pressed[kCmdAppRes]);
  // Switching the mode off keeps the least-squares estimate for the next time.
  EXPECT_EQ(s.LeastSquaresOn, 1);
}

TEST_F(CommandsTest, ApparentResistivityWithoutTheMtChannelsFallsBackAndReleasesBothButtons) {
  Open(SmallRecording(2, "Hx,Hz"));
  CmdToggleAppRes(s);
  Paint();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Ex, Ey, Hx, Hy Labels not all present in header");
  EXPECT_EQ(s.AppResOn + s.FourierOn, 0);
  EXPECT_FALSE(host.pressed[kCmdAppRes]);
  EXPECT_FALSE(host.pressed[kCmdFourier]);
}

TEST_F(CommandsTest, CopyPutsThePlotAreaOnTheClipboardUnlessBusy) {
  Open(SmallRecording(1));
  RunCommand(s, kCmdCopy, window);
  ASSERT_TRUE(host.clipboard.has_value());
  EXPECT_EQ(host.clipboard->width, 1600);
  EXPECT_EQ(host.clipboard->height, 900);
  host.clipboard.reset();
  host.clipboardBusy = true;
  RunCommand(s, kMenuCopy, window);
  EXPECT_FALSE(host.clipboard.has_value());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(CommandsTest, SettingsCommandsOpenTheirDialogs) {
  Open(SmallRecording(1));
  const std::pair<int, const char*> dialogs[] = {{kMenuFileInformation, "Qor Header Contents"},
                                                 {kMenuGeneralSettings, "General Settings"},
                                                 {kMenuFileHeader, "Edit File Header"},
                                                 {kMenuPlotScaling, "Plot Scaling"},
                                                 {kMenuFilterSettings, "Filter Settings"},
                                                 {kMenuFourierSettings, "Fourier Transform Settings"},
                                                 {kMenuFindPeaks, "Find Peaks"},
                                                 {kCmdFindNoise, "Find Noise"},
                                                 {kMenuAbout, "About Zorvan"}};
  for (const auto& [id, title] : dialogs) {
    host.dialogTitles.clear();
    RunCommand(s, id, window);
    EXPECT_EQ(host.dialogTitles, std::vector<std::string>{title}) << id;
  }
}

TEST_F(CommandsTest, FilterSettingsLeaveTheFilterButtonShowingTheFilter) {
  Open(SmallRecording(1));
  host.dialogScripts.push_back([](HeadlessDialog& d) {
    for (const auto& c : d.dialogTemplate().controls)
      if (c.kind == ControlKind::Check) d.Click(c.id);  // "Enable"
    d.Ok();
  });
  ASSERT_EQ(s.FilterOn, 0);
  RunCommand(s, kMenuFilterSettings, window);
  EXPECT_EQ(s.FilterOn, 1);
  EXPECT_TRUE(host.pressed[kCmdFilter]);
  EXPECT_EQ(s.RedrawAll, 1);
}

TEST_F(CommandsTest, FileCommandsWithoutARecordingSaySo) {
  RunCommand(s, kCmdFileSave, window);
  RunCommand(s, kMenuSegmentFile, window);
  EXPECT_EQ(host.MessageTexts(), (std::vector<std::string>{kNoDataMessage, kNoDataMessage}));
  host.messages.clear();
  for (int id : {kCmdPrint, kCmdPan, kCmdReset, kMenuPrint, kMenuExit}) RunCommand(s, id, window);
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
