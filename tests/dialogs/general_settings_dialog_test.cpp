#include "dialogs/general_settings_dialog.h"

#include <gtest/gtest.h>

#include <cmath>

#include "spectral/polyfit.h"
#include "tests/app/window_fixture.h"

namespace {

using GeneralSettingsTest = WindowTest;

TEST_F(GeneralSettingsTest, OpensWithTheDefaults) {
  std::map<int, bool> checks;
  std::map<int, std::string> texts;
  std::vector<std::string> decimationItems, cornerItems;
  int spin = 0;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    for (int id : {kGenSimsEnable, kGenSimsZxx, kGenSimsZxy, kGenSimsZyx, kGenSimsZyy, kGenSimsAmplPhase, kGenUtc,
                   kGenHst, kGenShowFit, kGenSubtract, kGenLsEnable, kGenResistivity, kGenImpedance, kGenCoherence,
                   kGenLsAmplPhase, kGenMisfit})
      checks[id] = d.GetCheck(id);
    for (int id : {kGenCoeffsSummed, kGenOverlap, kGenFitOrder, kGenDecimation, kGenSaveCorner})
      texts[id] = d.GetText(id);
    decimationItems = d.ComboItems(kGenDecimation);
    cornerItems = d.ComboItems(kGenSaveCorner);
    spin = d.GetSpinPosition(kGenFitOrderSpin);
    d.Cancel();
  });
  EXPECT_EQ(RunGeneralSettingsDialog(s), kIdCancel);
  EXPECT_EQ(host.dialogTitles, std::vector<std::string>{"General Settings"});
  for (int id : {kGenSimsZxy, kGenLsEnable, kGenResistivity, kGenMisfit, kGenUtc}) EXPECT_TRUE(checks[id]) << id;
  for (int id : {kGenSimsEnable, kGenSimsZxx, kGenSimsZyx, kGenSimsZyy, kGenHst, kGenShowFit, kGenSubtract,
                 kGenImpedance, kGenCoherence})
    EXPECT_FALSE(checks[id]) << id;
  // Both "Ampl/Phase" boxes are ticked while amplitudes are shown.
  EXPECT_TRUE(checks[kGenSimsAmplPhase]);
  EXPECT_TRUE(checks[kGenLsAmplPhase]);
  EXPECT_EQ(texts[kGenCoeffsSummed], "512");
  EXPECT_EQ(texts[kGenOverlap], "0");
  EXPECT_EQ(texts[kGenDecimation], "1");
  EXPECT_EQ(texts[kGenSaveCorner], "5");
  EXPECT_EQ(texts[kGenFitOrder], "     3");
  EXPECT_EQ(spin, 3);
  EXPECT_EQ(decimationItems, (std::vector<std::string>{"1", "40", "80", "200"}));
  EXPECT_EQ(cornerItems, (std::vector<std::string>{"5", "10", "20", "50", "100", "200"}));
}

TEST_F(GeneralSettingsTest, CancelRestoresTheEstimateChoiceButNotTheOtherBoxes) {
  Open(SmallRecording(2));
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Click(kGenCoherence);
    EXPECT_EQ(s.CoherOn, 1);
    EXPECT_EQ(s.ResistivityOn, 0);
    EXPECT_EQ(s.ImpedanceOn, 0);
    d.Click(kGenSimsZyy);
    d.Click(kGenSimsEnable);
    d.Click(kGenLsAmplPhase);
    d.Click(kGenMisfit);
    d.Click(kGenHst);
    d.Select(kGenDecimation, 2);
    d.Select(kGenSaveCorner, 4);
    d.Spin(kGenFitOrderSpin, 7);
    EXPECT_EQ(s.DecimationFactor, 80);
    EXPECT_EQ(s.SaveCorner, 5);
    EXPECT_EQ(s.FitOrder, 7);
    EXPECT_EQ(s.LeastSquaresOn, 0);
    d.Cancel();
  });
  const int invalidations = host.invalidations;
  EXPECT_EQ(RunGeneralSettingsDialog(s), kIdCancel);
  EXPECT_EQ(s.ResistivityOn, 1);  // restored, while CoherOn keeps its new value
  EXPECT_EQ(s.CoherOn, 1);
  EXPECT_EQ(s.SimsZxyOn, 1);
  EXPECT_EQ(s.SimsZyyOn, 0);
  EXPECT_EQ(s.LeastSquaresOn, 1);
  EXPECT_EQ(s.AmplPhaseOn, 0);
  EXPECT_EQ(s.DecimationFactor, 1);
  EXPECT_EQ(s.SaveCorner, 1);
  EXPECT_EQ(s.FitOrder, 3);
  EXPECT_EQ(s.MisfitErrorsOn, 0);
  EXPECT_EQ(s.TimeFormatHST, 1);
  EXPECT_EQ(host.status[2], "12/07/2026");  // the page's time in HST, ten hours earlier
  EXPECT_EQ(host.status[3], "03:45:10.000");
  EXPECT_GT(host.invalidations, invalidations);
  EXPECT_EQ(s.RedrawAll, 1);
}

