#include "platform/headless/headless_dialog.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_platform.h"

namespace {

DialogTemplate Sample() {
  DialogTemplate t;
  t.id = 7;
  t.title = "Sample";
  t.controls = {{10, ControlKind::Edit, "Name"},       {11, ControlKind::Check, "Loud"},
                {12, ControlKind::Radio, "A", "Pick"}, {13, ControlKind::Radio, "B", "Pick"},
                {14, ControlKind::Combo, "Kind"},      {15, ControlKind::Spin, "Count"},
                {kIdOk, ControlKind::Button, "OK"},    {kIdCancel, ControlKind::Button, "Cancel"}};
  return t;
}

TEST(HeadlessDialog, ScriptedActionsReachTheProcedureInOrder) {
  HeadlessPlatform host;
  std::vector<std::string> log;
  std::string stored;
  host.dialogScripts.push_back([](HeadlessDialog& d) {
    d.Type(10, "site 7");
    d.Click(11);
    d.Click(13);
    d.Select(14, 1);
    d.Spin(15, 99);
    d.Ok();
    d.Type(10, "after close");  // ignored
  });
  int result = host.RunDialog(Sample(), [&](DialogView& v, const DialogMessage& m) {
    log.push_back(std::to_string(static_cast<int>(m.event)) + ":" + std::to_string(m.controlId));
    if (m.event == DialogEvent::Init) {
      v.SetComboItems(14, {"x", "y"});
      v.SetSpinRange(15, 1, 6);
      v.SetCheck(12, true);
    }
    if (m.event == DialogEvent::Clicked && m.controlId == kIdOk) {
      stored = v.GetText(10) + "|" + std::to_string(v.GetCheck(11)) + "|" + std::to_string(v.GetCheck(12)) +
               std::to_string(v.GetCheck(13)) + "|" + v.GetText(14) + "|" + std::to_string(v.GetSpinPosition(15));
      v.Close(kIdOk);
    }
  });
  EXPECT_EQ(result, kIdOk);
  EXPECT_EQ(stored, "site 7|1|01|y|6");
  EXPECT_EQ(log.front(), "0:0");
  EXPECT_EQ(log[1], "5:10");  // focus before the text changes
  EXPECT_EQ(log[2], "2:10");
  EXPECT_EQ(host.dialogTitles, std::vector<std::string>{"Sample"});
}

TEST(HeadlessDialog, WithoutAScriptTheDialogIsCancelled) {
  HeadlessPlatform host;
  bool cancelled = false;
  int result = host.RunDialog(Sample(), [&](DialogView& v, const DialogMessage& m) {
    if (m.event == DialogEvent::Clicked && m.controlId == kIdCancel) {
      cancelled = true;
      v.Close(kIdCancel);
    }
  });
  EXPECT_EQ(result, kIdCancel);
  EXPECT_TRUE(cancelled);
}

TEST(HeadlessDialog, DisabledControlsIgnoreTheUser) {
  HeadlessPlatform host;
  host.dialogScripts.push_back([](HeadlessDialog& d) {
    d.Type(10, "typed");
    EXPECT_EQ(d.GetText(10), "kept");
    d.Ok();
  });
  host.RunDialog(Sample(), [](DialogView& v, const DialogMessage& m) {
    if (m.event == DialogEvent::Init) {
      v.SetText(10, "kept");
      v.Enable(10, false);
    }
    if (m.event == DialogEvent::Clicked && m.controlId == kIdOk) v.Close(kIdOk);
  });
}

}  // namespace
