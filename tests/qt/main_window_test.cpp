#include "platform/qt/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "app/commands.h"
#include "datafile/synth.h"
#include "dialogs/goto_dialog.h"
#include "platform/qt/file_dialogs.h"
#include "platform/qt/plot_widget.h"
#include "platform/qt/qimage_surface.h"
#include "platform/qt/qt_dialog.h"
#include "tests/support/recordings.h"

namespace {

std::string Fmt(const char* format, double v) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

// Runs action on the next modal dialog of type T once it is up.
template <typename T>
void WhenModal(std::function<void(T*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      action(dialog);
    }
  });
  timer->start();
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtGui();
    SynthOptions o = SmallRecording(15, "Hx,Hy,Hz,Ex,Ey");
    demo = WriteRecording(dir, "demo.bin", o);
    ASSERT_EQ(WriteResponseFiles(dir / "LEMI", o), "");
    StartupOptions options;
    options.startDir = dir.path();
    options.useDirFile = false;
    options.changeToWorkDir = false;
    window = std::make_unique<MainWindow>(options);
    window->resize(1200, 800);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    // Message boxes are answered and kept, so nothing waits for a person.
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        messages.push_back(box->text().toStdString());
        box->accept();
      }
    });
    closer.start();
    Settle();
  }
  void TearDown() override {
    closer.stop();
    window.reset();
  }

  AppState& s() { return window->State(); }
  PlotWidget* plot() { return window->Plot(); }
  std::string Status(int part) { return window->StatusPart(part)->text().toStdString(); }
  /// Lets the requested redraws and paints run.
  void Settle() {
    for (int i = 0; i < 5; ++i) {
      QCoreApplication::processEvents();
      QTest::qWait(5);
    }
  }
  void Click(int commandId) {
    QAction* action = window->Action(commandId);
    ASSERT_NE(action, nullptr);
    QToolBar* bar = window->findChild<QToolBar*>("Toolbar");
    QWidget* button = bar->widgetForAction(action);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    Settle();
  }
  bool Pressed(int commandId) { return window->Action(commandId)->isChecked(); }
  void OpenDemo() {
    ASSERT_TRUE(window->OpenAtStart(demo));
    Settle();
  }
  QPoint At(double x, int panel) {
    const int px = s().PlotLeft + static_cast<int>(std::trunc((x - s().XMin) * s().PlotWidth / (s().XMax - s().XMin)));
    return QPoint(px, s().PanelTop[panel] + s().PanelHeight / 2);
  }
  // Shows only the first ten samples across the panels.
  void ShowTenSamples() {
    s().AutoscaleAll = 0;
    s().XMin = 0.0;
    s().XMax = 0.010;
    s().RedrawAll = 1;
    window->InvalidatePlot(false);
    Settle();
  }

  TempDir dir;
  std::string demo;
  std::unique_ptr<MainWindow> window;
  QTimer closer;
  std::vector<std::string> messages;
};

