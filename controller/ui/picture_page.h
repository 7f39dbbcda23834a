// Picture tab page: exposure group and white balance.
#pragma once

#include <QWidget>

namespace qtr90x {

class PicturePage : public QWidget {
 public:
  explicit PicturePage(QWidget* parent = nullptr) : QWidget(parent) {}
};

}  // namespace qtr90x
