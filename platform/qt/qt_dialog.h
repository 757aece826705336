#pragma once
// One Qt dialog for every dialog template: it lays the controls out by group,
// row and column, and forwards the user's actions to the dialog's procedure,
// which reads and writes the controls through the DialogView interface.

#include <QDialog>
#include <map>

#include "dialogs/dialog.h"

class QLabel;

class QtDialogView : public QDialog, public DialogView {
  Q_OBJECT

 public:
  QtDialogView(QWidget* parent, const DialogTemplate& dialog, const DialogProcedure& procedure);

  /// Sends Init, shows the dialog modally until the procedure closes it and
  /// returns the result it closed with.
  int Run();
  /// The widget of a control, for tests.
  QWidget* Control(int id) const;

  std::string GetText(int id) override;
  void SetText(int id, const std::string& text) override;
  bool GetCheck(int id) override;
  void SetCheck(int id, bool checked) override;
  void SetComboItems(int id, const std::vector<std::string>& items) override;
  int GetComboSelection(int id) override;
  void SetComboSelection(int id, int index) override;
  void SetSpinRange(int id, int low, int high) override;
  int GetSpinPosition(int id) override;
  void SetSpinPosition(int id, int position) override;
  void Enable(int id, bool enabled) override;
  void Close(int result) override;

 protected:
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Entry {
    ControlKind kind = ControlKind::Label;
    QWidget* widget = nullptr;
    QLabel* label = nullptr;  // the text beside an edit, combo or spin
    bool showEnd = false;     // a long text is scrolled to its end
  };
  QWidget* Build(const ControlTemplate& c);
  void Deliver(DialogEvent event, int id);

  DialogProcedure procedure_;
  std::map<int, Entry> controls_;
  std::map<int, int> spinOfEdit_;  // edit id -> id of the up-down control drawn into it
  bool closed_ = false;
  int result_ = kIdCancel;
};

/// Runs a dialog template with its procedure over parent.
int RunQtDialog(QWidget* parent, const DialogTemplate& dialog, const DialogProcedure& procedure);
