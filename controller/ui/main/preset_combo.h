// The main dialog's preset list: shows a name too long for the list in a
// tooltip, and opens the Preset Name Settings dialog on a right press.
#pragma once

#include <QComboBox>

namespace qtr90x {

class PageHost;

class PresetCombo : public QComboBox {
 public:
  explicit PresetCombo(QWidget* parent = nullptr);

  void SetHost(PageHost* host) { host_ = host; }

 protected:
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  // The right button opens the Preset Name Settings dialog, no menu.
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  PageHost* host_ = nullptr;
};

}  // namespace qtr90x
