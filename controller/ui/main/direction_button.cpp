#include "ui/main/direction_button.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

#include "core/engine/private_messages.h"
#include "core/link/library_call.h"
#include "ui/common/bitmaps.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"

namespace qtr90x {

namespace {

enum Image { kNormal, kPressed, kFocused, kDisabled };

}  // namespace

DirectionButton::DirectionButton(QWidget* parent) : QPushButton(parent) {
  replacement_ = palette().color(QPalette::Button).rgb();
}

DirectionButton::~DirectionButton() {
  if (moving_) {
    SendStop();
  }
}

void DirectionButton::SetControl(int controlId, const QString& caption) {
  move_ = FindDirectionMove(controlId);
  setObjectName(QString::number(controlId));
  setProperty("controlId", controlId);
  setText(caption);
  QString name = caption;
  name.replace(QStringLiteral("&&"), QStringLiteral("&"));
  setAccessibleName(name);
  setToolTip(name);
}

void DirectionButton::SetKeyColour(QRgb key) {
  key_ = key;
  replacement_ = palette().color(QPalette::Button).rgb();
}

bool DirectionButton::LoadBitmaps(int normal, int pressed, int focused, int disabled) {
  const int ids[4] = {normal, pressed, focused, disabled};
  QImage loaded[4];
  for (int i = 0; i < 4; ++i) {
    if (i > 0 && ids[i] == 0) {
      continue;
    }
    const QImage image = LoadBitmapImage(ids[i]);
    if (image.isNull()) {
      for (QImage& each : images_) {
        each = QImage();
      }
      return false;
    }
    loaded[i] = ReplaceKeyColour(image, key_, replacement_);
  }
  for (int i = 0; i < 4; ++i) {
    images_[i] = loaded[i];
  }
  updateGeometry();
  update();
  return true;
}

QSize DirectionButton::sizeHint() const {
  // The bitmap's own size, whichever drawing of it (1x or 2x) is loaded.
  return images_[kNormal].isNull() ? QPushButton::sizeHint()
                                   : images_[kNormal].deviceIndependentSize().toSize();
}

namespace {

// The library call of a move code: the pad pans and tilts, Tele and Wide
// zoom, Near and Far drive the focus.
LibraryFunction MoveFunction(MoveCall call) {
  switch (call) {
    case MoveCall::kZooming:
      return LibraryFunction::kQzSetZooming;
    case MoveCall::kFocusMode:
      return LibraryFunction::kQzSetFocusMode;
    case MoveCall::kPanTilt:
    case MoveCall::kNone:
      break;
  }
  return LibraryFunction::kQzSetPanTilt2;
}

}  // namespace

void DirectionButton::SendStart() {
  if (!move_ || move_->call == MoveCall::kNone || host_ == nullptr) {
    return;
  }
  host_->SendCommand(
      MakeCall(MoveFunction(move_->call), host_->SelectedCamera(), move_->startCode));
  moving_ = true;
}

void DirectionButton::SendStop() {
  moving_ = false;
  if (!move_ || move_->call == MoveCall::kNone || host_ == nullptr) {
    return;
  }
  host_->SendCommand(MakeCall(MoveFunction(move_->call), host_->SelectedCamera(), move_->stopCode));
}

void DirectionButton::EndInching() {
  inching_ = false;
  setDown(false);
  if (host_ != nullptr) {
    PostMessageFrom(this, host_->MainWindow(), um::kInchStop, 0, static_cast<int>(move_->kind));
  }
}

void DirectionButton::StopIfMoving() {
  // Restoring the speed is the main dialog's part of inching; the move
  // itself is stopped here at once, and a late UM_MOVEGO finds nothing to do.
  if (inching_) {
    EndInching();
  }
  if (moving_) {
    SendStop();
  }
  setDown(false);
}

bool DirectionButton::event(QEvent* e) {
  if (e->type() == static_cast<QEvent::Type>(um::kMoveGo)) {
    const auto* message = static_cast<MessageEvent*>(e);
    if (message->LParam() != 0) {
      if (inching_ && !moving_) {
        SendStart();
      }
    } else if (moving_) {
      SendStop();
    }
    return true;
  }
  return QPushButton::event(e);
}

void DirectionButton::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    SendStart();
    QPushButton::mousePressEvent(e);
    return;
  }
  if (e->button() == Qt::RightButton) {
    e->accept();
    if (!move_ || !AllowsInching(move_->kind) || inching_ || moving_) {
      return;  // Near, Far and Home ignore the right button
    }
    setDown(true);
    setFocus(Qt::MouseFocusReason);
    inching_ = true;
    if (host_ != nullptr) {
      PostMessageFrom(this, host_->MainWindow(), um::kInchStart, 0, static_cast<int>(move_->kind));
    }
    return;
  }
  QPushButton::mousePressEvent(e);
}

void DirectionButton::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    // Every left release stops, also on a button that is inching: the
    // camera is never left moving. With the right button still held, only
    // a UM_MOVEGO start still to come moves it again.
    if (moving_) {
      SendStop();
    }
    QPushButton::mouseReleaseEvent(e);
    return;
  }
  if (e->button() == Qt::RightButton) {
    e->accept();
    if (inching_) {
      EndInching();
    }
    return;
  }
  QPushButton::mouseReleaseEvent(e);
}

void DirectionButton::focusOutEvent(QFocusEvent* e) {
  StopIfMoving();
  QPushButton::focusOutEvent(e);
}

void DirectionButton::hideEvent(QHideEvent* e) {
  StopIfMoving();
  QPushButton::hideEvent(e);
}

void DirectionButton::changeEvent(QEvent* e) {
  if ((e->type() == QEvent::EnabledChange && !isEnabled()) ||
      (e->type() == QEvent::ActivationChange && !isActiveWindow())) {
    StopIfMoving();
  }
  if (e->type() == QEvent::PaletteChange) {
    replacement_ = palette().color(QPalette::Button).rgb();
  }
  QPushButton::changeEvent(e);
}

void DirectionButton::contextMenuEvent(QContextMenuEvent* e) {
  e->accept();
}

void DirectionButton::paintEvent(QPaintEvent* e) {
  if (images_[kNormal].isNull()) {
    QPushButton::paintEvent(e);
    return;
  }
  int which = kNormal;
  if (!isEnabled()) {
    which = kDisabled;
  } else if (isDown()) {
    which = kPressed;
  } else if (hasFocus()) {
    which = kFocused;
  }
  if (images_[which].isNull()) {
    which = kNormal;
  }
  const QImage& image = images_[which];
  QPainter painter(this);
  painter.fillRect(rect(), QColor::fromRgb(replacement_));
  const QSize size = image.deviceIndependentSize().toSize();
  painter.drawImage((width() - size.width()) / 2, (height() - size.height()) / 2, image);
}

}  // namespace qtr90x
