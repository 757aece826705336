#include "dialogs/plot_scaling_dialog.h"

#include <gtest/gtest.h>

#include <cmath>

#include "dialogs/dialog_support.h"
#include "dialogs/header_fields.h"
#include "tests/app/window_fixture.h"

namespace {

class PlotScalingTest : public WindowTest {
 protected:
  /// A click into an edit, nothing typed.
  static void ClickInto(HeadlessDialog& d, int id) { d.Type(id, d.GetText(id)); }
};

TEST_F(PlotScalingTest, CancelRightAfterOpeningLeavesThePictureAsItIs) {
  SynthOptions o = SmallRecording(2);
  o.channels[0].sensorId = 5;
  Open(o);
  Paint();
  const double xmax = s.XMax;
  std::map<int, std::string> shown;
  bool xAuto = false, yAuto = false;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    for (int id : {kScaleXMin, kScaleXMax, kScaleChannel, kScaleDetector, kScaleLabel, kScaleYMin, kScaleYMax})
      shown[id] = d.GetText(id);
    xAuto = d.GetCheck(kScaleXAuto);
    yAuto = d.GetCheck(kScaleYAuto);
    d.Cancel();
  });
  const int invalidations = host.invalidations;
  EXPECT_EQ(RunPlotScalingDialog(s), kIdCancel);
  EXPECT_EQ(host.dialogTitles, std::vector<std::string>{"Plot Scaling"});
  EXPECT_EQ(shown[kScaleXMin], "0.000e+00");
  EXPECT_EQ(shown[kScaleXMax], Format("%6.3e", xmax));
  EXPECT_EQ(shown[kScaleChannel], "     1");
  EXPECT_EQ(shown[kScaleDetector], "LEMI-120");
  EXPECT_EQ(shown[kScaleLabel], "HX");
  EXPECT_EQ(shown[kScaleYMin], Format("%6.3e", s.YMinChan[0]));
  EXPECT_TRUE(xAuto);
  EXPECT_TRUE(yAuto);
  EXPECT_EQ(s.RedrawAll, 0);
  EXPECT_EQ(host.invalidations, invalidations);
  EXPECT_FALSE(RedrawImage(s, image));  // the next paint only copies the picture
}

TEST_F(PlotScalingTest, LimitsTypedForAChannelStayAcrossChannelChanges) {
  Open(SmallRecording(2));
  Paint();
  const double autoMin2 = s.YMinChan[2];
  std::string min2, max2, min3;
  bool auto2 = true, auto3 = false;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Spin(kScaleChannelSpin, 2);
    EXPECT_EQ(d.GetText(kScaleLabel), "HY");
    d.Type(kScaleYMin, "-5");
    d.Type(kScaleYMax, "5");
    d.Spin(kScaleChannelSpin, 3);
    min3 = d.GetText(kScaleYMin);
    auto3 = d.GetCheck(kScaleYAuto);
    d.Spin(kScaleChannelSpin, 2);
    min2 = d.GetText(kScaleYMin);
    max2 = d.GetText(kScaleYMax);
    auto2 = d.GetCheck(kScaleYAuto);
    d.Ok();
  });
  EXPECT_EQ(RunPlotScalingDialog(s), kIdOk);
  EXPECT_EQ(min2, "-5.000e+00");
  EXPECT_EQ(max2, "5.000e+00");
  EXPECT_FALSE(auto2);
  EXPECT_TRUE(auto3);
  EXPECT_EQ(min3, Format("%6.3e", autoMin2));
  EXPECT_EQ(s.ScalingChannel, 2);  // remembered for the next opening
  EXPECT_EQ(s.YMinManual[1], -5.0);
  EXPECT_EQ(s.YMaxManual[1], 5.0);
  EXPECT_EQ(s.AutoscaleChan[1], 0);
  EXPECT_EQ(s.AutoscaleChan[2], 1);
  EXPECT_FALSE(host.pressed[410]);  // autoscaling is no longer on everywhere
  Paint();
  EXPECT_EQ(s.YMinChan[1], -5.0);
  EXPECT_EQ(s.YMaxChan[1], 5.0);
}

