#include "dialogs/find_peaks_dialog.h"

#include <gtest/gtest.h>

#include "dialogs/dialog_support.h"
#include "dialogs/find_noise_dialog.h"
#include "tests/app/window_fixture.h"

namespace {

using FindPeaksDialogTest = WindowTest;

TEST_F(FindPeaksDialogTest, ShowsTheLevelsAndOkReadsThem) {
  std::map<int, std::string> shown;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    for (int id : {kPeaksCutoff, kPeaksHxNoise, kPeaksHyNoise, kPeaksExNoise, kPeaksEyNoise}) shown[id] = d.GetText(id);
    d.Type(kPeaksCutoff, "3.5");
    d.Type(kPeaksHxNoise, "1.25");
    d.Type(kPeaksHyNoise, "noisy");  // not a number: refused, the level stays
    d.Type(kPeaksEyNoise, "-1");     // a negative noise level makes no sense
    d.Type(kPeaksExNoise, " 0.5e-1 ");
    d.Ok();
  });
  EXPECT_EQ(RunFindPeaksDialog(s), kIdOk);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].text, "Hy noise, pT must be a number from 0 to 1000000.");
  EXPECT_EQ(host.messages[1].text, "Ey noise, mV/km must be a number from 0 to 1000000.");
  EXPECT_EQ(host.messages[1].icon, MsgIcon::Warning);
  EXPECT_EQ(host.dialogTitles, std::vector<std::string>{"Find Peaks"});
  EXPECT_EQ(shown[kPeaksCutoff], "    2.00");
  EXPECT_EQ(shown[kPeaksHxNoise], "   0.500");
  EXPECT_EQ(shown[kPeaksHyNoise], "   0.500");
  EXPECT_EQ(shown[kPeaksExNoise], "   0.030");
  EXPECT_EQ(shown[kPeaksEyNoise], "   0.030");
  EXPECT_EQ(s.SNCutoff, 3.5);
  EXPECT_EQ(s.NoiseLevel[0], 1.25);
  EXPECT_EQ(s.NoiseLevel[1], 0.5);
  EXPECT_EQ(s.NoiseLevel[2], 0.05);
  EXPECT_EQ(s.NoiseLevel[3], 0.03);
  EXPECT_EQ(s.NoiseLevel[4], 0.0);
}

TEST_F(FindPeaksDialogTest, ReplottedLevelsStayAfterCancel) {
  Open(SmallRecording(1));
  s.FindPeaksOn = 1;
  int peaksBefore = 0, peaksAfter = 0;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    Paint();
    peaksBefore = s.PeakCount[0];
    d.Type(kPeaksHxNoise, "1000");
    d.Click(kIdReplot);
    EXPECT_EQ(s.RedrawAll, 1);
    Paint();  // the search runs again with the new level
    peaksAfter = s.PeakCount[0];
    d.Click(kPeaksRemove);
    EXPECT_EQ(s.RemovePeaks, 1);
    d.Type(kPeaksHxNoise, "2000");  // typed, not applied
    d.Cancel();
  });
  EXPECT_EQ(RunFindPeaksDialog(s), kIdCancel);
  EXPECT_GT(peaksBefore, 0);
  EXPECT_EQ(peaksAfter, 0);
  EXPECT_EQ(s.NoiseLevel[0], 1000.0);
  EXPECT_EQ(s.RemovePeaks, 1);
}

TEST(FindNoiseDialog, OkAsksForARedrawAndTheOtherButtonChangesNothing) {
  DialogTemplate t = FindNoiseTemplate();
  EXPECT_EQ(t.id, 171);
  ASSERT_EQ(t.controls.size(), 2u);
  EXPECT_EQ(t.controls[1].label, "Cance");
  for (int button : {kIdOk, kIdCancel}) {
    HeadlessPlatform host;
    AppState s;
    s.host = &host;
    s.RedrawAll = 0;
    host.dialogScripts.push_back([&](HeadlessDialog& d) { d.Click(button); });
    EXPECT_EQ(RunFindNoiseDialog(s), button);
    EXPECT_EQ(s.RedrawAll, button == kIdOk ? 1 : 0);
    EXPECT_EQ(host.invalidations, 0);
  }
}

}  // namespace
