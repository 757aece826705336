#pragma once
// The Qt desktop program and Qt drawing surface, for the command line.

/// Installs the desktop program and the PNG renderer of the Qt build.
void InstallQtFrontEnd();
