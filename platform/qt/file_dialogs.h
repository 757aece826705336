#pragma once
// The file dialogs of the window: the open dialog with its "Records/Plot"
// field, the multiple-selection open dialog and the save dialog.

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

class QWidget;

/// Object names of the open dialog and of its "Records/Plot" field, for tests.
extern const char* const kOpenDialogName;
extern const char* const kRecordsPerPlotFieldName;

std::optional<OpenFileAnswer> RunOpenFileDialog(QWidget* parent, const OpenFileRequest& request);
std::vector<std::string> RunOpenFilesDialog(QWidget* parent, const std::vector<FileFilter>& filters,
                                            const std::string& initialDir, const std::string& title = "Open");
std::optional<std::string> RunSaveFileDialog(QWidget* parent, const std::vector<FileFilter>& filters,
                                             const std::string& initialDir, const std::string& suggestedName);