TEST_F(PlotScalingTest, ClickingIntoALimitSwitchesThatAxisAutoscalingOff) {
  Open(SmallRecording(2));
  Paint();
  const double ymin = s.YMinChan[0], ymax = s.YMaxChan[0];
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    ClickInto(d, kScaleYMax);
    EXPECT_FALSE(d.GetCheck(kScaleYAuto));
    EXPECT_EQ(s.AutoscaleChan[0], 0);
    EXPECT_TRUE(d.GetCheck(kScaleXAuto));
    ClickInto(d, kScaleXMin);
    EXPECT_FALSE(d.GetCheck(kScaleXAuto));
    EXPECT_EQ(s.AutoscaleAll, 0);
    d.Ok();
  });
  RunPlotScalingDialog(s);
  // The limits shown become the channel's fixed limits.
  EXPECT_NEAR(s.YMinManual[0], ymin, 1e-3 * std::fabs(ymin));
  EXPECT_NEAR(s.YMaxManual[0], ymax, 1e-3 * std::fabs(ymax));
  EXPECT_EQ(s.AutoscaleChan[0], 0);
  EXPECT_EQ(s.AutoscaleAll, 0);
}

TEST_F(PlotScalingTest, LogYIsRefusedForLimitsAtOrBelowZeroOutsideFourierMode) {
  Open(SmallRecording(2, "Hx,Hy,,Ex"));  // slot 3 is off, its limits stay 0
  Paint();
  ASSERT_LT(s.YMinChan[0], 0);
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Click(kScaleYLog);
    EXPECT_FALSE(d.GetCheck(kScaleYLog));
    EXPECT_EQ(s.LogY, 0);
    // A limit of exactly 0 has no place on a log axis either.
    d.Type(kScaleYMin, "0");
    d.Type(kScaleYMax, "50");
    d.Click(kScaleApplyAll);
    d.Click(kScaleYLog);
    EXPECT_FALSE(d.GetCheck(kScaleYLog));
    // Fixed limits above 0 on every enabled channel are accepted.
    d.Type(kScaleYMin, "0.5");
    d.Click(kScaleApplyAll);
    d.Click(kScaleYLog);
    EXPECT_TRUE(d.GetCheck(kScaleYLog));
    EXPECT_EQ(s.LogY, 1);
    d.Ok();
  });
  RunPlotScalingDialog(s);
  ASSERT_EQ(host.MessageTexts(), std::vector<std::string>(2, "Cannot enable log display: negative or zero Y values"));
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Warning);
  for (int k : {0, 1, 3}) {
    EXPECT_EQ(s.YMinManual[k], 0.5) << k;
    EXPECT_EQ(s.YMaxManual[k], 50.0) << k;
    EXPECT_EQ(s.AutoscaleChan[k], 0) << k;
  }
  EXPECT_EQ(s.AutoscaleChan[2], 1);
  EXPECT_EQ(s.LogY, 1);
  Paint();

  // In Fourier mode channels that autoscale take the spectrum's limits, whatever they are now.
  s.LogY = 0;
  s.FourierOn = 1;
  for (int& a : s.AutoscaleChan) a = 1;
  s.YMinChan[0] = -100;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Click(kScaleYLog);
    d.Ok();
  });
  RunPlotScalingDialog(s);
  EXPECT_EQ(s.LogY, 1);
  EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(PlotScalingTest, CancelAfterReplotPutsEveryLimitBackAndRedraws) {
  Open(SmallRecording(2));
  Paint();
  const double xmin = s.XMin, xmax = s.XMax, fixedMin = s.YMinManual[0];
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Type(kScaleXMin, "1.0");
    d.Type(kScaleXMax, "2.0");
    d.Click(kScaleXLog);  // refused on a time axis
    EXPECT_EQ(s.LogX, 0);
    EXPECT_FALSE(d.GetCheck(kScaleXLog));
    EXPECT_EQ(d.GetText(kScaleXMin), Format("%6.3e", xmin));  // the log box shows the limits in force
    d.Type(kScaleXMin, "1.0");
    d.Type(kScaleYMin, "-1");
    d.Click(kIdReplot);
    EXPECT_EQ(s.XMin, 1.0);
    EXPECT_EQ(s.XMax, xmax);
    Paint();
    d.Cancel();
  });
  const int invalidations = host.invalidations;
  EXPECT_EQ(RunPlotScalingDialog(s), kIdCancel);
  EXPECT_EQ(s.XMin, xmin);
  EXPECT_EQ(s.XMax, xmax);
  EXPECT_EQ(s.LogX, 0);
  EXPECT_EQ(s.AutoscaleAll, 1);
  EXPECT_EQ(s.AutoscaleChan[0], 1);
  EXPECT_EQ(s.YMinManual[0], fixedMin);
  EXPECT_EQ(s.RedrawAll, 1);
  EXPECT_EQ(host.invalidations, invalidations + 2);  // Replot, then the picture as it was
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"Cannot enable log display on a time axis"});
}

