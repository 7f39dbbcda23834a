// How the desktop knows the application: the name of its menu entry and its
// icon.
#pragma once

#include <QIcon>

namespace qtr90x {

// The application's id on the desktop (QZ_APP_ID of the build): its menu
// entry is <id>.desktop and its icon in the icon theme is <id>.
const char* DesktopId();

// The application's icon: the installed theme icon of that name, else the
// dialog's icon bitmap at 1x and 2x.
QIcon ApplicationIcon();

// Gives Qt the desktop file name (so that Wayland compositors and X docks
// match the windows to the menu entry) and the window icon of every window.
void ApplyDesktopIdentity();

}  // namespace qtr90x
