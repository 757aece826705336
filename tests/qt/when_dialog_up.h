#pragma once
// Runs a script against the template dialog a test is about to open, once that
// dialog is up and showing (its event loop then runs the script).
#include <QApplication>
#include <QTimer>
#include <functional>

#include "platform/qt/qt_dialog.h"

inline void WhenUp(std::function<void(QtDialogView*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    auto* dialog = qobject_cast<QtDialogView*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    action(dialog);
  });
  timer->start();
}
