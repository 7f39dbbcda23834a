#include "ui/main/preset_combo.h"

#include <QContextMenuEvent>
#include <QMouseEvent>

#include "core/engine/private_messages.h"
#include "resources/control_ids.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"

namespace qtr90x {

PresetCombo::PresetCombo(QWidget* parent) : QComboBox(parent) {
  setObjectName(QString::number(ctl::kPresetCombo));
  setProperty("controlId", ctl::kPresetCombo);
  setAccessibleName(tr("Preset"));
  setMouseTracking(true);
}

void PresetCombo::mouseMoveEvent(QMouseEvent* e) {
  // The full name pops up only when the list is too narrow to show it.
  const QString text = currentText();
  setToolTip(fontMetrics().horizontalAdvance(text) > width() ? text : QString());
  QComboBox::mouseMoveEvent(e);
}

void PresetCombo::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton && host_ != nullptr) {
    PostMessageTo(host_->MainWindow(), um::kPresetNames);
  }
  QComboBox::mousePressEvent(e);
}

}  // namespace qtr90x

namespace qtr90x {
void PresetCombo::contextMenuEvent(QContextMenuEvent* e) {
  e->accept();
}
}  // namespace qtr90x