TEST_F(GeneralSettingsTest, ShowFitIsRefusedWhileTheFitIsSubtracted) {
  Open(SmallRecording(2));
  bool showFitAfterSubtract = true, showFitAfterClick = true, showFitAfterUndo = false;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Click(kGenShowFit);
    EXPECT_EQ(s.ShowPolyOn, 1);
    EXPECT_EQ(s.PolyOverlayOn, 1);
    EXPECT_EQ(s.FitValid, 1);
    EXPECT_EQ(s.PolyOverlayCount, 2560);
    d.Click(kGenSubtract);
    showFitAfterSubtract = d.GetCheck(kGenShowFit);
    EXPECT_EQ(s.SubtractPolyOn, 1);
    EXPECT_EQ(s.PolyOverlayOn, 0);
    d.Click(kGenShowFit);
    showFitAfterClick = d.GetCheck(kGenShowFit);
    EXPECT_EQ(s.ShowPolyOn, 0);
    d.Click(kGenSubtract);  // off again: the fit is shown as before
    showFitAfterUndo = d.GetCheck(kGenShowFit);
    EXPECT_EQ(s.ShowPolyOn, 1);
    EXPECT_EQ(s.PolyOverlayOn, 1);
    d.Ok();
  });
  RunGeneralSettingsDialog(s);
  EXPECT_FALSE(showFitAfterSubtract);
  EXPECT_FALSE(showFitAfterClick);
  EXPECT_TRUE(showFitAfterUndo);
  EXPECT_EQ(s.PolyOverlayOn, 0);  // the overlay lives while the dialog is open
  EXPECT_EQ(s.ShowPolyOn, 1);

  // The next opening brings the overlay back; the order follows the spin control.
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    EXPECT_EQ(s.PolyOverlayOn, 1);
    d.Spin(kGenFitOrderSpin, 25);
    EXPECT_EQ(s.FitOrder, 20);
    EXPECT_EQ(d.GetText(kGenFitOrder), "    20");
    Paint();  // the overlay is drawn with the new fit
    d.Ok();
  });
  RunGeneralSettingsDialog(s);
  EXPECT_EQ(s.FitOrder, 20);
}

TEST_F(GeneralSettingsTest, OkSetsTheRateOfADecimatedSaveAndReadsTheEdits) {
  Open(SmallRecording(2));
  ASSERT_EQ(s.SampleRate, 1000);
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Select(kGenDecimation, 1);
    d.Type(kGenCoeffsSummed, "256");
    d.Ok();
  });
  EXPECT_EQ(RunGeneralSettingsDialog(s), kIdOk);
  EXPECT_EQ(s.DecimationFactor, 40);
  EXPECT_EQ(s.OutHeader.SampleRate, 25u);
  EXPECT_EQ(s.CoeffsSummed, 256);
  EXPECT_TRUE(host.messages.empty());

  // Opening again and choosing 1 gives the file's own rate back, not 25 / 1.
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    EXPECT_EQ(d.GetText(kGenDecimation), "40");
    d.Select(kGenDecimation, 0);
    d.Ok();
  });
  RunGeneralSettingsDialog(s);
  EXPECT_EQ(s.OutHeader.SampleRate, 1000u);
}