TEST_F(MainWindowTest, StartsWithTheDemoFileAndShowsItsStatus) {
  EXPECT_EQ(window->windowTitle(), "Zorvan");
  EXPECT_EQ(Status(0), "Ready");
  OpenDemo();
  EXPECT_EQ(Status(0), "demo.bin");
  EXPECT_EQ(Status(1), "Rec 1");
  // The readout after the paint shows the date and the time of the page's start.
  EXPECT_TRUE(QRegularExpression("^\\d\\d/\\d\\d/\\d{4}$").match(window->StatusPart(2)->text()).hasMatch())
      << Status(2);
  EXPECT_EQ(Status(2), "12/07/2026");
  EXPECT_EQ(Status(3), "13:45:10.000");
  EXPECT_EQ(s().NumEnabledChans, 5);
  EXPECT_GE(plot()->FullRedraws(), 1);
  // The picture: white with black traces.
  const QImageSurface& shown = plot()->Shown();
  EXPECT_EQ(shown.Width(), plot()->width());
  EXPECT_EQ(shown.PixelAt(2, 2), kWhite);
  int dark = 0;
  for (int x = s().PlotLeft; x < s().PlotLeft + s().PlotWidth; x += 3)
    if (shown.PixelAt(x, s().PanelTop[1] + s().PanelHeight / 2) == kBlack) ++dark;
  EXPECT_GT(dark, 0);
  EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(MainWindowTest, StatusBarHasTenPartsSizedForTheirTexts) {
  const QFontMetrics metrics(window->statusBar()->font());
  EXPECT_EQ(window->StatusPart(0)->width(), 320);
  const char* sizing[] = {"REC 00000", "AZ 0000.000", "EL 0000.000", "X: 00000",
                          "Y: 00000",  "WS 00.00",    "WD 000.0",    "FILT 000"};
  // Wide enough for the sizing text and for what the part shows.
  const char* longest[] = {"Rec 00000", "00/00/0000", "00:00:00.000", "-0000.000 secs", "Y  -0000.000", "", "", ""};
  for (int part = 1; part <= 8; ++part)
    EXPECT_EQ(window->StatusPart(part)->width(),
              std::max(metrics.horizontalAdvance(sizing[part - 1]), metrics.horizontalAdvance(longest[part - 1])) + 8)
        << part;
  EXPECT_GT(window->StatusPart(9)->width(), 0);
}

TEST_F(MainWindowTest, ToolbarHasFourteenDistinctButtonsWithTheirTooltips) {
  QToolBar* bar = window->findChild<QToolBar*>("Toolbar");
  ASSERT_EQ(bar->actions().size(), 14);
  QStringList tips;
  for (QAction* a : bar->actions()) {
    tips << a->toolTip();
    QImage image = a->icon().pixmap(24, 24).toImage();
    for (QAction* b : bar->actions())
      if (a != b) {
        EXPECT_NE(image, b->icon().pixmap(24, 24).toImage()) << a->toolTip().toStdString();
      }
  }
  EXPECT_EQ(tips.front(), "File Open");
  EXPECT_EQ(tips[12], "Apparent Resisivity On/Off");
  EXPECT_EQ(tips.back(), "Find Peaks On/Off");
  EXPECT_TRUE(Pressed(kCmdAutoscale));
}

TEST_F(MainWindowTest, ThreeStepsForwardWithThreeRecordsPerPlotThenBack) {
  // The open dialog takes the file and "Records/Plot" 3.
  std::string initialDir;
  WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->objectName(), kOpenDialogName);
    auto* field = dialog->findChild<QLineEdit*>(kRecordsPerPlotFieldName);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), "1");
    field->setText("3");
    initialDir = dialog->directory().absolutePath().toStdString();
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(demo));
    static_cast<QDialog*>(dialog)->accept();
  });
  Click(kCmdFileOpen);
  EXPECT_EQ(initialDir, dir.path());
  ASSERT_EQ(s().RecordsPerPlot, 3);
  EXPECT_EQ(Status(1), "Rec 1");
  for (int i = 0; i < 3; ++i) Click(kCmdForward);
  EXPECT_EQ(Status(1), "Rec 10");
  EXPECT_DOUBLE_EQ(s().PlotStartTime, 9 * 2560 / 1000.0);
  EXPECT_EQ(Status(3), "13:45:33.040");
  Click(kCmdBack);
  EXPECT_EQ(Status(1), "Rec 7");
  EXPECT_DOUBLE_EQ(s().xplotdata[0], 6 * 2560 / 1000.0);
  EXPECT_EQ(s().NumPlotPoints, 3 * 2560);
  EXPECT_DOUBLE_EQ(s().XMin, 6 * 2.56);
}

