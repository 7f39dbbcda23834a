// Press-and-hold bitmap button of the pan/tilt pad, zoom and focus: sends a
// start command while held and a stop command when let go. The right button
// inches: the main dialog sets the slowest speed first and answers with
// UM_MOVEGO when the move may start or stop.
#pragma once

#include <QImage>
#include <QPushButton>
#include <optional>

#include "core/pages/direction_moves.h"

namespace qtr90x {

class PageHost;

class DirectionButton : public QPushButton {
 public:
  explicit DirectionButton(QWidget* parent = nullptr);
  ~DirectionButton() override;

  // The control id decides the move (none for Home). The caption becomes the
  // accessible name and the tooltip.
  void SetControl(int controlId, const QString& caption);
  void SetHost(PageHost* host) { host_ = host; }

  // The key colour of the bitmaps; the replacement is the button-face colour.
  void SetKeyColour(QRgb key);

  // Loads the four images by bitmap id (the last three optional, 0 for none)
  // and maps the key colour. False if the normal image or any other given
  // image cannot be loaded; the button is then left without images.
  virtual bool LoadBitmaps(int normal, int pressed = 0, int focused = 0, int disabled = 0);

  // Stops a move that this button started and has not stopped yet (the
  // session is about to close, or the button lost the mouse or the focus).
  void StopIfMoving();

  bool IsMoving() const { return moving_; }
  QSize sizeHint() const override;

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void changeEvent(QEvent* e) override;
  // The right button is inching here: no context menu of a parent may pop up
  // (it would take the focus and stop the move).
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  void SendStart();
  void SendStop();
  void EndInching();

  PageHost* host_ = nullptr;
  std::optional<DirectionMove> move_;
  QRgb key_ = qRgb(255, 0, 255);
  QRgb replacement_ = 0;
  QImage images_[4];      // normal, pressed, focused, disabled
  bool moving_ = false;   // a start went out and its stop has not
  bool inching_ = false;  // right button held: a UM_MOVEGO start is welcome
};

}  // namespace qtr90x