TEST_F(GeneralSettingsTest, CoeffsSummedOutsideItsRangeIsRefusedWhereTyped) {
  for (const char* text : {"0", "-4", "many", "99999999", "12.5"}) {
    host.messages.clear();
    bool openAfterTyping = false, openAfterOk = false;
    std::string shown;
    host.dialogScripts.push_back([&](HeadlessDialog& d) {
      d.Type(kGenCoeffsSummed, text);
      openAfterTyping = !d.closed();
      shown = d.GetText(kGenCoeffsSummed);
      d.Ok();  // the field holds its previous value again: OK takes it
      openAfterOk = !d.closed();
    });
    EXPECT_EQ(RunGeneralSettingsDialog(s), kIdOk);
    EXPECT_TRUE(openAfterTyping) << text;
    EXPECT_FALSE(openAfterOk) << text;
    EXPECT_EQ(shown, "512") << text;
    EXPECT_EQ(s.CoeffsSummed, 512) << text;
    ASSERT_EQ(host.messages.size(), 1u) << text;
    EXPECT_EQ(host.messages[0].text, "#Coeffs summed must be a whole number from 1 to 5000000.");
    EXPECT_EQ(host.messages[0].caption, "Zorvan");
    EXPECT_EQ(host.messages[0].icon, MsgIcon::Warning);
  }
}

TEST_F(GeneralSettingsTest, OverlapIsShownDisabled) {
  bool enabled = true;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    enabled = d.IsEnabled(kGenOverlap);
    d.Cancel();
  });
  RunGeneralSettingsDialog(s);
  EXPECT_FALSE(enabled);
}

TEST_F(GeneralSettingsTest, BothAmplPhaseBoxesShowAndToggleTheSameFlag) {
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Click(kGenLsAmplPhase);
    EXPECT_EQ(s.AmplPhaseOn, 1);
    EXPECT_FALSE(d.GetCheck(kGenLsAmplPhase));
    EXPECT_FALSE(d.GetCheck(kGenSimsAmplPhase));
    d.Click(kGenSimsAmplPhase);
    EXPECT_EQ(s.AmplPhaseOn, 0);
    EXPECT_TRUE(d.GetCheck(kGenLsAmplPhase));
    d.Click(kGenSimsAmplPhase);
    // The two "Enable" boxes act as a pair: a click on the ticked one keeps it ticked.
    d.Click(kGenSimsEnable);
    d.Click(kGenSimsEnable);
    EXPECT_TRUE(d.GetCheck(kGenSimsEnable));
    EXPECT_FALSE(d.GetCheck(kGenLsEnable));
    d.Ok();
  });
  RunGeneralSettingsDialog(s);
  EXPECT_EQ(s.AmplPhaseOn, 1);
  EXPECT_EQ(s.LeastSquaresOn, 0);
}

TEST_F(GeneralSettingsTest, TheFitIsOfThePageInUnitsWhateverThePlotHolds) {
  Open(SmallRecording(3, "Hx,Hy,Ex,Ey"));
  s.FilterOn = 1;
  s.FitOrder = 2;
  Paint();
  CmdStepForward(s);
  Paint();
  for (double& v : s.yplotdata[3]) v = 1e6;  // as spectra or a subtraction would leave it
  std::vector<double> fitted;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Click(kGenShowFit);
    fitted.assign(s.ypoly[3].begin(), s.ypoly[3].begin() + 2560);
    d.Cancel();
  });
  RunGeneralSettingsDialog(s);
  // The next full redraw makes the values that were fitted.
  Paint();
  std::vector<double> xout(2560), expected(2560);
  double coeffs[22], rms;
  PolyFit(s.xplotdata.data(), s.yplotdata[3].data(), xout.data(), expected.data(), coeffs, 2, 2560, 2560, &rms);
  ASSERT_EQ(fitted.size(), 2560u);
  for (int i = 0; i < 2560; i += 97) EXPECT_NEAR(fitted[i], expected[i], 1e-9 * (1 + std::fabs(expected[i]))) << i;
  EXPECT_LT(std::fabs(fitted[0]), 1e4);
}

}  // namespace
