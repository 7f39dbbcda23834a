#include "ui/tools/about_box.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "resources/bitmap_ids.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "ui/common/bitmaps.h"

namespace qtr90x {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("About %1").arg(QString::fromUtf8(LoadString(str::kAppTitle))));
  auto* icon = new QLabel;
  icon->setPixmap(QPixmap::fromImage(LoadBitmapImage(bmp::kAppIcon)));
  icon->setAccessibleName(tr("Application icon"));
  auto* text = new QLabel(QStringLiteral("QT-R90xControler Version 1.00"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addSpacing(12);
  row->addWidget(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QAction* InstallVersionInfoEntry(QWidget* window) {
  // The string carries its accelerator after a tab: "...\t(&A)".
  const QString text = QString::fromUtf8(LoadString(str::kVersionInfoMenu));
  if (text.isEmpty()) {
    return nullptr;
  }
  auto* entry = new QAction(text.section('\t', 0, 0), window);
  entry->setShortcut(QKeySequence(Qt::ALT | Qt::Key_A));
  entry->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(entry, &QAction::triggered, window, [window] { AboutBox(window).exec(); });
  window->addAction(entry);
  window->setContextMenuPolicy(Qt::ActionsContextMenu);
  return entry;
}

}  // namespace qtr90x
