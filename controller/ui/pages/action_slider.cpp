#include "ui/pages/action_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

namespace qtr90x {

namespace {

bool IsArrowKey(int key) {
  return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

}  // namespace

ActionSlider::ActionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setFocusPolicy(Qt::StrongFocus);
  arrowRelease_.setSingleShot(true);
  arrowRelease_.setInterval(kRepeatGapMs);
  connect(&arrowRelease_, &QTimer::timeout, this, [this] { emit Released(sliderPosition()); });
}

int ActionSlider::ThumbCentreX(int value) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  const QRect handle =
      style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  const int span = groove.width() - handle.width();
  return groove.x() + handle.width() / 2 +
         QStyle::sliderPositionFromValue(minimum(), maximum(), value, span);
}

void ActionSlider::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    leftPressed_ = true;
  }
  QSlider::mousePressEvent(e);
}

void ActionSlider::mouseReleaseEvent(QMouseEvent* e) {
  QSlider::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && leftPressed_) {
    leftPressed_ = false;
    emit Released(sliderPosition());
  }
}

void ActionSlider::keyPressEvent(QKeyEvent* e) {
  // A press right after the release of the same arrow key is its repeat:
  // the key is still held.
  if (IsArrowKey(e->key()) && e->key() == arrowKey_) {
    arrowRelease_.stop();
  }
  QSlider::keyPressEvent(e);
}

void ActionSlider::keyReleaseEvent(QKeyEvent* e) {
  if (!IsArrowKey(e->key())) {
    QSlider::keyReleaseEvent(e);
    return;
  }
  // Only the last release of a held key sends, or it would flood the line.
  if (!e->isAutoRepeat()) {
    arrowKey_ = e->key();
    arrowRelease_.start();
  }
  e->accept();
}

}  // namespace qtr90x
