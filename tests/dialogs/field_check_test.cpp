#include "dialogs/field_check.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_platform.h"

namespace {

TEST(CheckedNumber, KindAndRange) {
  const NumberRule whole{"Spacing, m", true, 0, 65535};
  EXPECT_EQ(CheckedNumber("20", whole), 20.0);
  EXPECT_EQ(CheckedNumber("  65535 ", whole), 65535.0);
  EXPECT_EQ(CheckedNumber("0", whole), 0.0);
  for (const char* bad : {"", "  ", "-20", "65536", "2.5", "20m", "twenty", "1e3", "99999999999999999999999"})
    EXPECT_FALSE(CheckedNumber(bad, whole)) << bad;
  const NumberRule decimal{"DA Offset, mV", false, -10000, 10000};
  EXPECT_EQ(CheckedNumber("-2.25", decimal), -2.25);
  EXPECT_EQ(CheckedNumber("1e3", decimal), 1000.0);
  for (const char* bad : {"nan", "inf", "1e400", "-10000.5", "2.25mV", "."})
    EXPECT_FALSE(CheckedNumber(bad, decimal)) << bad;
  EXPECT_EQ(RefusalText(whole), "Spacing, m must be a whole number from 0 to 65535.");
  EXPECT_EQ(RefusalText(decimal), "DA Offset, mV must be a number from -10000 to 10000.");
  EXPECT_EQ(RefusalText(NumberRule{"Test Frequency, Hz", false, 0, 31.25}),
            "Test Frequency, Hz must be a number from 0 to 31.25.");
}

TEST(FieldChecks, OnlyWhatIsTypedIsCheckedAndARefusalPutsBackTheText) {
  HeadlessPlatform host;
  const int kField = 10, kOther = 11;
  FieldChecks checks;
  checks.Add(kField, {"Spacing, m", true, 0, 65535});
  int refusedId = -1;
  DialogTemplate t{1, "Test", {{kField, ControlKind::Edit, "Spacing, m"}, {kOther, ControlKind::Edit, "Other"}}};
  HeadlessDialog d(t, [&](DialogView& view, const DialogMessage& message) {
    const int refused = FollowFieldEvent(checks, view, host, message);
    if (message.event == DialogEvent::EditFinished) refusedId = refused;
    if (message.event == DialogEvent::Clicked && message.controlId == kIdOk && CheckTypedFields(checks, view, host))
      view.Close(kIdOk);
  });
  d.SetText(kField, "70000");  // shown by the program: never refused
  d.SetText(kOther, "x");
  d.Ok();
  EXPECT_TRUE(d.closed());
  EXPECT_TRUE(host.messages.empty());

  HeadlessDialog e(t, [&](DialogView& view, const DialogMessage& message) {
    const int refused = FollowFieldEvent(checks, view, host, message);
    if (message.event == DialogEvent::EditFinished) refusedId = refused;
  });
  e.SetText(kField, "20");
  e.Type(kField, "-20");
  EXPECT_EQ(refusedId, kField);
  EXPECT_EQ(e.GetText(kField), "20");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Spacing, m must be a whole number from 0 to 65535.");
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Warning);
  e.Type(kField, "35");
  EXPECT_EQ(refusedId, 0);
  EXPECT_EQ(e.GetText(kField), "35");
  e.Type(kOther, "letters");  // not a checked field
  EXPECT_EQ(host.messages.size(), 1u);
}

}  // namespace
