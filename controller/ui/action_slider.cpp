#include "ui/action_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

namespace qtr90x {

ActionSlider::ActionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setFocusPolicy(Qt::StrongFocus);
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

void ActionSlider::keyReleaseEvent(QKeyEvent* e) {
  // A held key repeats its release too; only the real release sends, or a
  // held arrow key would flood the line.
  switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (!e->isAutoRepeat()) {
        emit Released(sliderPosition());
      }
      e->accept();
      return;
    default:
      QSlider::keyReleaseEvent(e);
  }
}

}  // namespace qtr90x
