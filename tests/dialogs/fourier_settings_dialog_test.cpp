#include "dialogs/fourier_settings_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "dialogs/dialog_support.h"
#include "tests/app/window_fixture.h"

namespace {

using FourierSettingsTest = WindowTest;

TEST_F(FourierSettingsTest, CancelRestoresTheWindowButKeepsTheNotchAndTheFrequency) {
  Open(SmallRecording(2));
  std::string freq;
  bool hanning = false, slepianEditable = true;
  CursorShape during = CursorShape::Arrow;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    freq = d.GetText(kFourierTestFreq);
    hanning = d.GetCheck(kFourierHanning);
    slepianEditable = d.IsEnabled(kFourierGainBw) || d.IsEnabled(kFourierTapers);
    during = host.cursor;
    d.Click(kFourierHamming);
    EXPECT_EQ(s.WindowType, 2);
    d.Click(kFourierNotch);
    d.Click(kFourierSineTest);
    d.Type(kFourierTestFreq, "12.5");
    EXPECT_EQ(s.SineTestOn, 1);
    d.Cancel();
  });
  EXPECT_EQ(RunFourierSettingsDialog(s), kIdCancel);
  EXPECT_EQ(host.dialogTitles, std::vector<std::string>{"Fourier Transform Settings"});
  EXPECT_EQ(freq, "60.000");
  EXPECT_TRUE(hanning);
  EXPECT_FALSE(slepianEditable);
  EXPECT_EQ(during, CursorShape::Wait);
  EXPECT_EQ(host.cursor, CursorShape::Arrow);
  EXPECT_EQ(s.WindowType, 1);
  EXPECT_EQ(s.NotchOn, 1);
  EXPECT_EQ(s.SineTestFreq, 12.5);
  EXPECT_EQ(s.SineTestOn, 0);
  EXPECT_EQ(s.RedrawAll, 1);
}

TEST_F(FourierSettingsTest, TheSineTestFollowsTheTypedFrequencyAndEndsWithOk) {
  Open(SmallRecording(2));
  s.FourierOn = 1;
  Paint();
  auto PeakBin = [&] {
    const auto& y = s.yplotdata[0];
    return std::max_element(y.begin() + 1, y.begin() + s.FftLength / 2) - y.begin();
  };
  long peak100 = 0, peakZero = 0;
  double largestAtZero = -1;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Click(kFourierSineTest);
    d.Type(kFourierTestFreq, "100");
    Paint();
    peak100 = PeakBin();
    d.Type(kFourierTestFreq, "a tone");  // not a number: refused, the sine stays at 100 Hz
    EXPECT_EQ(s.SineTestFreq, 100.0);
    EXPECT_EQ(d.GetText(kFourierTestFreq), "100");
    d.Type(kFourierTestFreq, "600");  // above half the sample rate
    EXPECT_EQ(s.SineTestFreq, 100.0);
    d.Type(kFourierTestFreq, "0");  // 0 Hz: a signal of zeros
    EXPECT_EQ(s.SineTestFreq, 0.0);
    Paint();
    peakZero = PeakBin();
    largestAtZero = s.yplotdata[0][peakZero];
    d.Type(kFourierTestFreq, "30");
    d.Ok();
  });
  EXPECT_EQ(RunFourierSettingsDialog(s), kIdOk);
  const double df = 2 * s.FreqStep;  // bin spacing, Hz
  EXPECT_NEAR(peak100 * df, 100.0, df);
  EXPECT_EQ(largestAtZero, 0.0);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].text, "Test Frequency, Hz must be a number from 0 to 500.");
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Warning);
  EXPECT_EQ(s.SineTestOn, 0);
  EXPECT_EQ(s.SineTestFreq, 30.0);
  EXPECT_EQ(s.RedrawAll, 1);
}

}  // namespace
