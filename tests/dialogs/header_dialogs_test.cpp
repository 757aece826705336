// File Information ("Qor Header Contents") and Edit File Header over a
// generated recording: what they show, what reaches OutHeader and when, and
// what Cancel puts back.

#include <gtest/gtest.h>

#include <cstring>

#include "dialogs/dialog_support.h"
#include "dialogs/edit_header_dialog.h"
#include "dialogs/header_contents_dialog.h"
#include "tests/app/window_fixture.h"

namespace {

class HeaderDialogsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SynthOptions o = SmallRecording(2, "Hx,Hy,Hz,Ex,Ey");
    o.channels[2].serial = "0123456789";
    o.channels[2].gainMux = 1;
    o.channels[2].spacing = 0;
    o.channels[3].spacing = 50;
    o.channels[4].orientation = 'E';
    Open(o);
    Paint();
  }
};

// Every field the dialogs can change, per channel, and the comments.
void ExpectSameSettings(const RecorderHeader& a, const RecorderHeader& b) {
  for (int k = 0; k < kChannels; ++k) {
    EXPECT_EQ(a.ChannelLabel[k], b.ChannelLabel[k]) << k;
    EXPECT_EQ(a.GainMUX[k], b.GainMUX[k]) << k;
    EXPECT_EQ(a.GainSEL[k], b.GainSEL[k]) << k;
    EXPECT_EQ(a.LPF_MUX[k], b.LPF_MUX[k]) << k;
    EXPECT_EQ(a.SensorID[k], b.SensorID[k]) << k;
    EXPECT_STREQ(a.SensorSerial[k], b.SensorSerial[k]) << k;
    EXPECT_STREQ(a.Orientation[k], b.Orientation[k]) << k;
    EXPECT_EQ(a.SensorAngle[k], b.SensorAngle[k]) << k;
    EXPECT_EQ(a.Spacing[k], b.Spacing[k]) << k;
    EXPECT_EQ(a.DAOffset[k], b.DAOffset[k]) << k;
    EXPECT_EQ(a.ChannelEnabled[k], b.ChannelEnabled[k]) << k;
    EXPECT_EQ(a.ChannelInvert[k], b.ChannelInvert[k]) << k;
  }
  EXPECT_STREQ(a.Comments, b.Comments);
}

TEST_F(HeaderDialogsTest, FileInformationShowsTheRecorderFieldsAndRemembersTheChannel) {
  std::map<int, std::string> shown;
  bool locked = false, lockedEnabled = true, overRangeEnabled = true;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    for (int id : {1000, 1007, 1008, 1020, static_cast<int>(kInfoChannel), kInfoChannelIds.label,
                   kInfoChannelIds.gainSel, kInfoChannelIds.sensorSn, kInfoChannelIds.daOffset})
      shown[id] = d.GetText(id);
    locked = d.GetCheck(kInfoGpsLocked);
    lockedEnabled = d.IsEnabled(kInfoGpsLocked);
    overRangeEnabled = d.IsEnabled(kInfoChannelIds.overRange);
    d.Spin(kInfoChannelSpin, 4);
    d.Ok();
  });
  EXPECT_EQ(RunHeaderContentsDialog(s), kIdOk);
  EXPECT_EQ(host.dialogTitles, std::vector<std::string>{"Qor Header Contents"});
  EXPECT_EQ(shown[1000], "QOR-0417");
  EXPECT_EQ(shown[1007], "1000");
  EXPECT_EQ(shown[1008], "12/07/2026   13:45:10");
  EXPECT_EQ(shown[kInfoChannel], "1");
  EXPECT_EQ(shown[kInfoChannelIds.label], "HX");
  EXPECT_EQ(shown[kInfoChannelIds.gainSel], "1");
  EXPECT_EQ(shown[kInfoChannelIds.daOffset], "   0.000");
  EXPECT_TRUE(locked);
  EXPECT_FALSE(lockedEnabled);
  EXPECT_FALSE(overRangeEnabled);
  EXPECT_EQ(s.HeaderChannel, 4);

  std::string channel, label, spacing;
  int spin = 0;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    channel = d.GetText(kInfoChannel);
    spin = d.GetSpinPosition(kInfoChannelSpin);
    label = d.GetText(kInfoChannelIds.label);
    spacing = d.GetText(kInfoChannelIds.spacing);
    d.Cancel();
  });
  RunHeaderContentsDialog(s);
  EXPECT_EQ(channel, "4");
  EXPECT_EQ(spin, 4);
  EXPECT_EQ(label, "EX");
  EXPECT_EQ(spacing, "50");
}