TEST_F(MainWindowTest, ToggleButtonsArePressedWhileTheirModesAreOn) {
  OpenDemo();
  struct Toggle {
    int id;
    int AppState::*mode;
  };
  for (Toggle t : {Toggle{kCmdFilter, &AppState::FilterOn}, Toggle{kCmdFindPeaks, &AppState::FindPeaksOn},
                   Toggle{kCmdFourier, &AppState::FourierOn}, Toggle{kCmdZoom, &AppState::ZoomMode}}) {
    EXPECT_FALSE(Pressed(t.id)) << t.id;
    Click(t.id);
    EXPECT_EQ(s().*t.mode, 1) << t.id;
    EXPECT_TRUE(Pressed(t.id)) << t.id;
    Click(t.id);
    EXPECT_EQ(s().*t.mode, 0) << t.id;
    EXPECT_FALSE(Pressed(t.id)) << t.id;
  }
  Click(kCmdAutoscale);
  EXPECT_FALSE(Pressed(kCmdAutoscale));
  EXPECT_EQ(s().AutoscaleAll, 0);
  Click(kCmdAutoscale);
  EXPECT_TRUE(Pressed(kCmdAutoscale));

  // Apparent resistivity turns Fourier on, and its button with it.
  Click(kCmdAppRes);
  EXPECT_EQ(s().AppResOn, 1);
  EXPECT_TRUE(Pressed(kCmdAppRes));
  EXPECT_TRUE(Pressed(kCmdFourier));
  EXPECT_EQ(s().LogX, 1);  // set by the redraw
  Click(kCmdAppRes);
  EXPECT_FALSE(Pressed(kCmdAppRes));
  EXPECT_FALSE(Pressed(kCmdFourier));
  EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(MainWindowTest, ZoomDragSetsTheLimitsAndLeavesZoomMode) {
  OpenDemo();
  Click(kCmdZoom);
  const double xmin = s().XMin, xmax = s().XMax;
  const int left = s().PlotLeft, W = s().PlotWidth, T = s().PanelTop[1];
  const QPoint from(left + W / 4, T + 5), to(left + W / 2, T + s().PanelHeight - 5);
  QTest::mousePress(plot(), Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseMove(plot(), to);
  Settle();
  EXPECT_EQ(s().ZoomDragging, 1);
  // The rubber band is on the screen, not in the off-screen image.
  const int mid = (from.x() + to.x()) / 2;
  EXPECT_EQ(plot()->Shown().PixelAt(mid, from.y()), kBlack);
  EXPECT_NE(plot()->OffScreen().PixelAt(mid, from.y()), kBlack);
  QTest::mouseRelease(plot(), Qt::LeftButton, Qt::NoModifier, to);
  Settle();
  EXPECT_EQ(s().ZoomMode, 0);
  EXPECT_EQ(s().Zoomed, 1);
  EXPECT_EQ(s().ZoomChannel, 1);
  EXPECT_FALSE(Pressed(kCmdZoom));
  EXPECT_NEAR(s().XMin, xmin + (W / 4) * (xmax - xmin) / W, 1e-9);
  EXPECT_NEAR(s().XMax, xmin + (W / 2) * (xmax - xmin) / W, 1e-9);
  EXPECT_LT(s().YMinManual[1], s().YMaxManual[1]);
  // The zoom holds with autoscaling switched off, and the button shows it; Escape ends it.
  EXPECT_FALSE(Pressed(kCmdAutoscale));
  EXPECT_NEAR(s().XMin, xmin + (W / 4) * (xmax - xmin) / W, 1e-9);
  QTest::keyClick(plot(), Qt::Key_Escape);
  Settle();
  EXPECT_EQ(s().Zoomed, 0);
  EXPECT_TRUE(Pressed(kCmdAutoscale));
  EXPECT_DOUBLE_EQ(s().XMin, xmin);
  EXPECT_DOUBLE_EQ(s().XMax, xmax);
}

TEST_F(MainWindowTest, ClickSnapsToTheLaterSampleAndArrowKeysMoveOnePointPerRepaint) {
  OpenDemo();
  ShowTenSamples();
  const QPoint p = At(0.0035, 0);
  const double X = s().XMin + (p.x() - s().PlotLeft) * (s().XMax - s().XMin) / s().PlotWidth;
  ASSERT_GT(X, 0.003);
  ASSERT_LT(X, 0.004);
  const int fullRedraws = plot()->FullRedraws();
  QTest::mouseClick(plot(), Qt::LeftButton, Qt::NoModifier, p);
  Settle();
  EXPECT_EQ(s().CursorIndex, 4);
  EXPECT_EQ(Status(4), Fmt("%8.3f secs", X));
  EXPECT_EQ(Status(5), Fmt("Y  %8.3f", s().yplotdata[0][4]));
  EXPECT_EQ(plot()->FullRedraws(), fullRedraws);  // a click only copies the picture
  // The cross is on the screen over sample 4.
  const int px = At(s().PlotX[4], 0).x();
  int blue = 0;
  for (int y = s().PanelTop[0]; y <= s().PanelTop[0] + s().PanelHeight; ++y)
    if (plot()->Shown().PixelAt(px, y) == kBlue) ++blue;
  EXPECT_GT(blue, s().PanelHeight / 10);

  QTest::keyClick(plot(), Qt::Key_Right);
  QTest::keyClick(plot(), Qt::Key_Right);  // before the repaint: ignored
  Settle();
  EXPECT_EQ(s().CursorIndex, 5);
  EXPECT_EQ(Status(4), Fmt("%8.3f secs", s().PlotX[5]));
  QTest::keyClick(plot(), Qt::Key_Right);
  Settle();
  EXPECT_EQ(s().CursorIndex, 6);
  QTest::keyClick(plot(), Qt::Key_Left);
  Settle();
  EXPECT_EQ(s().CursorIndex, 5);
}

TEST_F(MainWindowTest, ClipboardHoldsAnImageOfThePlotArea) {
  OpenDemo();
  QGuiApplication::clipboard()->clear();
  window->Command(kCmdCopy);
  const QImage image = QGuiApplication::clipboard()->image();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), plot()->size());
  EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), plot()->Shown().Image().convertToFormat(QImage::Format_RGB32));
}

