#include "platform/qt/file_dialogs.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>
#include <QTimer>
#include <QTreeView>

#include "dialogs/field_check.h"

const char* const kOpenDialogName = "ZorvanOpenDialog";
const char* const kRecordsPerPlotFieldName = "RecordsPerPlot";

namespace {

constexpr int kFileDialogWidth = 960;
constexpr int kFileDialogHeight = 600;

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

// The dialog opens at a useful size, as a list with its columns readable.
void Prepare(QFileDialog& dialog, const std::vector<FileFilter>& filters, const std::string& initialDir) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setNameFilters(NameFilters(filters));
  if (!initialDir.empty()) dialog.setDirectory(Q(initialDir));
  dialog.setViewMode(QFileDialog::Detail);
  QSize size(kFileDialogWidth, kFileDialogHeight);
  if (QScreen* screen = dialog.screen()) size = size.boundedTo(screen->availableGeometry().size() * 0.9);
  dialog.resize(size);
  if (auto* tree = dialog.findChild<QTreeView*>("treeView")) {
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(header->fontMetrics().horizontalAdvance("Date Modified") + 24);
    header->resizeSection(0, size.width() * 2 / 5);
    for (int column = 1; column < header->count(); ++column)
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
}

// The open dialog checks "Records/Plot" before it accepts a file: a value
// that is not a page size is refused, and the field gets its last good value.
class OpenDialog : public QFileDialog {
 public:
  explicit OpenDialog(QWidget* parent) : QFileDialog(parent, "Open") {}
  void SetField(QLineEdit* field) {
    field_ = field;
    accepted_ = field->text();
    connect(field, &QLineEdit::editingFinished, this, [this] {
      // Return in the field also reaches the dialog's default button: a refusal keeps it open.
      if (!CheckField()) {
        refusedNow_ = true;
        QTimer::singleShot(0, this, [this] { refusedNow_ = false; });
      }
    });
  }
  void accept() override {
    if (refusedNow_ || (field_ && !CheckField())) return;
    QFileDialog::accept();
  }

 private:
  bool CheckField() {
    if (checking_) return true;
    if (CheckedNumber(field_->text().toStdString(), RecordsPerPlotRule())) {
      accepted_ = field_->text();
      return true;
    }
    checking_ = true;
    field_->setText(accepted_);
    QMessageBox::warning(this, "Zorvan", Q(RefusalText(RecordsPerPlotRule())));
    checking_ = false;
    return false;
  }
  QLineEdit* field_ = nullptr;
  QString accepted_;
  bool checking_ = false;
  bool refusedNow_ = false;
};

}  // namespace

std::optional<OpenFileAnswer> RunOpenFileDialog(QWidget* parent, const OpenFileRequest& request) {
  OpenDialog dialog(parent);
  dialog.setObjectName(kOpenDialogName);
  Prepare(dialog, request.filters, request.initialDir);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // The number of records joined into one plot is chosen with the file.
  auto* field = new QLineEdit(Q(request.recordsPerPlotText), &dialog);
  field->setObjectName(kRecordsPerPlotFieldName);
  dialog.SetField(field);
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
                                            const std::string& initialDir, const std::string& title) {
  QFileDialog dialog(parent, Q(title));
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
