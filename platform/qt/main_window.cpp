#include "platform/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/commands.h"
#include "app/window.h"
#include "platform/qt/file_dialogs.h"
#include "platform/qt/plot_widget.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/toolbar_icons.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Each status part after the first is as wide as its sizing text plus 8 pixels,
// and at least as wide as the longest text it shows, so a readout is never cut.
const char* const kStatusSizing[kStatusParts - 1] = {nullptr,    "REC 00000", "AZ 0000.000", "EL 0000.000", "X: 00000",
                                                     "Y: 00000", "WS 00.00",  "WD 000.0",    "FILT 000"};
const char* const kStatusLongest[kStatusParts - 1] = {
    nullptr, "Rec 00000", "00/00/0000", "00:00:00.000", "-0000.000 secs", "Y  -0000.000", "", "", ""};
constexpr int kStatusPartZeroRight = 320;

bool IsToggle(int id) { return id == kCmdZoom || (id >= kCmdAutoscale && id <= kCmdFindPeaks); }

}  // namespace

MainWindow::MainWindow(const StartupOptions& options) {
  setWindowTitle("Zorvan");
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect r = screen->geometry();
    const int w = r.width(), h = r.height();
    setGeometry(r.x() + w / 10, r.y() + h / 10, static_cast<int>(0.8 * w), static_cast<int>(0.8 * h));
  }
  plot_ = new PlotWidget(s_, this);
  setCentralWidget(plot_);
  setFocusProxy(plot_);
  BuildMenu();
  BuildToolbar();
  BuildStatusBar();
  InitAppState(s_, *this, options);
  // The buttons' tooltips come from the state's table, entry id - 401 for button id.
  for (int i = 0; i < kToolbarButtons; ++i) {
    QAction* action = toolbarActions_[kCmdFileOpen + i];
    action->setText(Q(s_.Tooltips[static_cast<size_t>(i)]));
    action->setToolTip(action->text());
  }
  ShowToggleStates(s_);  // autoscaling is on at start
  plot_->setFocus();
}

MainWindow::~MainWindow() {
  if (waitCursor_) QApplication::restoreOverrideCursor();
  ShutdownAppState(s_);
}

QAction* MainWindow::AddAction(QWidget* menuOrBar, const char* text, int commandId, const QKeySequence& keys) {
  auto* action = new QAction(text, this);
  if (!keys.isEmpty()) {
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
  }
  menuOrBar->addAction(action);
  connect(action, &QAction::triggered, this, [this, commandId] { Command(commandId); });
  menuActions_[commandId] = action;
  return action;
}