TEST_F(MainWindowTest, AboutShowsItsTextsFromTheMenuAndTheAccelerator) {
  for (int way = 0; way < 3; ++way) {
    QStringList texts;
    QString platform;
    bool readOnly = false;
    WhenModal<QtDialogView>([&](QtDialogView* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "About Zorvan");
      for (QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
      auto* field = qobject_cast<QLineEdit*>(dialog->Control(1251));
      platform = field->text();
      readOnly = field->isReadOnly();
      QTest::mouseClick(qobject_cast<QPushButton*>(dialog->Control(kIdOk)), Qt::LeftButton);
    });
    if (way == 0)
      window->Action(kMenuAbout)->trigger();
    else {
      window->activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
      if (way == 1)
        QTest::keyClick(plot(), Qt::Key_Slash, Qt::AltModifier);
      else
        QTest::keyClick(plot(), Qt::Key_F1);
    }
    Settle();
    for (const char* text : {"Magnetotelluric Plotting & Analysis", "Version 2.37", " 11/6/2013", "Platform:"})
      EXPECT_TRUE(texts.contains(text)) << text << " way " << way;
    EXPECT_EQ(platform, QString("Linux, Qt ") + qVersion());
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

TEST_F(MainWindowTest, ARepaintThatWasNotRequestedOnlyCopiesTheImage) {
  OpenDemo();
  const int fullRedraws = plot()->FullRedraws();
  plot()->repaint();
  plot()->repaint();
  EXPECT_EQ(plot()->FullRedraws(), fullRedraws);
  window->InvalidatePlot(false);
  window->InvalidatePlot(false);
  Settle();
  EXPECT_EQ(plot()->FullRedraws(), fullRedraws + 1);
}

TEST_F(MainWindowTest, MtModeWithoutTheMtChannelsSaysSoAndReleasesBothButtons) {
  OpenDemo();
  s().OutHeader.ChannelLabel[3] = 2;  // no Ex: no MT estimate
  s().OutHeader.ChannelLabel[4] = 2;
  Click(kCmdAppRes);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Ex, Ey, Hx, Hy Labels not all present in header");
  EXPECT_FALSE(Pressed(kCmdAppRes));
  EXPECT_FALSE(Pressed(kCmdFourier));
  EXPECT_EQ(s().FourierOn, 0);
}

}  // namespace

TEST_F(MainWindowTest, FileMenuExportsEdiAndTransformMenuChoosesARemote) {
  QMenu* file = nullptr;
  QMenu* transform = nullptr;
  for (QAction* a : window->menuBar()->actions()) {
    if (a->text() == "&File") file = a->menu();
    if (a->text() == "&Transform") transform = a->menu();
  }
  ASSERT_NE(file, nullptr);
  ASSERT_NE(transform, nullptr);
  EXPECT_TRUE(file->actions().contains(window->Action(kMenuExportEdi)));
  EXPECT_EQ(window->Action(kMenuExportEdi)->text(), "&Export EDI...");
  EXPECT_TRUE(transform->actions().contains(window->Action(kMenuRemoteReference)));
  EXPECT_EQ(window->Action(kMenuRemoteReference)->text(), "&Remote Reference...");
}

namespace {

TEST_F(MainWindowTest, ShortcutsShowInTheMenusAndPageThroughTheFile) {
  const std::pair<int, QKeySequence> shortcuts[] = {
      {kMenuOpenFile, QKeySequence(Qt::CTRL | Qt::Key_O)},
      {kMenuSaveFile, QKeySequence(Qt::CTRL | Qt::Key_S)},
      {kMenuCopy, QKeySequence(Qt::CTRL | Qt::Key_C)},
      {kMenuExit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
      {kMenuAbout, QKeySequence(Qt::Key_F1)},
      {kCmdGoTo, QKeySequence(Qt::CTRL | Qt::Key_G)},
  };
  for (const auto& [id, keys] : shortcuts) {
    ASSERT_NE(window->Action(id), nullptr) << id;
    EXPECT_EQ(window->Action(id)->shortcut(), keys) << id;
  }
  OpenDemo();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  auto press = [&](int key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(plot(), static_cast<Qt::Key>(key), modifiers);
    Settle();
  };
  press(Qt::Key_PageDown);
  EXPECT_EQ(Status(1), "Rec 2");
  press(Qt::Key_PageDown);
  press(Qt::Key_PageUp);
  EXPECT_EQ(Status(1), "Rec 2");
  press(Qt::Key_End);
  EXPECT_EQ(s().CurrentRecord, 14);
  EXPECT_EQ(Status(1), "Rec 15");
  press(Qt::Key_Home);
  EXPECT_EQ(Status(1), "Rec 1");
  QGuiApplication::clipboard()->clear();
  press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull());
  press(Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, TheTitleNamesTheOpenFile) {
  EXPECT_EQ(window->windowTitle(), "Zorvan");
  OpenDemo();
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("demo.bin \u2014 Zorvan"));
}

TEST_F(MainWindowTest, GoToTakesARecordOrATimeAndRefusesATimeOutsideTheFile) {
  OpenDemo();
  auto goTo = [&](const char* text, bool expectClosed) {
    bool stillOpen = false;
    WhenModal<QtDialogView>([&](QtDialogView* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "Go To");
      auto* field = qobject_cast<QLineEdit*>(dialog->Control(kGoToTarget));
      ASSERT_NE(field, nullptr);
      field->setText(text);
      QTest::mouseClick(qobject_cast<QPushButton*>(dialog->Control(kIdOk)), Qt::LeftButton);
      stillOpen = dialog->isVisible();
      if (stillOpen) static_cast<QDialog*>(dialog)->reject();
    });
    window->Action(kCmdGoTo)->trigger();
    Settle();
    EXPECT_EQ(stillOpen, !expectClosed) << text;
  };
  goTo("7", true);
  EXPECT_EQ(Status(1), "Rec 7");
  goTo("12/07/2026 13:45:20.5", true);  // 10.5 s into the file: the fifth record (10.24 … 12.8 s)
  EXPECT_EQ(Status(1), "Rec 5");
  EXPECT_TRUE(messages.empty());
  goTo("14:00:00", false);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "12/07/2026 14:00:00.000 UTC is outside demo.bin: it runs from 12/07/2026 13:45:10.000 to "
            "12/07/2026 13:45:48.400 UTC.");
  EXPECT_EQ(Status(1), "Rec 5");
}

TEST_F(MainWindowTest, RecordsPerPlotRefusesWhatIsNoPageSize) {
  bool stillOpen = false;
  QString kept;
  WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    auto* field = dialog->findChild<QLineEdit*>(kRecordsPerPlotFieldName);
    ASSERT_NE(field, nullptr);
    field->setText("-5");
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(demo));
    static_cast<QDialog*>(dialog)->accept();
    stillOpen = dialog->isVisible();
    kept = field->text();
    static_cast<QDialog*>(dialog)->reject();
  });
  Click(kCmdFileOpen);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(kept, "1");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Records/Plot must be a whole number from 1 to 3906.");
  EXPECT_EQ(s().FileLoaded, 0);
}

}  // namespace
