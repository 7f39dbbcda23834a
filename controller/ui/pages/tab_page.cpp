#include "ui/pages/tab_page.h"

#include <QFontMetrics>
#include <QKeyEvent>

#include "core/engine/private_messages.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"

namespace qtr90x {

TabPage::TabPage(QWidget* parent) : QWidget(parent) {}

bool TabPage::CanTakeFocus(const QWidget* w) const {
  if (!w->isEnabled() || w->isHidden()) {
    return false;
  }
  return dynamic_cast<const TabPage*>(w) != nullptr || (w->focusPolicy() & Qt::TabFocus);
}

void TabPage::HandOff(bool forward) {
  if (host_ != nullptr) {
    PostMessageTo(host_->MainWindow(), um::kFocusHandoff, 0, forward ? 0 : 1);
  }
}

void TabPage::FocusEntry(QWidget* w, bool forward) {
  if (auto* panel = dynamic_cast<TabPage*>(w)) {
    PostMessageTo(panel, um::kFocusHandoff, 0, forward ? 0 : 1);
  } else {
    w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  }
}

QWidget* TabPage::FirstEntry(bool forward) const {
  const int n = static_cast<int>(tabOrder_.size());
  for (int i = 0; i < n; ++i) {
    QWidget* w = tabOrder_[forward ? i : n - 1 - i];
    if (CanTakeFocus(w)) {
      return w;
    }
  }
  return nullptr;
}

void TabPage::TakeFocus(std::intptr_t /*wParam*/, std::intptr_t lParam) {
  if (QWidget* w = FirstEntry(lParam == 0)) {
    FocusEntry(w, lParam == 0);
  }
}

bool TabPage::focusNextPrevChild(bool next) {
  const QWidget* current = focusWidget();
  const int n = static_cast<int>(tabOrder_.size());
  int at = -1;
  for (int i = 0; i < n && current != nullptr; ++i) {
    if (tabOrder_[i] == current || tabOrder_[i]->isAncestorOf(current)) {
      at = i;
      break;
    }
  }
  if (at < 0) {
    return QWidget::focusNextPrevChild(next);
  }
  for (int i = at + (next ? 1 : -1); i >= 0 && i < n; i += next ? 1 : -1) {
    if (CanTakeFocus(tabOrder_[i])) {
      FocusEntry(tabOrder_[i], next);
      return true;
    }
  }
  HandOff(next);
  return true;
}

void TabPage::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Escape:
      if (host_ != nullptr) {
        PostMessageTo(host_->MainWindow(), um::kPageEscape);
      }
      e->accept();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      e->accept();  // consumed: Enter never reaches the dialog's default button
      return;
    default:
      e->ignore();  // Ctrl+Tab and the rest go on to the tab control and the dialog
  }
}

bool TabPage::event(QEvent* e) {
  const int type = static_cast<int>(e->type());
  if (type >= um::kFocusHandoff && type <= um::kSensorChanged) {
    const auto& message = static_cast<const MessageEvent&>(*e);
    if (type == um::kFocusHandoff) {
      TakeFocus(message.WParam(), message.LParam());
    } else if (type == um::kRefreshPage) {
      Refresh(message.WParam());
    } else {
      OnMessage(message);
    }
    return true;
  }
  return QWidget::event(e);
}

QSize TabPage::sizeHint() const {
  return QWidget::sizeHint().expandedTo(DialogUnits(templateSize_.width(), templateSize_.height()));
}

QSize TabPage::minimumSizeHint() const {
  return QWidget::minimumSizeHint().expandedTo(
      DialogUnits(templateSize_.width(), templateSize_.height()));
}

QSize TabPage::DialogUnits(int width, int height) const {
  // A dialog unit is a quarter of the average character width across and an
  // eighth of the character height down.
  const QFontMetrics metrics(font());
  const int baseX = metrics.horizontalAdvance(
                        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                    52;
  const int baseY = metrics.height();
  return QSize(width * baseX / 4, height * baseY / 8);
}

}  // namespace qtr90x
