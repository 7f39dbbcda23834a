#include "ui/tools/debug_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "core/engine/private_messages.h"
#include "core/link/library_call.h"
#include "resources/control_ids.h"
#include "resources/string_table.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"
#include "ui/pages/tab_page.h"

namespace qtr90x {

namespace {
QColor ToColor(Rgb rgb) {
  return QColor(rgb.red, rgb.green, rgb.blue);
}
}  // namespace

DebugWindow::DebugWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("debug window"));
  list_ = WithId(new QTreeWidget, ctl::kDebugList);
  list_->setColumnCount(2);
  list_->setHeaderLabels({tr("sts"), tr("data")});
  list_->setHeaderHidden(true);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->header()->setStretchLastSection(false);
  list_->setAccessibleName(tr("Traffic"));
  // Selected rows: white on dark blue, whether the window is active or not.
  QPalette palette = list_->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Highlight, ToColor(kSelectedRowBackground));
    palette.setColor(group, QPalette::HighlightedText, ToColor(kSelectedRowText));
    palette.setColor(group, QPalette::Base, ToColor(kRowBackground));
  }
  list_->setPalette(palette);

  auto* clear = WithId(new QPushButton(tr("Clear")), ctl::kDebugClear);
  auto* close = WithId(new QPushButton(tr("Close")), ctl::kToolClose);
  clear->setAutoDefault(false);
  close->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(clear);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);

  const QFontMetrics metrics(font());
  const int baseX = metrics.averageCharWidth();
  resize(330 * baseX / 4, 162 * metrics.height() / 8);

  connect(clear, &QPushButton::clicked, this, &DebugWindow::Clear);
  connect(close, &QPushButton::clicked, this, &DebugWindow::Close);
  // Enter closes the window whichever of its controls has the focus (a
  // focused button would otherwise take it as a press).
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
    connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this,
            &DebugWindow::Close);
  }
}

void DebugWindow::FitColumns() {
  // "sts" takes a third of the width, "data" the rest; no horizontal scroll bar.
  const int w = list_->viewport()->width();
  list_->setColumnWidth(0, w / 3);
  list_->setColumnWidth(1, 2 * (w / 3));
}

void DebugWindow::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FitColumns();
  // Rows added while hidden: the newest is in view.
  list_->scrollToBottom();
}

void DebugWindow::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FitColumns();
}

void DebugWindow::Append(const QString& label, const QString& text, int type) {
  if (types_.Append(static_cast<std::uint8_t>(type))) {
    delete list_->takeTopLevelItem(0);
  }
  auto* item = new QTreeWidgetItem({label, text});
  const QColor colour = ToColor(DebugTextColour(type));
  item->setForeground(0, colour);
  item->setForeground(1, colour);
  list_->addTopLevelItem(item);
  list_->scrollToItem(item);
}

void DebugWindow::AddLine(const QString& text, int type) {
  Append(QString::fromUtf8(LoadString(DebugLabelStringId(type))), text, type);
}

void DebugWindow::AddMessage(int sequence, int type, const TrafficStore& store) {
  // Room for the longest frame the library hands out.
  std::array<std::uint8_t, QzlinkPort::kFrameCapacity> frame{};
  const std::size_t length = host_ != nullptr ? host_->FetchFrame(sequence, frame) : 0;
  AddLine(store ? store(type, frame.data(), static_cast<int>(length)) : QString(), type);
}

void DebugWindow::AddRow(const QString& label, const QString& text) {
  Append(label, text, 0);
}

QStringList DebugWindow::Rows() const {
  QStringList rows;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list_->topLevelItem(i);
    rows << item->text(0) + '\t' + item->text(1);
  }
  return rows;
}

void DebugWindow::Clear() {
  list_->clear();
  types_.Clear();
}

void DebugWindow::Close() {
  // The owner toggles the window; it is hidden, never destroyed, and keeps its rows.
  hide();
  if (host_ != nullptr) {
    PostMessageTo(host_->MainWindow(), um::kDebugClose);
  }
}

void DebugWindow::reject() {
  Close();
}
void DebugWindow::accept() {
  Close();
}

}  // namespace qtr90x
