// The settings and header dialogs in the real window (offscreen): every
// control of each template has its widget, the Edit File Header grid is
// aligned, and clicks reach the procedures as a person's would. With
// ZORVAN_SCREENSHOT_DIR set, pictures of three dialogs are saved there.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "dialogs/edit_header_dialog.h"
#include "dialogs/filter_settings_dialog.h"
#include "dialogs/find_noise_dialog.h"
#include "dialogs/find_peaks_dialog.h"
#include "dialogs/fourier_settings_dialog.h"
#include "dialogs/general_settings_dialog.h"
#include "dialogs/header_contents_dialog.h"
#include "dialogs/plot_scaling_dialog.h"
#include "platform/qt/main_window.h"
#include "platform/qt/qimage_surface.h"
#include "platform/qt/qt_dialog.h"
#include "tests/qt/when_dialog_up.h"
#include "tests/support/recordings.h"

namespace {

void Screenshot(QtDialogView* dialog, const char* name) {
  const QPixmap picture = dialog->grab();
  EXPECT_GT(picture.width(), 100);
  EXPECT_GT(picture.height(), 30);
  const QByteArray dir = qgetenv("ZORVAN_SCREENSHOT_DIR");
  if (!dir.isEmpty()) {
    EXPECT_TRUE(picture.save(QString(dir) + "/" + name, "PNG")) << name;
  }
}

class SettingsDialogsQtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtGui();
    SynthOptions o = SmallRecording(3, "Hx,Hy,Hz,Ex,Ey");
    o.channels[0].sensorId = 5;
    o.channels[0].serial = "0123";
    o.channels[2].gainMux = 1;
    o.channels[3].sensorId = 2;
    o.channels[3].spacing = 50;
    const std::string file = WriteRecording(dir, "site.bin", o);
    StartupOptions options;
    options.startDir = dir.path();
    options.useDirFile = false;
    options.changeToWorkDir = false;
    window = std::make_unique<MainWindow>(options);
    window->resize(1200, 800);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(window->OpenAtStart(file));
    Settle();
  }
  void TearDown() override { window.reset(); }
  void Settle() {
    for (int i = 0; i < 5; ++i) {
      QCoreApplication::processEvents();
      QTest::qWait(5);
    }
  }
  AppState& s() { return window->State(); }

  TempDir dir;
  std::unique_ptr<MainWindow> window;
};

TEST_F(SettingsDialogsQtTest, EveryDialogOpensWithAllItsControls) {
  struct Case {
    DialogTemplate (*make)();
    int (*run)(AppState&);
    const char* screenshot;
  } cases[] = {
      {HeaderContentsTemplate, RunHeaderContentsDialog, "file-information-dialog.png"},
      {EditHeaderTemplate, RunEditHeaderDialog, "edit-file-header-dialog.png"},
      {GeneralSettingsTemplate, RunGeneralSettingsDialog, "general-settings-dialog.png"},
      {FourierSettingsTemplate, RunFourierSettingsDialog, "fourier-settings-dialog.png"},
      {FilterSettingsTemplate, RunFilterSettingsDialog, "filter-settings-dialog.png"},
      {PlotScalingTemplate, RunPlotScalingDialog, "plot-scaling-dialog.png"},
      {FindPeaksTemplate, RunFindPeaksDialog, "find-peaks-dialog.png"},
      {FindNoiseTemplate, RunFindNoiseDialog, "find-noise-dialog.png"},
  };
  for (const Case& c : cases) {
    const DialogTemplate t = c.make();
    bool seen = false;
    WhenUp([&](QtDialogView* dialog) {
      seen = true;
      EXPECT_EQ(dialog->windowTitle().toStdString(), t.title);
      for (const ControlTemplate& control : t.controls) {
        if (control.id == 0) continue;
        QWidget* widget = dialog->Control(control.id);
        ASSERT_NE(widget, nullptr) << t.title << " " << control.id;
        EXPECT_TRUE(widget->isVisible()) << t.title << " " << control.id;
      }
      if (c.screenshot) Screenshot(dialog, c.screenshot);
      static_cast<QDialog*>(dialog)->reject();  // Escape: Cancel
    });
    EXPECT_EQ(c.run(s()), kIdCancel) << t.title;
    EXPECT_TRUE(seen) << t.title;
    Settle();
  }
}

