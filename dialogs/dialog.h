#pragma once
// The dialog layer: a dialog is a template (its controls) plus a procedure
// that reacts to events through a small view interface. The Qt host renders
// templates; the headless host runs procedures from a script, so every rule of
// a dialog runs in tests without a display.

#include <functional>
#include <string>
#include <vector>

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

enum class ControlKind {
  Label,     // static text
  Edit,      // one-line text
  ReadOnly,  // text the user cannot change
  Check,     // check box
  Radio,     // radio button; radios of one group exclude each other
  Combo,     // drop-down list
  Spin,      // up-down control with an integer position
  Button,    // push button (OK and Cancel are buttons with kIdOk, kIdCancel)
};

struct ControlTemplate {
  int id = 0;  // 0 for labels nobody addresses
  ControlKind kind = ControlKind::Label;
  std::string label;  // caption; for an edit, combo or spin the text of the label beside it
  std::string group;  // the titled group box it sits in ("" for none)
  int row = 0;        // layout cell within its group
  int column = 0;
  int buddy = 0;         // for a spin control: the edit showing its number; both are drawn as one spin box
  int chars = 0;         // for an edit: characters it must show whole (0: as the layout gives)
  bool showEnd = false;  // a text wider than its field shows its end (a path its file name)
};

struct DialogTemplate {
  int id = 0;
  std::string title;
  std::vector<ControlTemplate> controls;
};

enum class DialogEvent {
  Init,              // before the dialog shows
  Clicked,           // a button, check box or radio button was clicked (check state already changed)
  TextChanged,       // the user changed an edit's text
  SelectionChanged,  // a combo's selection changed
  SpinChanged,       // a spin control's position changed
  FocusGained,       // an edit got the keyboard focus (the user clicked into it)
  EditFinished,      // the user left an edit (after FocusGained and any TextChanged)
};

struct DialogMessage {
  DialogEvent event = DialogEvent::Init;
  int controlId = 0;
};

/// What a dialog procedure sees of its dialog.
class DialogView {
 public:
  virtual ~DialogView() = default;
  virtual std::string GetText(int id) = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual bool GetCheck(int id) = 0;
  virtual void SetCheck(int id, bool checked) = 0;
  virtual void SetComboItems(int id, const std::vector<std::string>& items) = 0;
  virtual int GetComboSelection(int id) = 0;  // -1 when none
  virtual void SetComboSelection(int id, int index) = 0;
  virtual void SetSpinRange(int id, int low, int high) = 0;
  virtual int GetSpinPosition(int id) = 0;
  virtual void SetSpinPosition(int id, int position) = 0;
  virtual void Enable(int id, bool enabled) = 0;
  /// Ends the dialog; RunDialog returns result.
  virtual void Close(int result) = 0;
};

using DialogProcedure = std::function<void(DialogView& view, const DialogMessage& message)>;