TEST_F(HeaderDialogsTest, FileInformationAppliesCombosAtOnceAndTextsWhenTheChannelChanges) {
  const RecorderHeader before = s.OutHeader;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    s.RedrawAll = 0;
    d.Select(kInfoChannelIds.gainSel, 3);
    EXPECT_EQ(s.OutHeader.GainSEL[0], 3);
    EXPECT_EQ(s.RedrawAll, 1);
    d.Click(kInfoChannelIds.enabled);
    EXPECT_EQ(s.OutHeader.ChannelEnabled[0], 0);
    d.Click(kInfoChannelIds.invert);
    EXPECT_EQ(s.OutHeader.ChannelInvert[0], 1);
    d.Type(kInfoChannelIds.angle, "90");
    EXPECT_EQ(s.OutHeader.SensorAngle[0], 0);  // texts wait for the spin control or OK
    d.Spin(kInfoChannelSpin, 2);
    EXPECT_EQ(s.OutHeader.SensorAngle[0], 90);
    d.Type(kInfoComments, std::string(140, 'c'));
    d.Ok();
  });
  RunHeaderContentsDialog(s);
  EXPECT_EQ(std::strlen(s.OutHeader.Comments), 128u);
  EXPECT_EQ(s.OutHeader.SensorAngle[1], before.SensorAngle[1]);

  // Cancel puts back every change, the comments included.
  const RecorderHeader edited = s.OutHeader;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    d.Select(kInfoChannelIds.label, 5);
    d.Click(kInfoChannelIds.enabled);
    d.Type(kInfoChannelIds.sensorSn, "X");
    d.Spin(kInfoChannelSpin, 3);
    d.Type(kInfoComments, "new");
    d.Cancel();
  });
  RunHeaderContentsDialog(s);
  ExpectSameSettings(s.OutHeader, edited);
}

TEST_F(HeaderDialogsTest, GainSelSixteenGivesGainSixteenAtTheNextPaint) {
  ASSERT_EQ(s.OutHeader.GainMUX[2], 1);
  ASSERT_EQ(s.OutHeader.ChannelGain[2], 1);
  std::vector<std::string> gainSelItems;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    gainSelItems = d.ComboItems(kEditHeaderIds[2].gainSel);
    d.Select(kEditHeaderIds[2].gainSel, 2);
    EXPECT_EQ(d.GetText(kEditHeaderIds[2].gainSel), "16");
    d.Ok();
  });
  EXPECT_EQ(RunEditHeaderDialog(s), kIdOk);
  EXPECT_EQ(host.dialogTitles, std::vector<std::string>{"Edit File Header"});
  EXPECT_EQ(gainSelItems, (std::vector<std::string>{"1", "4", "16", "64"}));
  Paint();
  EXPECT_EQ(s.OutHeader.ChannelGain[2], 16);
}

TEST_F(HeaderDialogsTest, EditFileHeaderCancelRestoresEveryField) {
  const RecorderHeader before = s.OutHeader;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    for (int k = 0; k < kChannels; ++k) {
      const ChannelControlIds& c = kEditHeaderIds[k];
      d.Select(c.label, 5);
      d.Select(c.gainMux, 3);
      d.Select(c.lpFilter, 0);
      d.Select(c.sensorId, 7);
      d.Click(c.enabled);
      d.Click(c.invert);
      d.Type(c.sensorSn, "S");
      d.Type(c.daOffset, "1.5");
    }
    EXPECT_EQ(s.OutHeader.ChannelEnabled[5], 1);
    EXPECT_EQ(s.OutHeader.ChannelInvert[0], 1);
    Paint();
    d.Click(kIdReplot);
    d.Cancel();
  });
  EXPECT_EQ(RunEditHeaderDialog(s), kIdCancel);
  ExpectSameSettings(s.OutHeader, before);
  EXPECT_EQ(s.RedrawAll, 1);
}