TEST_F(SettingsDialogsQtTest, EditFileHeaderLaysTheChannelsOutInAlignedRows) {
  WhenUp([&](QtDialogView* dialog) {
    for (int k = 1; k < kChannels; ++k) {
      const ChannelControlIds& a = kEditHeaderIds[0];
      const ChannelControlIds& b = kEditHeaderIds[k];
      for (auto [first, other] : {std::pair{a.label, b.label},
                                  {a.gainSel, b.gainSel},
                                  {a.sensorSn, b.sensorSn},
                                  {a.spacing, b.spacing},
                                  {a.invert, b.invert}}) {
        const QRect r0 = dialog->Control(first)->geometry(), rk = dialog->Control(other)->geometry();
        EXPECT_EQ(rk.left(), r0.left()) << k;  // one column per field
        EXPECT_GT(rk.top(), r0.top()) << k;    // one row per channel, in order
      }
      const QRect label = dialog->Control(b.label)->geometry(), gain = dialog->Control(b.gainSel)->geometry();
      EXPECT_EQ(label.center().y(), gain.center().y()) << k;
    }
    static_cast<QDialog*>(dialog)->reject();  // Escape: Cancel
  });
  RunEditHeaderDialog(s());
}

TEST_F(SettingsDialogsQtTest, PlotScalingKeepsAutoscaleUntilALimitIsClickedInto) {
  bool autoscaleShown = false, xAfterClick = true;
  int channelAutoscale = -1;
  WhenUp([&](QtDialogView* dialog) {
    // Opening puts the keyboard focus somewhere: that is no click into a limit.
    autoscaleShown = qobject_cast<QCheckBox*>(dialog->Control(kScaleXAuto))->isChecked();
    channelAutoscale = s().AutoscaleChan[0];
    QTest::mouseClick(dialog->Control(kScaleXMin), Qt::LeftButton);
    xAfterClick = qobject_cast<QCheckBox*>(dialog->Control(kScaleXAuto))->isChecked();
    QTest::mouseClick(dialog->Control(kScaleYMax), Qt::LeftButton);
    auto* max = qobject_cast<QLineEdit*>(dialog->Control(kScaleYMax));
    max->selectAll();
    QTest::keyClicks(max, "123");
    QTest::mouseClick(dialog->Control(kIdOk), Qt::LeftButton);
  });
  EXPECT_EQ(RunPlotScalingDialog(s()), kIdOk);
  EXPECT_TRUE(autoscaleShown);
  EXPECT_EQ(channelAutoscale, 1);
  EXPECT_FALSE(xAfterClick);
  EXPECT_EQ(s().AutoscaleAll, 0);
  EXPECT_EQ(s().AutoscaleChan[0], 0);
  EXPECT_EQ(s().YMaxManual[0], 123.0);
  Settle();
  EXPECT_EQ(s().YMaxChan[0], 123.0);  // the window redrew with it
}

TEST_F(SettingsDialogsQtTest, ComboAndBoxChangesRepaintThePlotBehindTheDialog) {
  WhenUp([&](QtDialogView* dialog) {
    auto* gainSel = qobject_cast<QComboBox*>(dialog->Control(kEditHeaderIds[2].gainSel));
    ASSERT_NE(gainSel, nullptr);
    gainSel->setCurrentIndex(2);
    emit gainSel->activated(2);
    QWidget* enabled = dialog->Control(kEditHeaderIds[4].enabled);
    QTest::mouseClick(enabled, Qt::LeftButton, {}, QPoint(8, enabled->height() / 2));  // on the box
    QTimer::singleShot(50, [dialog] { QTest::mouseClick(dialog->Control(kIdOk), Qt::LeftButton); });
  });
  EXPECT_EQ(RunEditHeaderDialog(s()), kIdOk);
  Settle();
  EXPECT_EQ(s().OutHeader.GainSEL[2], 2);
  EXPECT_EQ(s().OutHeader.ChannelGain[2], 16);  // a full redraw ran with the new gain
  EXPECT_EQ(s().OutHeader.ChannelEnabled[4], 0);
  EXPECT_EQ(s().NumEnabledChans, 4);
}

