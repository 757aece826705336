#include "platform/headless/headless_platform.h"

#include <cmath>
#include <ostream>

MsgAnswer HeadlessPlatform::MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                                       MsgIcon icon) {
  messages.push_back({text, caption, buttons, icon});
  if (echo) *echo << caption << ": " << text << "\n";
  if (!messageAnswers.empty()) {
    MsgAnswer a = messageAnswers.front();
    messageAnswers.pop_front();
    return a;
  }
  return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgAnswer::Ok : MsgAnswer::Yes;
}

std::optional<OpenFileAnswer> HeadlessPlatform::OpenFileDialog(const OpenFileRequest& request) {
  openRequests.push_back(request);
  if (openAnswers.empty()) return std::nullopt;
  auto a = openAnswers.front();
  openAnswers.pop_front();
  return a;
}

std::vector<std::string> HeadlessPlatform::OpenFilesDialog(const std::vector<FileFilter>&, const std::string&,
                                                           const std::string& title) {
  openFilesTitles.push_back(title);
  if (openFilesAnswers.empty()) return {};
  auto a = openFilesAnswers.front();
  openFilesAnswers.pop_front();
  return a;
}

std::optional<std::string> HeadlessPlatform::SaveFileDialog(const std::vector<FileFilter>&, const std::string&,
                                                            const std::string&) {
  if (saveAnswers.empty()) return std::nullopt;
  auto a = saveAnswers.front();
  saveAnswers.pop_front();
  return a;
}

void HeadlessPlatform::SetStatusText(int part, const std::string& text) {
  if (part >= 0 && part < static_cast<int>(status.size())) status[static_cast<size_t>(part)] = text;
  statusHistory.emplace_back(part, text);
}

void HeadlessPlatform::SetButtonPressed(int commandId, bool isPressed) { pressed[commandId] = isPressed; }

void HeadlessPlatform::SetCursor(CursorShape shape) { cursor = shape; }

void HeadlessPlatform::InvalidatePlot(bool) { ++invalidations; }

bool HeadlessPlatform::CopyImageToClipboard(const RgbImage& image) {
  if (clipboardBusy) return false;
  clipboard = image;
  return true;
}

void HeadlessPlatform::ReportProgress(const std::string& what, double fraction) {
  if (echo && echoProgress) {
    *echo << "\r" << what << " " << static_cast<int>(std::lround(fraction * 100)) << "%";
    if (fraction >= 1.0) *echo << "\n";
    echo->flush();
  }
}

void HeadlessPlatform::AnswerOpen(const std::string& path, const std::string& recordsPerPlot) {
  openAnswers.push_back(OpenFileAnswer{path, recordsPerPlot});
}

std::vector<std::string> HeadlessPlatform::MessageTexts() const {
  std::vector<std::string> out;
  for (const auto& m : messages) out.push_back(m.text);
  return out;
}

int HeadlessPlatform::RunDialog(const DialogTemplate& dialog, const DialogProcedure& procedure) {
  dialogTitles.push_back(dialog.title);
  HeadlessDialog view(dialog, procedure);
  if (procedure) procedure(view, DialogMessage{DialogEvent::Init, 0});
  if (!dialogScripts.empty()) {
    auto script = dialogScripts.front();
    dialogScripts.pop_front();
    if (!view.closed()) script(view);
  }
  if (!view.closed()) view.Cancel();
  if (!view.closed()) view.Close(kIdCancel);
  return view.result();
}
