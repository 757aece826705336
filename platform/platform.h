#pragma once
// What the program asks of its host: message boxes, file dialogs, the status
// bar, toolbar buttons, cursors, repaint requests and the clipboard. The Qt
// window implements it for people; the headless host for tests and the
// command-line tool, so both drive exactly the same code above this layer.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/dialog.h"

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No };
enum class CursorShape { Arrow, Wait, Zoom };

struct FileFilter {
  std::string label;    // "Qor files(*.bin)"
  std::string pattern;  // "*.bin"
};

/// The recorder-file filters of the open and save dialogs.
std::vector<FileFilter> RecorderFileFilters();

struct OpenFileRequest {
  std::vector<FileFilter> filters;
  std::string initialDir;
  std::string recordsPerPlotText;  // shown in the "Records/Plot" field
};

struct OpenFileAnswer {
  std::string path;
  std::string recordsPerPlotText;  // the field's text when the file was confirmed
};

/// 32-bit ARGB pixels, row by row.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

class Platform {
 public:
  virtual ~Platform() = default;

  virtual MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                               MsgIcon icon) = 0;
  /// Open dialog with the "Records/Plot" field; nullopt when cancelled.
  virtual std::optional<OpenFileAnswer> OpenFileDialog(const OpenFileRequest& request) = 0;
  /// Multiple-selection open dialog titled for its task; empty when cancelled.
  virtual std::vector<std::string> OpenFilesDialog(const std::vector<FileFilter>& filters,
                                                   const std::string& initialDir,
                                                   const std::string& title = "Open") = 0;
  /// Save dialog (asks before overwriting); nullopt when cancelled.
  virtual std::optional<std::string> SaveFileDialog(const std::vector<FileFilter>& filters,
                                                    const std::string& initialDir,
                                                    const std::string& suggestedName) = 0;
  virtual void SetStatusText(int part, const std::string& text) = 0;
  virtual void SetButtonPressed(int commandId, bool pressed) = 0;
  virtual void SetCursor(CursorShape shape) = 0;
  /// Requests a repaint of the plot area.
  virtual void InvalidatePlot(bool erase) = 0;
  /// Puts an image on the clipboard; false when the clipboard is busy.
  virtual bool CopyImageToClipboard(const RgbImage& image) = 0;
  /// Runs a modal dialog: the procedure gets Init, then the user's events,
  /// until it closes the dialog. Returns the result it closed with.
  virtual int RunDialog(const DialogTemplate& dialog, const DialogProcedure& procedure) = 0;
  /// The system the program runs on, as About shows it ("Linux, Qt 6.4.2").
  virtual std::string PlatformDescription() const;
  /// Progress of a long file operation, fraction 0..1.
  virtual void ReportProgress(const std::string& what, double fraction) {
    (void)what;
    (void)fraction;
  }
};

/// Shows "<text> failed with error <err>: <system message>" captioned "Error".
/// The caller then stops the operation and keeps what it had.
void ReportSystemError(Platform& host, const std::string& text, int err);

/// A message box with the program's caption "Zorvan" and an OK button.
void ShowMessage(Platform& host, const std::string& text, MsgIcon icon = MsgIcon::Information);
