#include "platform/qt/qt_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Width of a line edit that shows chars digits, or text, whole.
constexpr int kFieldMargins = 16;  // frame and text margins of a line edit
constexpr int kMaxFieldWidth = 640;
int FieldWidth(const QWidget* edit, int chars) {
  return edit->fontMetrics().horizontalAdvance(QString(chars, QChar('0'))) + kFieldMargins;
}
int FieldWidth(const QWidget* edit, const QString& text) {
  return std::min(kMaxFieldWidth, edit->fontMetrics().horizontalAdvance(text.trimmed()) + kFieldMargins);
}

bool HasLabelBeside(ControlKind kind) {
  return kind == ControlKind::Edit || kind == ControlKind::ReadOnly || kind == ControlKind::Combo ||
         kind == ControlKind::Spin;
}

}  // namespace

QtDialogView::QtDialogView(QWidget* parent, const DialogTemplate& dialog, const DialogProcedure& procedure)
    : QDialog(parent), procedure_(procedure) {
  setWindowTitle(Q(dialog.title));
  auto* outer = new QVBoxLayout(this);
  // Controls of one group share a titled box; ungrouped runs of controls a plain grid.
  std::map<std::string, QGridLayout*> groups;
  QGridLayout* plain = nullptr;
  std::string previousGroup = "\x01";
  // An edit with an up-down buddy becomes one spin box, placed where the edit is.
  for (const ControlTemplate& c : dialog.controls)
    if (c.kind == ControlKind::Spin && c.buddy != 0) spinOfEdit_[c.buddy] = c.id;
  for (const ControlTemplate& c : dialog.controls) {
    if (c.kind == ControlKind::Spin && c.buddy != 0) continue;
    QGridLayout* grid = nullptr;
    if (c.group.empty()) {
      if (previousGroup != "" || !plain) {
        plain = new QGridLayout;
        outer->addLayout(plain);
      }
      grid = plain;
    } else {
      auto it = groups.find(c.group);
      if (it == groups.end()) {
        auto* box = new QGroupBox(Q(c.group), this);
        grid = new QGridLayout(box);
        outer->addWidget(box);
        groups[c.group] = grid;
      } else {
        grid = it->second;
      }
    }
    previousGroup = c.group;
    QWidget* w = Build(c);
    if (HasLabelBeside(c.kind)) {
      auto* label = new QLabel(Q(c.label), this);
      label->setBuddy(w);
      grid->addWidget(label, c.row, 2 * c.column);
      grid->addWidget(w, c.row, 2 * c.column + 1);
      if (c.id != 0) controls_[c.id].label = label;
    } else {
      grid->addWidget(w, c.row, 2 * c.column, 1, 2);
    }
  }
}

QWidget* QtDialogView::Build(const ControlTemplate& c) {
  QWidget* w = nullptr;
  const int id = c.id;
  switch (c.kind) {
    case ControlKind::Label: w = new QLabel(Q(c.label), this); break;
    case ControlKind::Edit:
    case ControlKind::ReadOnly: {
      auto buddy = spinOfEdit_.find(id);
      if (buddy != spinOfEdit_.end()) {
        const int spinId = buddy->second;
        auto* spin = new QSpinBox(this);
        spin->setKeyboardTracking(false);  // a typed number counts when confirmed, not per digit
        spin->setAlignment(Qt::AlignRight);
        connect(spin, &QSpinBox::valueChanged, this, [this, spinId] { Deliver(DialogEvent::SpinChanged, spinId); });
        controls_[spinId].kind = ControlKind::Spin;
        controls_[spinId].widget = spin;
        w = spin;
        break;
      }
      auto* edit = new QLineEdit(this);
      if (c.chars > 0) edit->setMinimumWidth(FieldWidth(edit, c.chars));
      edit->setReadOnly(c.kind == ControlKind::ReadOnly);
      edit->installEventFilter(this);
      connect(edit, &QLineEdit::textEdited, this, [this, id] { Deliver(DialogEvent::TextChanged, id); });
      w = edit;
      break;
    }
    case ControlKind::Check: {
      auto* box = new QCheckBox(Q(c.label), this);
      connect(box, &QCheckBox::clicked, this, [this, id] { Deliver(DialogEvent::Clicked, id); });
      w = box;
      break;
    }
    case ControlKind::Radio: {
      auto* radio = new QRadioButton(Q(c.label), this);
      connect(radio, &QRadioButton::clicked, this, [this, id] { Deliver(DialogEvent::Clicked, id); });
      w = radio;
      break;
    }
    case ControlKind::Combo: {
      auto* combo = new QComboBox(this);
      connect(combo, &QComboBox::activated, this, [this, id] { Deliver(DialogEvent::SelectionChanged, id); });
      w = combo;
      break;
    }
    case ControlKind::Spin: {
      auto* spin = new QSpinBox(this);
      connect(spin, &QSpinBox::valueChanged, this, [this, id] { Deliver(DialogEvent::SpinChanged, id); });
      w = spin;
      break;
    }
    case ControlKind::Button: {
      auto* button = new QPushButton(Q(c.label), this);
      button->setAutoDefault(id == kIdOk);
      button->setDefault(id == kIdOk);
      connect(button, &QPushButton::clicked, this, [this, id] {
        Deliver(DialogEvent::Clicked, id);
        // A dialog without a procedure closes on OK and Cancel by itself.
        if (!closed_ && !procedure_ && (id == kIdOk || id == kIdCancel)) Close(id);
      });
      w = button;
      break;
    }
  }
  if (id != 0) {
    controls_[id].kind = c.kind;
    controls_[id].widget = w;
    controls_[id].showEnd = c.showEnd;
  }
  return w;
}

