#include "platform/qt/desktop.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "platform/qt/main_window.h"
#include "platform/qt/qimage_surface.h"

int RunDesktop(const std::string& file) {
  // Start-up makes the working directory current: a relative path must not depend on it.
  std::string path;
  if (!file.empty()) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    path = ec ? file : absolute.string();
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::cerr << "zorvan: no display to show the window on; give a command (see zorvan --help)\n";
    return 1;
  }
  EnsureQtGui();
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") QIcon::setThemeName("Adwaita");
  MainWindow window;
  window.show();
  if (!path.empty()) QTimer::singleShot(0, &window, [&window, path] { window.OpenAtStart(path); });
  return QApplication::exec();
}
