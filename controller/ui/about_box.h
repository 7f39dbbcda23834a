// About box: the application icon, the version text and OK.
#pragma once

#include <QDialog>

namespace qtr90x {

class AboutBox : public QDialog {
 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace qtr90x
