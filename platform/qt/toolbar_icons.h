#pragma once
// Icons of the 14 toolbar buttons and the zoom cursor: theme icons where the
// desktop has a fitting one, our own drawings for the rest and as fallbacks.

#include <QCursor>
#include <QIcon>

/// The icon of the toolbar button with command id 401..414.
QIcon ToolbarIcon(int commandId);
/// Our own drawing for the button, 24 x 24 pixels.
QPixmap DrawnToolbarIcon(int commandId);
/// The zoom cursor: a magnifier with its hot spot in the lens.
QCursor ZoomCursor();
