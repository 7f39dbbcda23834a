// About box: the application icon, the version text and OK.
#pragma once

#include <QDialog>

class QAction;

namespace qtr90x {

class AboutBox : public QDialog {
 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

// The version entry that the window's system menu carries on Windows. A Linux
// window manager owns that menu, so the entry goes into the window's own
// context menu (a right click on a free part of the window) with Alt+A, and
// opens the About box. Returns the entry.
QAction* InstallVersionInfoEntry(QWidget* window);

}  // namespace qtr90x
