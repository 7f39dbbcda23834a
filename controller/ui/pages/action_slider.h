// Horizontal slider that sends its value only when the operator lets go of
// it: on the release of the left button after a press on it, and on the
// release of an arrow key. Dragging, paging, Home/End, the wheel and a
// refresh send nothing, so the line carries one command per operator move.
#pragma once

#include <QSlider>
#include <QTimer>

namespace qtr90x {

class ActionSlider : public QSlider {
  Q_OBJECT

 public:
  explicit ActionSlider(QWidget* parent = nullptr);

  // The last camera value the slider sent or was refreshed to (the shutter
  // slider's blocking rule needs it).
  int LastValue() const { return lastValue_; }
  void SetLastValue(int value) { lastValue_ = value; }

  // Horizontal centre of the thumb at `value`, in the slider's coordinates.
  int ThumbCentreX(int value) const;

 signals:
  // Every release sends, also when the position has not changed.
  void Released(int position);

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;

 private:
  // An arrow key's release sends only when no press of it follows at once:
  // a held key's repeats come as release and press pairs, with or without
  // the auto-repeat flag, depending on how the window system delivers them.
  static constexpr int kRepeatGapMs = 30;
  QTimer arrowRelease_;
  int arrowKey_ = 0;
  bool leftPressed_ = false;
  int lastValue_ = 0;
};

}  // namespace qtr90x