void MainWindow::BuildMenu() {
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu("&File");
  AddAction(file, "&Open File...", kMenuOpenFile, QKeySequence::Open);
  AddAction(file, "&Save File...", kMenuSaveFile, QKeySequence::Save);
  AddAction(file, "Se&gment File...", kMenuSegmentFile);
  AddAction(file, "&Concatenate Files", kMenuConcatenateFiles);
  AddAction(file, "Synchroni&ze Files", kMenuSynchronizeFiles);
  AddAction(file, "&Export EDI...", kMenuExportEdi);
  AddAction(file, "File &Information...", kMenuFileInformation);
  AddAction(file, "&Print", kMenuPrint);
  file->addSeparator();
  AddAction(file, "E&xit", kMenuExit, QKeySequence(Qt::CTRL | Qt::Key_Q));
  QMenu* edit = bar->addMenu("&Edit");
  AddAction(edit, "&Copy", kMenuCopy, QKeySequence::Copy);
  // Paging: the toolbar's arrows and the usual keys, shown in a menu of their own.
  QMenu* page = bar->addMenu("&Page");
  AddAction(page, "&Next Page", kCmdForward, QKeySequence(Qt::Key_PageDown));
  AddAction(page, "&Previous Page", kCmdBack, QKeySequence(Qt::Key_PageUp));
  AddAction(page, "&First Page", kCmdFirstPage, QKeySequence(Qt::Key_Home));
  AddAction(page, "&Last Page", kCmdLastPage, QKeySequence(Qt::Key_End));
  page->addSeparator();
  AddAction(page, "&Go To...", kCmdGoTo, QKeySequence(Qt::CTRL | Qt::Key_G));
  QMenu* settings = bar->addMenu("&Settings");
  AddAction(settings, "&General...", kMenuGeneralSettings);
  AddAction(settings, "&File Header...", kMenuFileHeader);
  AddAction(settings, "Plot &Scaling...", kMenuPlotScaling);
  AddAction(settings, "Fi&lter...", kMenuFilterSettings);
  AddAction(settings, "&Fourier Transform...", kMenuFourierSettings);
  AddAction(settings, "Find &Peaks...", kMenuFindPeaks);
  QMenu* transform = bar->addMenu("&Transform");
  AddAction(transform, "&Filter On/Off", kMenuFilterOnOff);
  AddAction(transform, "&Remote Reference...", kMenuRemoteReference);
  // A menu of its own, so that F1 shows beside the item.
  QMenu* about = bar->addMenu("A&bout");
  AddAction(about, "&About Zorvan...", kMenuAbout, QKeySequence(Qt::Key_F1));

  // Alt+"?" and Alt+"/" open About.
  for (const char* keys : {"Alt+?", "Alt+Shift+?", "Alt+/"}) {
    auto* shortcut = new QShortcut(QKeySequence(keys), this);
    connect(shortcut, &QShortcut::activated, this, [this] { Command(kMenuAbout); });
  }
}

void MainWindow::BuildToolbar() {
  QToolBar* bar = addToolBar("Toolbar");
  bar->setObjectName("Toolbar");
  bar->setMovable(false);
  bar->setIconSize(QSize(24, 24));
  for (int i = 0; i < kToolbarButtons; ++i) {
    const int id = kCmdFileOpen + i;
    auto* action = new QAction(ToolbarIcon(id), QString(), this);
    action->setCheckable(IsToggle(id));
    bar->addAction(action);
    connect(action, &QAction::triggered, this, [this, id] { Command(id); });
    toolbarActions_[id] = action;
  }
}

void MainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  auto* parts = new QWidget(bar);
  auto* layout = new QHBoxLayout(parts);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  const QFontMetrics metrics(bar->font());
  for (int part = 0; part < kStatusParts; ++part) {
    auto* label = new QLabel(parts);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setObjectName(QString("StatusPart%1").arg(part));
    if (part == 0)
      label->setFixedWidth(kStatusPartZeroRight);
    else if (part < kStatusParts - 1)
      label->setFixedWidth(
          std::max(metrics.horizontalAdvance(kStatusSizing[part]), metrics.horizontalAdvance(kStatusLongest[part])) +
          8);
    layout->addWidget(label, part == kStatusParts - 1 ? 1 : 0);
    status_[static_cast<size_t>(part)] = label;
  }
  bar->addWidget(parts, 1);
  status_[0]->setText("Ready");
}

QAction* MainWindow::Action(int commandId) const {
  auto it = toolbarActions_.find(commandId);
  if (it != toolbarActions_.end()) return it->second;
  auto m = menuActions_.find(commandId);
  return m == menuActions_.end() ? nullptr : m->second;
}

void MainWindow::Command(int commandId) {
  if (commandId == kMenuExit) {
    close();
    return;
  }
  if (commandId == kCmdCopy || commandId == kMenuCopy) {
    // The clipboard takes the picture as it is on the screen now.
    plot_->FlushRedraw();
    plot_->repaint();
  }
  RunCommand(s_, commandId, plot_->Shown());
  ShowFileInTitle();
}

bool MainWindow::OpenAtStart(const std::string& path) {
  const bool opened = CmdOpenPath(s_, path) == 1;
  ShowFileInTitle();
  return opened;
}

