#pragma once
// A dialog without a window: control states in memory, driven by a script
// that types, clicks and selects as a user would, each action reaching the
// dialog's procedure as the Qt dialog would deliver it.

#include <map>
#include <string>
#include <vector>

#include "dialogs/dialog.h"

class HeadlessDialog : public DialogView {
 public:
  HeadlessDialog(const DialogTemplate& dialog, const DialogProcedure& procedure);

  // DialogView
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

  // The user's actions. Each is ignored once the dialog is closed.
  void Type(int id, const std::string& text);  // focus, replace the text, TextChanged, leave (EditFinished)
  void Click(int id);                          // toggles a check box, selects a radio, Clicked
  void Select(int id, int index);              // SelectionChanged
  void Spin(int id, int position);             // clamps into the range, SpinChanged
  void Ok() { Click(kIdOk); }
  void Cancel() { Click(kIdCancel); }

  bool closed() const { return closed_; }
  int result() const { return result_; }
  bool IsEnabled(int id) const;
  std::vector<std::string> ComboItems(int id) const;
  const DialogTemplate& dialogTemplate() const { return template_; }
  /// Whether the template has a control with this id.
  bool Has(int id) const;

 private:
  struct Control {
    ControlKind kind = ControlKind::Label;
    std::string group;
    std::string text;
    bool checked = false;
    bool enabled = true;
    std::vector<std::string> items;
    int selection = -1;
    int low = 0, high = 100, position = 0;
  };
  Control& At(int id);
  void Deliver(DialogEvent event, int id);

  DialogTemplate template_;
  DialogProcedure procedure_;
  std::map<int, Control> controls_;
  bool closed_ = false;
  int result_ = kIdCancel;
};
