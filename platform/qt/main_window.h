#pragma once
// The desktop window: menu, accelerators, toolbar, status bar and the plot
// area, and the host the program talks to through the Platform interface.
// It only forwards: commands, mouse and keys go to the window logic in app/.

#include <QKeySequence>
#include <QMainWindow>
#include <array>
#include <map>
#include <string>

#include "app/state.h"
#include "platform/platform.h"

class QAction;
class QLabel;
class PlotWidget;

constexpr int kStatusParts = 10;

class MainWindow : public QMainWindow, public Platform {
 public:
  explicit MainWindow(const StartupOptions& options = {});
  ~MainWindow() override;

  AppState& State() { return s_; }
  PlotWidget* Plot() { return plot_; }
  QAction* Action(int commandId) const;
  QLabel* StatusPart(int part) const { return status_[static_cast<size_t>(part)]; }

  /// Runs a command as its menu item or button would.
  void Command(int commandId);
  /// Opens path as if chosen in the open dialog with "Records/Plot" 1.
  bool OpenAtStart(const std::string& path);

  // Platform
  MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon) override;
  std::optional<OpenFileAnswer> OpenFileDialog(const OpenFileRequest& request) override;
  std::vector<std::string> OpenFilesDialog(const std::vector<FileFilter>& filters, const std::string& initialDir,
                                           const std::string& title = "Open") override;
  std::optional<std::string> SaveFileDialog(const std::vector<FileFilter>& filters, const std::string& initialDir,
                                            const std::string& suggestedName) override;
  void SetStatusText(int part, const std::string& text) override;
  void SetButtonPressed(int commandId, bool pressed) override;
  void SetCursor(CursorShape shape) override;
  void InvalidatePlot(bool erase) override;
  bool CopyImageToClipboard(const RgbImage& image) override;
  int RunDialog(const DialogTemplate& dialog, const DialogProcedure& procedure) override;
  void ReportProgress(const std::string& what, double fraction) override;
  std::string PlatformDescription() const override;

 private:
  void BuildMenu();
  void BuildToolbar();
  void BuildStatusBar();
  QAction* AddAction(QWidget* menuOrBar, const char* text, int commandId, const QKeySequence& keys = {});
  /// "FILE — Zorvan" while a file is open, else "Zorvan".
  void ShowFileInTitle();

  AppState s_;
  PlotWidget* plot_ = nullptr;
  std::map<int, QAction*> toolbarActions_;
  std::map<int, QAction*> menuActions_;
  std::array<QLabel*, kStatusParts> status_{};
  bool waitCursor_ = false;
};
