// The Split dialog in the real window (offscreen): a long input path shows its
// file name, a 62.5 Hz recording its rate as such.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "dialogs/split_dialog.h"
#include "platform/qt/main_window.h"
#include "platform/qt/qimage_surface.h"
#include "platform/qt/qt_dialog.h"
#include "tests/qt/when_dialog_up.h"
#include "tests/support/recordings.h"

namespace {

TEST(SplitDialogQt, ShowsTheFileNameOfALongPathAndTheRateOf62Point5Hz) {
  EnsureQtGui();
  TempDir dir;
  std::string folder = dir.path();
  for (int i = 0; i < 6; ++i) folder += "/a-rather-long-folder-name-" + std::to_string(i);
  std::filesystem::create_directories(folder);
  SynthOptions o = SmallRecording(2);
  o.rateCode = 62;
  const std::string file = WriteRecording(dir, folder.substr(dir.path().size() + 1) + "/station_0042.bin", o);
  StartupOptions options;
  options.startDir = dir.path();
  options.useDirFile = false;
  options.changeToWorkDir = false;
  MainWindow window(options);
  window.resize(1200, 800);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(window.OpenAtStart(file));

  bool seen = false;
  WhenUp([&](QtDialogView* dialog) {
    seen = true;
    auto* path = qobject_cast<QLineEdit*>(dialog->Control(kSplitInputFile));
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->text().toStdString(), file);
    // The field is narrower than the path and scrolled to its end: the file name shows.
    EXPECT_LT(path->width(), path->fontMetrics().horizontalAdvance(path->text()));
    EXPECT_EQ(path->cursorPosition(), path->text().size());
    EXPECT_TRUE(path->contentsRect().contains(path->inputMethodQuery(Qt::ImCursorRectangle).toRect().center()));
    EXPECT_EQ(path->toolTip(), path->text());
    auto* rate = qobject_cast<QLineEdit*>(dialog->Control(kSplitSampleRate));
    ASSERT_NE(rate, nullptr);
    EXPECT_EQ(rate->text().trimmed().toStdString(), "62.5");
    static_cast<QDialog*>(dialog)->reject();
  });
  EXPECT_EQ(SegmentFile(window.State()), kIdCancel);
  EXPECT_TRUE(seen);
}

}  // namespace
