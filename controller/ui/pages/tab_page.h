// Base of the tab pages and the exposure sub-panels: the keyboard
// conventions every page follows, and the messages it receives.
//
// - Tab past the last control or Shift+Tab before the first hands the focus
//   on with UM_FOCUSHANDOFF instead of wrapping inside the page.
// - UM_FOCUSHANDOFF received: lParam 0 focuses the first control, any other
//   value the last.
// - Escape posts UM_PAGEESCAPE to the main dialog; Enter does nothing.
// - Ctrl+Tab and Ctrl+Shift+Tab are left to the tab control above.
#pragma once

#include <QSize>
#include <QWidget>
#include <vector>

namespace qtr90x {

class MessageEvent;
class PageHost;

class TabPage : public QWidget {
 public:
  explicit TabPage(QWidget* parent = nullptr);

  virtual void SetHost(PageHost* host) { host_ = host; }
  PageHost* Host() const { return host_; }

 protected:
  // The controls in tab order. An entry that is a TabPage (a sub-panel) is
  // entered with UM_FOCUSHANDOFF rather than focused directly.
  void SetTabOrder(std::vector<QWidget*> order) { tabOrder_ = std::move(order); }

  // Whether an entry of the tab order may take the focus now.
  virtual bool CanTakeFocus(const QWidget* w) const;

  // Where the focus goes when Tab (forward) or Shift+Tab leaves the page's
  // controls: by default to the main dialog, lParam = the Shift state.
  virtual void HandOff(bool forward);

  // UM_FOCUSHANDOFF: focus the first control (lParam 0) or the last.
  virtual void TakeFocus(std::intptr_t wParam, std::intptr_t lParam);

  // UM_REFRESHPAGE with its first-read flag, and other private messages.
  virtual void Refresh(std::intptr_t /*firstRead*/) {}
  virtual void OnMessage(const MessageEvent& /*message*/) {}

  // Focuses an entry of the tab order (or enters a sub-panel).
  void FocusEntry(QWidget* w, bool forward);
  QWidget* FirstEntry(bool forward) const;

  // The template's size in dialog units: the page is never smaller.
  void SetTemplateSize(int width, int height) { templateSize_ = QSize(width, height); }
  QSize DialogUnits(int width, int height) const;

 public:
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  bool event(QEvent* e) override;
  bool focusNextPrevChild(bool next) override;
  void keyPressEvent(QKeyEvent* e) override;

  PageHost* host_ = nullptr;
  std::vector<QWidget*> tabOrder_;
  QSize templateSize_;
};

// The control id as the widget's object name and "controlId" property.
template <typename W>
W* WithId(W* widget, int controlId) {
  widget->setObjectName(QString::number(controlId));
  widget->setProperty("controlId", controlId);
  return widget;
}

}  // namespace qtr90x
