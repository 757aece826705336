#include "platform/qt/file_dialogs.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

const char* const kOpenDialogName = "ZorvanOpenDialog";
const char* const kRecordsPerPlotFieldName = "RecordsPerPlot";

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// "Qor files(*.bin)" carries its pattern in parentheses, as Qt reads name filters.
QStringList NameFilters(const std::vector<FileFilter>& filters) {
  QStringList out;
  for (const FileFilter& f : filters) {
    QString label = Q(f.label);
    if (!label.contains('(')) label += " (" + Q(f.pattern) + ")";
    out << label;
  }
  return out;
}

void Prepare(QFileDialog& dialog, const std::vector<FileFilter>& filters, const std::string& initialDir) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setNameFilters(NameFilters(filters));
  if (!initialDir.empty()) dialog.setDirectory(Q(initialDir));
}

}  // namespace

std::optional<OpenFileAnswer> RunOpenFileDialog(QWidget* parent, const OpenFileRequest& request) {
  QFileDialog dialog(parent, "Open");
  dialog.setObjectName(kOpenDialogName);
  Prepare(dialog, request.filters, request.initialDir);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // The number of records joined into one plot is chosen with the file.
  auto* field = new QLineEdit(Q(request.recordsPerPlotText), &dialog);
  field->setObjectName(kRecordsPerPlotFieldName);
  field->setValidator(new QIntValidator(1, 1000000, field));
  auto* label = new QLabel("Records/Plot", &dialog);
  label->setBuddy(field);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    int row = grid->rowCount();
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return OpenFileAnswer{dialog.selectedFiles().front().toStdString(), field->text().toStdString()};
}

std::vector<std::string> RunOpenFilesDialog(QWidget* parent, const std::vector<FileFilter>& filters,
                                            const std::string& initialDir) {
  QFileDialog dialog(parent, "Open");
  Prepare(dialog, filters, initialDir);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  std::vector<std::string> out;
  if (dialog.exec() != QDialog::Accepted) return out;
  for (const QString& f : dialog.selectedFiles()) out.push_back(f.toStdString());
  return out;
}

std::optional<std::string> RunSaveFileDialog(QWidget* parent, const std::vector<FileFilter>& filters,
                                             const std::string& initialDir, const std::string& suggestedName) {
  QFileDialog dialog(parent, "Save As");
  Prepare(dialog, filters, initialDir);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (!suggestedName.empty()) dialog.selectFile(Q(suggestedName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}
