#pragma once
// A host without a display: dialogs are answered from a script, message boxes
// and status texts are recorded (and optionally echoed to a stream).

#include <array>
#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/headless_dialog.h"
#include "platform/platform.h"

struct RecordedMessage {
  std::string text;
  std::string caption;
  MsgButtons buttons;
  MsgIcon icon;
};

class HeadlessPlatform : public Platform {
 public:
  // Script: answers are taken in order; when a queue is empty a dialog is
  // cancelled and a message box gets its first button (OK or Yes).
  std::deque<std::optional<OpenFileAnswer>> openAnswers;
  std::deque<std::vector<std::string>> openFilesAnswers;
  std::deque<std::optional<std::string>> saveAnswers;
  std::deque<MsgAnswer> messageAnswers;
  /// One script per dialog opened, run after its Init. A dialog the script
  /// leaves open is cancelled.
  std::deque<std::function<void(HeadlessDialog&)>> dialogScripts;

  // Record of what the program showed.
  std::vector<RecordedMessage> messages;
  std::vector<OpenFileRequest> openRequests;
  std::vector<std::string> dialogTitles;     // every dialog opened, in order
  std::vector<std::string> openFilesTitles;  // titles of the multiple-selection open dialogs
  std::array<std::string, 10> status{};
  std::vector<std::pair<int, std::string>> statusHistory;
  std::map<int, bool> pressed;
  CursorShape cursor = CursorShape::Arrow;
  int invalidations = 0;
  std::optional<RgbImage> clipboard;
  bool clipboardBusy = false;

  /// Where message boxes and progress are echoed (the command-line tool uses stderr).
  std::ostream* echo = nullptr;
  bool echoProgress = false;

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
  void ReportProgress(const std::string& what, double fraction) override;
  int RunDialog(const DialogTemplate& dialog, const DialogProcedure& procedure) override;

  /// Queues an open-dialog answer: the file and the "Records/Plot" text.
  void AnswerOpen(const std::string& path, const std::string& recordsPerPlot = "1");
  /// Texts of the recorded message boxes.
  std::vector<std::string> MessageTexts() const;
};
