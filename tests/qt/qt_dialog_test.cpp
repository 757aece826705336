#include "platform/qt/qt_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/qt/qimage_surface.h"

namespace {

enum { kEdit = 10, kCheck = 11, kRadioA = 12, kRadioB = 13, kCombo = 14, kSpin = 15, kApply = 16 };

DialogTemplate Sample() {
  DialogTemplate t;
  t.id = 99;
  t.title = "Sample";
  t.controls = {
      {kEdit, ControlKind::Edit, "Name", "", 0, 0},
      {kCheck, ControlKind::Check, "Enable", "Options", 0, 0},
      {kRadioA, ControlKind::Radio, "First", "Options", 1, 0},
      {kRadioB, ControlKind::Radio, "Second", "Options", 1, 1},
      {kCombo, ControlKind::Combo, "Window", "", 1, 0},
      {kSpin, ControlKind::Spin, "Channel", "", 2, 0},
      {kApply, ControlKind::Button, "Apply", "", 3, 0},
      {kIdOk, ControlKind::Button, "OK", "", 4, 0},
      {kIdCancel, ControlKind::Button, "Cancel", "", 4, 1},
  };
  return t;
}

void WhenUp(std::function<void(QtDialogView*)> script) {
  QTimer::singleShot(0, [script] {
    auto* dialog = qobject_cast<QtDialogView*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    script(dialog);
  });
}

struct Log {
  std::vector<std::pair<DialogEvent, int>> events;
  bool Has(DialogEvent e, int id) const {
    for (const auto& [event, control] : events)
      if (event == e && control == id) return true;
    return false;
  }
};

TEST(QtDialog, ForwardsTheUsersActionsToTheProcedure) {
  EnsureQtGui();
  Log log;
  std::string name, combo;
  bool checked = false, secondRadio = false;
  int spin = 0;
  DialogProcedure procedure = [&](DialogView& v, const DialogMessage& m) {
    log.events.emplace_back(m.event, m.controlId);
    if (m.event == DialogEvent::Init) {
      v.SetText(kEdit, "start");
      v.SetComboItems(kCombo, {"None", "Hanning", "Hamming"});
      v.SetComboSelection(kCombo, 0);
      v.SetSpinRange(kSpin, 1, 6);
      v.SetSpinPosition(kSpin, 2);
      v.SetCheck(kRadioA, true);
      v.Enable(kApply, false);
    }
    if (m.event == DialogEvent::Clicked && m.controlId == kCheck) v.Enable(kApply, v.GetCheck(kCheck));
    if (m.event == DialogEvent::Clicked && m.controlId == kIdOk) {
      name = v.GetText(kEdit);
      combo = v.GetText(kCombo);
      checked = v.GetCheck(kCheck);
      secondRadio = v.GetCheck(kRadioB);
      spin = v.GetSpinPosition(kSpin);
      v.Close(kIdOk);
    }
  };
  WhenUp([&](QtDialogView* d) {
    EXPECT_EQ(d->windowTitle(), "Sample");
    EXPECT_EQ(d->findChildren<QGroupBox*>().size(), 1);
    auto* edit = qobject_cast<QLineEdit*>(d->Control(kEdit));
    EXPECT_EQ(edit->text(), "start");
    EXPECT_FALSE(d->Control(kApply)->isEnabled());
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    d->Control(kSpin)->setFocus();
    QTest::mouseClick(edit, Qt::LeftButton);  // the user clicks into the field
    edit->selectAll();
    QTest::keyClicks(edit, "Hx");
    QTest::mouseClick(qobject_cast<QCheckBox*>(d->Control(kCheck)), Qt::LeftButton);
    EXPECT_TRUE(d->Control(kApply)->isEnabled());
    QTest::mouseClick(qobject_cast<QRadioButton*>(d->Control(kRadioB)), Qt::LeftButton);
    EXPECT_FALSE(qobject_cast<QRadioButton*>(d->Control(kRadioA))->isChecked());
    auto* comboBox = qobject_cast<QComboBox*>(d->Control(kCombo));
    comboBox->setFocus();
    QTest::keyClick(comboBox, Qt::Key_Down);
    auto* spinBox = qobject_cast<QSpinBox*>(d->Control(kSpin));
    QTest::keyClick(spinBox, Qt::Key_Up);
    QTest::mouseClick(qobject_cast<QPushButton*>(d->Control(kIdOk)), Qt::LeftButton);
  });
  EXPECT_EQ(RunQtDialog(nullptr, Sample(), procedure), kIdOk);
  EXPECT_EQ(log.events.front().first, DialogEvent::Init);
  EXPECT_TRUE(log.Has(DialogEvent::FocusGained, kEdit));
  EXPECT_TRUE(log.Has(DialogEvent::TextChanged, kEdit));
  EXPECT_TRUE(log.Has(DialogEvent::Clicked, kCheck));
  EXPECT_TRUE(log.Has(DialogEvent::Clicked, kRadioB));
  EXPECT_TRUE(log.Has(DialogEvent::SelectionChanged, kCombo));
  EXPECT_TRUE(log.Has(DialogEvent::SpinChanged, kSpin));
  // What the procedure set itself was not reported back to it as the user's doing.
  EXPECT_FALSE(log.Has(DialogEvent::SpinChanged, 0));
  int spinEvents = 0;
  for (const auto& e : log.events) spinEvents += e.first == DialogEvent::SpinChanged;
  EXPECT_EQ(spinEvents, 1);
  EXPECT_EQ(name, "Hx");
  EXPECT_EQ(combo, "Hanning");
  EXPECT_TRUE(checked);
  EXPECT_TRUE(secondRadio);
  EXPECT_EQ(spin, 3);
}

TEST(QtDialog, EscapeIsCancelAndADialogWithoutProcedureClosesOnItsButtons) {
  EnsureQtGui();
  Log log;
  DialogProcedure procedure = [&](DialogView&, const DialogMessage& m) {
    log.events.emplace_back(m.event, m.controlId);
  };
  WhenUp([](QtDialogView* d) { QTest::keyClick(d, Qt::Key_Escape); });
  EXPECT_EQ(RunQtDialog(nullptr, Sample(), procedure), kIdCancel);
  EXPECT_TRUE(log.Has(DialogEvent::Clicked, kIdCancel));

  WhenUp([](QtDialogView* d) { QTest::mouseClick(qobject_cast<QPushButton*>(d->Control(kIdOk)), Qt::LeftButton); });
  EXPECT_EQ(RunQtDialog(nullptr, Sample(), nullptr), kIdOk);

  // Closed while starting: never shown.
  DialogProcedure closesAtOnce = [](DialogView& v, const DialogMessage& m) {
    if (m.event == DialogEvent::Init) v.Close(7);
  };
  EXPECT_EQ(RunQtDialog(nullptr, Sample(), closesAtOnce), 7);
}

}  // namespace