TEST_F(HeaderDialogsTest, EditFileHeaderStoresTextsWholeAndWithinTheirFields) {
  s.OutHeader.ChannelLabel[5] = kLabelUnused;  // a code the label list does not hold
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    EXPECT_EQ(d.GetText(kEditHeaderIds[2].sensorSn), "0123456789");
    EXPECT_EQ(d.GetComboSelection(kEditHeaderIds[5].label), -1);
    d.Type(kEditHeaderIds[2].sensorSn, "AB");
    d.Type(kEditHeaderIds[0].sensorSn, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    d.Type(kEditHeaderIds[1].sensorSn, "Sonde\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");  // é is 2 bytes
    d.Type(kEditHeaderIds[4].orientation, "EW");
    // Numbers that make no sense are refused where typed; the fields keep what they had.
    d.Type(kEditHeaderIds[0].angle, "-5");
    d.Type(kEditHeaderIds[1].angle, "70000");
    d.Type(kEditHeaderIds[3].spacing, "fifty");
    d.Type(kEditHeaderIds[4].spacing, "-20");
    d.Type(kEditHeaderIds[3].daOffset, " -2.25");
    d.Type(kEditHeaderIds[2].angle, "45");
    d.Ok();
  });
  const RecorderHeader before = s.OutHeader;
  RunEditHeaderDialog(s);
  EXPECT_EQ(host.MessageTexts(),
            (std::vector<std::string>{"Sensor Angle of channel 1 must be a whole number from 0 to 360.",
                                      "Sensor Angle of channel 2 must be a whole number from 0 to 360.",
                                      "Spacing, m of channel 4 must be a whole number from 0 to 65535.",
                                      "Spacing, m of channel 5 must be a whole number from 0 to 65535."}));
  const RecorderHeader& h = s.OutHeader;
  EXPECT_STREQ(h.SensorSerial[2], "AB");
  EXPECT_EQ(h.SensorSerial[2][3], '\0');  // nothing of the longer serial is left
  EXPECT_STREQ(h.SensorSerial[0], "ABCDEFGHIJKLMNOP");
  EXPECT_STREQ(h.SensorSerial[1], "Sonde\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");  // 15 bytes: no half character
  EXPECT_STREQ(h.Orientation[4], "E");
  EXPECT_EQ(h.SensorAngle[0], before.SensorAngle[0]);
  EXPECT_EQ(h.SensorAngle[1], before.SensorAngle[1]);
  EXPECT_EQ(h.SensorAngle[2], 45);
  EXPECT_EQ(h.Spacing[3], before.Spacing[3]);
  EXPECT_EQ(h.Spacing[4], before.Spacing[4]);
  EXPECT_EQ(h.DAOffset[3], -2.25);
  EXPECT_EQ(h.ChannelLabel[5], kLabelUnused);
  EXPECT_EQ(h.ChannelLabel[3], kLabelEx);
}

TEST(EditHeaderTemplate, IsAGridOfSixChannelRowsWithEveryControlOnce) {
  DialogTemplate t = EditHeaderTemplate();
  EXPECT_EQ(t.id, 183);
  std::map<int, int> seen;
  for (const ControlTemplate& c : t.controls)
    if (c.id) ++seen[c.id];
  for (int k = 0; k < kChannels; ++k) {
    const ChannelControlIds& c = kEditHeaderIds[k];
    for (int id : {c.label, c.gainMux, c.gainSel, c.lpFilter, c.sensorId, c.sensorSn, c.orientation, c.angle, c.spacing,
                   c.daOffset, c.enabled, c.overRange, c.invert}) {
      EXPECT_EQ(seen[id], 1) << id;
      for (const ControlTemplate& ct : t.controls) {
        if (ct.id == id) {
          EXPECT_EQ(ct.row, k + 1) << id;
        }
      }
    }
  }
  EXPECT_EQ(seen.size(), 6u * 13 + 3);
}

}  // namespace