TEST_F(SettingsDialogsQtTest, AnEditWithItsUpDownIsOneSpinBox) {
  struct Case {
    int (*run)(AppState&);
    int edit, spin;
  } cases[] = {
      {RunGeneralSettingsDialog, kGenFitOrder, kGenFitOrderSpin},
      {RunPlotScalingDialog, kScaleChannel, kScaleChannelSpin},
      {RunHeaderContentsDialog, kInfoChannel, kInfoChannelSpin},
  };
  for (const Case& c : cases) {
    WhenUp([&](QtDialogView* dialog) {
      auto* spin = qobject_cast<QSpinBox*>(dialog->Control(c.spin));
      ASSERT_NE(spin, nullptr) << c.spin;
      EXPECT_EQ(dialog->Control(c.edit), spin) << c.edit;  // no second number field beside it
      spin->stepUp();
      EXPECT_EQ(dialog->GetText(c.edit), std::to_string(spin->value())) << c.edit;
      static_cast<QDialog*>(dialog)->reject();
    });
    c.run(s());
    Settle();
  }
  EXPECT_EQ(s().ScalingChannel, 2);
  EXPECT_EQ(s().HeaderChannel, 2);
}

TEST_F(SettingsDialogsQtTest, FieldsAreWideEnoughForWhatTheyHold) {
  WhenUp([&](QtDialogView* dialog) {
    auto* gps = qobject_cast<QLineEdit*>(dialog->Control(1004));  // "GPS Position"
    ASSERT_NE(gps, nullptr);
    ASSERT_FALSE(gps->text().isEmpty());
    EXPECT_GE(gps->width(), gps->fontMetrics().horizontalAdvance(gps->text()) + 8);
    static_cast<QDialog*>(dialog)->reject();
  });
  RunHeaderContentsDialog(s());
  WhenUp([&](QtDialogView* dialog) {
    for (int k = 0; k < kChannels; ++k) {
      auto* serial = qobject_cast<QLineEdit*>(dialog->Control(kEditHeaderIds[k].sensorSn));
      EXPECT_GE(serial->width(), serial->fontMetrics().horizontalAdvance("0123456789ABCDEF")) << k;
    }
    static_cast<QDialog*>(dialog)->reject();
  });
  RunEditHeaderDialog(s());
}

TEST_F(SettingsDialogsQtTest, TypedNumbersAreRefusedWhenTheFieldIsLeft) {
  std::vector<std::pair<QString, QMessageBox::Icon>> boxes;
  QTimer closer;
  closer.setInterval(20);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxes.push_back({box->text(), box->icon()});
      box->accept();
    }
  });
  closer.start();
  // Types text into a field and leaves it with Tab, as a person would.
  auto typeAndLeave = [](QtDialogView* dialog, int id, const char* text) {
    // Focus moves only within the active window: after a message box the dialog must be active again.
    dialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
    auto* field = qobject_cast<QLineEdit*>(dialog->Control(id));
    QTest::mouseClick(field, Qt::LeftButton);
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
    QTest::qWait(50);
    return field->text();
  };
  QString coeffsAfter, lettersAfter, spacingAfter;
  bool openAfterRefusal = false;
  WhenUp([&](QtDialogView* dialog) {
    coeffsAfter = typeAndLeave(dialog, kGenCoeffsSummed, "99999999");
    lettersAfter = typeAndLeave(dialog, kGenCoeffsSummed, "abc");
    openAfterRefusal = dialog->isVisible();
    QTest::mouseClick(dialog->Control(kIdOk), Qt::LeftButton);
  });
  EXPECT_EQ(RunGeneralSettingsDialog(s()), kIdOk);
  WhenUp([&](QtDialogView* dialog) {
    spacingAfter = typeAndLeave(dialog, kEditHeaderIds[3].spacing, "-20");
    static_cast<QDialog*>(dialog)->reject();
  });
  RunEditHeaderDialog(s());
  closer.stop();
  EXPECT_EQ(coeffsAfter, "512");
  EXPECT_EQ(lettersAfter, "512");
  EXPECT_TRUE(openAfterRefusal);
  EXPECT_EQ(s().CoeffsSummed, 512);
  EXPECT_EQ(spacingAfter, "50");
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].first, "#Coeffs summed must be a whole number from 1 to 5000000.");
  EXPECT_EQ(boxes[1].first, "#Coeffs summed must be a whole number from 1 to 5000000.");
  EXPECT_EQ(boxes[2].first, "Spacing, m of channel 4 must be a whole number from 0 to 65535.");
  for (const auto& box : boxes) EXPECT_EQ(box.second, QMessageBox::Warning);
}

}  // namespace
