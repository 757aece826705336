#include "platform/headless/headless_dialog.h"

#include <algorithm>

HeadlessDialog::HeadlessDialog(const DialogTemplate& dialog, const DialogProcedure& procedure)
    : template_(dialog), procedure_(procedure) {
  for (const ControlTemplate& c : dialog.controls) {
    if (c.id == 0) continue;
    Control& control = controls_[c.id];
    control.kind = c.kind;
    control.group = c.group;
    if (c.kind == ControlKind::Label || c.kind == ControlKind::Button) control.text = c.label;
  }
}

HeadlessDialog::Control& HeadlessDialog::At(int id) { return controls_[id]; }

bool HeadlessDialog::Has(int id) const { return controls_.count(id) > 0; }

void HeadlessDialog::Deliver(DialogEvent event, int id) {
  if (!closed_ && procedure_) procedure_(*this, DialogMessage{event, id});
}

std::string HeadlessDialog::GetText(int id) {
  Control& c = At(id);
  if (c.kind == ControlKind::Combo)
    return c.selection >= 0 && c.selection < static_cast<int>(c.items.size())
               ? c.items[static_cast<size_t>(c.selection)]
               : c.text;
  if (c.kind == ControlKind::Spin) return std::to_string(c.position);
  return c.text;
}

void HeadlessDialog::SetText(int id, const std::string& text) {
  Control& c = At(id);
  c.text = text;
  if (c.kind == ControlKind::Combo) {
    auto it = std::find(c.items.begin(), c.items.end(), text);
    c.selection = it == c.items.end() ? -1 : static_cast<int>(it - c.items.begin());
  }
}

bool HeadlessDialog::GetCheck(int id) { return At(id).checked; }

void HeadlessDialog::SetCheck(int id, bool checked) {
  Control& c = At(id);
  c.checked = checked;
  if (checked && c.kind == ControlKind::Radio)
    for (auto& [otherId, other] : controls_)
      if (otherId != id && other.kind == ControlKind::Radio && other.group == c.group) other.checked = false;
}

void HeadlessDialog::SetComboItems(int id, const std::vector<std::string>& items) {
  Control& c = At(id);
  c.items = items;
  c.selection = -1;
}

int HeadlessDialog::GetComboSelection(int id) { return At(id).selection; }

void HeadlessDialog::SetComboSelection(int id, int index) {
  Control& c = At(id);
  c.selection = index >= 0 && index < static_cast<int>(c.items.size()) ? index : -1;
}

void HeadlessDialog::SetSpinRange(int id, int low, int high) {
  Control& c = At(id);
  c.low = std::min(low, high);
  c.high = std::max(low, high);
  c.position = std::clamp(c.position, c.low, c.high);
}

int HeadlessDialog::GetSpinPosition(int id) { return At(id).position; }

void HeadlessDialog::SetSpinPosition(int id, int position) {
  Control& c = At(id);
  c.position = std::clamp(position, c.low, c.high);
}

void HeadlessDialog::Enable(int id, bool enabled) { At(id).enabled = enabled; }

void HeadlessDialog::Close(int result) {
  closed_ = true;
  result_ = result;
}

void HeadlessDialog::Type(int id, const std::string& text) {
  if (closed_ || !At(id).enabled) return;
  Deliver(DialogEvent::FocusGained, id);
  At(id).text = text;
  Deliver(DialogEvent::TextChanged, id);
  Deliver(DialogEvent::EditFinished, id);
}

void HeadlessDialog::Click(int id) {
  if (closed_) return;
  Control& c = At(id);
  if (!c.enabled) return;
  if (c.kind == ControlKind::Check) c.checked = !c.checked;
  if (c.kind == ControlKind::Radio) SetCheck(id, true);
  Deliver(DialogEvent::Clicked, id);
  // A dialog without its own OK/Cancel handling closes on them as a platform dialog would.
  if (!closed_ && (id == kIdOk || id == kIdCancel) && c.kind == ControlKind::Button && !procedure_) Close(id);
}

void HeadlessDialog::Select(int id, int index) {
  if (closed_ || !At(id).enabled) return;
  SetComboSelection(id, index);
  Deliver(DialogEvent::SelectionChanged, id);
}

void HeadlessDialog::Spin(int id, int position) {
  if (closed_ || !At(id).enabled) return;
  SetSpinPosition(id, position);
  Deliver(DialogEvent::SpinChanged, id);
}

bool HeadlessDialog::IsEnabled(int id) const {
  auto it = controls_.find(id);
  return it != controls_.end() && it->second.enabled;
}

std::vector<std::string> HeadlessDialog::ComboItems(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? std::vector<std::string>{} : it->second.items;
}