void MainWindow::ShowFileInTitle() {
  const QString title = s_.FileLoaded && !s_.CurrentFileTitle.empty()
                            ? Q(s_.CurrentFileTitle) + QString::fromUtf8(" \u2014 Zorvan")
                            : QString("Zorvan");
  if (windowTitle() != title) setWindowTitle(title);
}

std::string MainWindow::PlatformDescription() const {
  // The kernel's name as the system spells it, and the Qt library actually loaded.
  return Platform::PlatformDescription() + ", Qt " + qVersion();
}

MsgAnswer MainWindow::MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                                 MsgIcon icon) {
  QMessageBox box(this);
  box.setWindowTitle(Q(caption));
  box.setText(Q(text));
  switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
  }
  switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  // A message shown while the wait cursor is up still needs the arrow to be answered.
  const bool waiting = waitCursor_;
  if (waiting) QApplication::restoreOverrideCursor();
  const int answer = box.exec();
  if (waiting) QApplication::setOverrideCursor(Qt::WaitCursor);
  switch (answer) {
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Ok: return MsgAnswer::Ok;
    default:  // closed with Escape or the window's button
      return buttons == MsgButtons::Ok      ? MsgAnswer::Ok
             : buttons == MsgButtons::YesNo ? MsgAnswer::No
                                            : MsgAnswer::Cancel;
  }
}

std::optional<OpenFileAnswer> MainWindow::OpenFileDialog(const OpenFileRequest& request) {
  return RunOpenFileDialog(this, request);
}

std::vector<std::string> MainWindow::OpenFilesDialog(const std::vector<FileFilter>& filters,
                                                     const std::string& initialDir, const std::string& title) {
  return RunOpenFilesDialog(this, filters, initialDir, title);
}

std::optional<std::string> MainWindow::SaveFileDialog(const std::vector<FileFilter>& filters,
                                                      const std::string& initialDir, const std::string& suggestedName) {
  return RunSaveFileDialog(this, filters, initialDir, suggestedName);
}

void MainWindow::SetStatusText(int part, const std::string& text) {
  if (part >= 0 && part < kStatusParts) status_[static_cast<size_t>(part)]->setText(Q(text));
}

void MainWindow::SetButtonPressed(int commandId, bool pressed) {
  auto it = toolbarActions_.find(commandId);
  if (it == toolbarActions_.end()) return;
  it->second->setCheckable(true);
  it->second->setChecked(pressed);
}

void MainWindow::SetCursor(CursorShape shape) {
  if (shape == CursorShape::Wait) {
    if (!waitCursor_) QApplication::setOverrideCursor(Qt::WaitCursor);
    waitCursor_ = true;
    return;
  }
  if (waitCursor_) QApplication::restoreOverrideCursor();
  waitCursor_ = false;
  if (shape == CursorShape::Zoom) {
    static const QCursor zoom = ZoomCursor();
    plot_->setCursor(zoom);
  } else {
    plot_->setCursor(Qt::ArrowCursor);
  }
}

void MainWindow::InvalidatePlot(bool) { plot_->RequestRepaint(); }

bool MainWindow::CopyImageToClipboard(const RgbImage& image) {
  if (image.width <= 0 || image.height <= 0) return false;
  QImage copy(image.width, image.height, QImage::Format_RGB32);
  for (int y = 0; y < image.height; ++y)
    std::memcpy(copy.scanLine(y), image.pixels.data() + static_cast<size_t>(y) * image.width,
                static_cast<size_t>(image.width) * 4);
  QGuiApplication::clipboard()->setImage(copy);
  return true;
}

int MainWindow::RunDialog(const DialogTemplate& dialog, const DialogProcedure& procedure) {
  return RunQtDialog(this, dialog, procedure);
}

void MainWindow::ReportProgress(const std::string& what, double fraction) {
  const int percent = static_cast<int>(std::lround(fraction * 100));
  SetStatusText(0, fraction >= 1.0 ? "Ready" : what + " " + std::to_string(percent) + "%");
  // Let the window repaint what it shows; the redraws and the user's input wait for the operation.
  plot_->HoldRedraws(true);
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  plot_->HoldRedraws(false);
}