int QtDialogView::Run() {
  Deliver(DialogEvent::Init, 0);
  if (!closed_) exec();
  return result_;
}

QWidget* QtDialogView::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second.widget;
}

void QtDialogView::Deliver(DialogEvent event, int id) {
  if (!closed_ && procedure_) procedure_(*this, DialogMessage{event, id});
}

bool QtDialogView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    for (const auto& [id, entry] : controls_)
      if (entry.widget == watched) Deliver(DialogEvent::FocusGained, id);
  } else if (event->type() == QEvent::FocusOut) {
    // Leaving the field, not the window: a message box or another window taking the focus is no edit finished.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
      for (const auto& [id, entry] : controls_)
        if (entry.widget == watched && entry.kind == ControlKind::Edit) Deliver(DialogEvent::EditFinished, id);
  }
  return QDialog::eventFilter(watched, event);
}

void QtDialogView::reject() {
  // Escape and the window's close button act as Cancel.
  Deliver(DialogEvent::Clicked, kIdCancel);
  if (!closed_) Close(kIdCancel);
}

std::string QtDialogView::GetText(int id) {
  QWidget* w = Control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText().toStdString();
  if (auto* spin = qobject_cast<QSpinBox*>(w)) return std::to_string(spin->value());
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdString();
  return {};
}

void QtDialogView::SetText(int id, const std::string& text) {
  QWidget* w = Control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(Q(text));
    const bool showEnd = controls_.count(id) && controls_[id].showEnd;
    edit->setCursorPosition(showEnd ? static_cast<int>(edit->text().size()) : 0);
    if (showEnd) edit->setToolTip(Q(text));
    // A field the user cannot change shows all of what it holds.
    if (edit->isReadOnly()) edit->setMinimumWidth(std::max(edit->minimumWidth(), FieldWidth(edit, Q(text))));
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    QSignalBlocker block(combo);
    combo->setCurrentIndex(combo->findText(Q(text)));
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(Q(text));
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(Q(text));
  } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
    QSignalBlocker block(spin);
    spin->setValue(std::atoi(text.c_str()));
  }
}

bool QtDialogView::GetCheck(int id) {
  auto* button = qobject_cast<QAbstractButton*>(Control(id));
  return button && button->isChecked();
}

void QtDialogView::SetCheck(int id, bool checked) {
  if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) {
    QSignalBlocker block(button);
    button->setChecked(checked);
  }
}

void QtDialogView::SetComboItems(int id, const std::vector<std::string>& items) {
  if (auto* combo = qobject_cast<QComboBox*>(Control(id))) {
    QSignalBlocker block(combo);
    combo->clear();
    for (const std::string& item : items) combo->addItem(Q(item));
    combo->setCurrentIndex(-1);
  }
}

int QtDialogView::GetComboSelection(int id) {
  auto* combo = qobject_cast<QComboBox*>(Control(id));
  return combo ? combo->currentIndex() : -1;
}

void QtDialogView::SetComboSelection(int id, int index) {
  if (auto* combo = qobject_cast<QComboBox*>(Control(id))) {
    QSignalBlocker block(combo);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
  }
}

void QtDialogView::SetSpinRange(int id, int low, int high) {
  if (auto* spin = qobject_cast<QSpinBox*>(Control(id))) {
    QSignalBlocker block(spin);
    spin->setRange(std::min(low, high), std::max(low, high));
  }
}

int QtDialogView::GetSpinPosition(int id) {
  auto* spin = qobject_cast<QSpinBox*>(Control(id));
  return spin ? spin->value() : 0;
}

void QtDialogView::SetSpinPosition(int id, int position) {
  if (auto* spin = qobject_cast<QSpinBox*>(Control(id))) {
    QSignalBlocker block(spin);
    spin->setValue(position);
  }
}

void QtDialogView::Enable(int id, bool enabled) {
  auto it = controls_.find(id);
  if (it == controls_.end()) return;
  if (it->second.widget) it->second.widget->setEnabled(enabled);
  if (it->second.label) it->second.label->setEnabled(enabled);
}

void QtDialogView::Close(int result) {
  closed_ = true;
  result_ = result;
  done(result);
}

int RunQtDialog(QWidget* parent, const DialogTemplate& dialog, const DialogProcedure& procedure) {
  QtDialogView view(parent, dialog, procedure);
  return view.Run();
}