TEST_F(PlotScalingTest, LimitsThatCannotBeDrawnAreRefusedAndThePreviousOnesKept) {
  Open(SmallRecording(2));
  Paint();
  const double xmin = s.XMin, xmax = s.XMax;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Type(kScaleXMin, "abc");
    d.Click(kIdReplot);
    EXPECT_EQ(d.GetText(kScaleXMin), Format("%6.3e", xmin));
    EXPECT_EQ(s.XMin, xmin);
    d.Type(kScaleXMin, "5");
    d.Type(kScaleXMax, "1");
    d.Click(kIdOk);  // refused: the dialog stays open with the limits in force
    EXPECT_EQ(d.GetText(kScaleXMin), Format("%6.3e", xmin));
    EXPECT_EQ(d.GetText(kScaleXMax), Format("%6.3e", xmax));
    d.Type(kScaleXMin, "5");
    d.Type(kScaleXMax, "5");
    d.Click(kIdReplot);
    EXPECT_EQ(s.XMin, xmin);
    EXPECT_EQ(s.XMax, xmax);
    // Fixed Y limits above 0, log Y on; then a 0 typed for the lower one.
    d.Type(kScaleYMin, "2");
    d.Type(kScaleYMax, "40");
    d.Click(kScaleApplyAll);
    d.Click(kScaleYLog);
    ASSERT_EQ(s.LogY, 1);
    d.Type(kScaleYMin, "0");
    d.Click(kIdReplot);
    EXPECT_EQ(d.GetText(kScaleYMin), "2.000e+00");
    EXPECT_EQ(s.YMinManual[0], 2.0);
    d.Type(kScaleYMax, " 1e3 ");  // blanks around a number are fine
    d.Click(kIdOk);
  });
  EXPECT_EQ(RunPlotScalingDialog(s), kIdOk);
  EXPECT_EQ(host.MessageTexts(),
            (std::vector<std::string>{"\"abc\" is not a number: the limit stays " + Format("%6.3e", xmin),
                                      "X Minimum must be below X Maximum: the previous X limits are kept",
                                      "X Minimum must be below X Maximum: the previous X limits are kept",
                                      "A log Y axis needs limits above 0: the previous Y limits are kept"}));
  EXPECT_EQ(s.YMaxManual[0], 1000.0);
  EXPECT_EQ(s.XMin, xmin);
}

TEST_F(PlotScalingTest, LogXIsAcceptedOnAFrequencyAxis) {
  Open(SmallRecording(2));
  CmdToggleFourier(s);
  Paint();
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Click(kScaleXLog);
    EXPECT_TRUE(d.GetCheck(kScaleXLog));
    d.Ok();
  });
  RunPlotScalingDialog(s);
  EXPECT_EQ(s.LogX, 1);
  EXPECT_TRUE(host.messages.empty());
}

TEST(SensorTypeName, NamesEveryCodeAndUnknownOnesAsUnknownSensor) {
  EXPECT_STREQ(SensorTypeName(0), "Unknown sensor");
  EXPECT_STREQ(SensorTypeName(2), "Unknown electrode");
  EXPECT_STREQ(SensorTypeName(7), "LEMI-701");
  EXPECT_STREQ(SensorTypeName(8), "Unknown sensor");
  EXPECT_STREQ(SensorTypeName(255), "Unknown sensor");
  EXPECT_STREQ(SensorTypeName(-1), "Unknown sensor");
}

}  // namespace
