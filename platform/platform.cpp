#include "platform/platform.h"

#include <sys/utsname.h>

#include <cstring>

std::vector<FileFilter> RecorderFileFilters() { return {{"Qor files(*.bin)", "*.bin"}, {"All Files(*.*)", "*.*"}}; }

void ReportSystemError(Platform& host, const std::string& text, int err) {
  std::string message = text + " failed with error " + std::to_string(err) + ": " + std::strerror(err);
  host.MessageBox(message, "Error", MsgButtons::Ok, MsgIcon::Error);
}

void ShowMessage(Platform& host, const std::string& text, MsgIcon icon) {
  host.MessageBox(text, "Zorvan", MsgButtons::Ok, icon);
}

std::string Platform::PlatformDescription() const {
  utsname name{};
  return uname(&name) == 0 ? std::string(name.sysname) : std::string("Unknown system");
}
