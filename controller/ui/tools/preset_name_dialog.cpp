#include "ui/tools/preset_name_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <cstring>

#include "core/pages/preset_name_rules.h"
#include "resources/control_ids.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "ui/common/message_box.h"
#include "ui/pages/tab_page.h"

namespace qtr90x {

PresetNameDialog::PresetNameDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Preset Name Settings"));
  auto* form = new QFormLayout;
  for (int i = 0; i < kPresetCount; ++i) {
    edits_[i] = WithId(new QLineEdit, ctl::kPresetNameEdit1 + i);
    edits_[i]->setMaxLength(kPresetNameMaxLength);
    form->addRow(tr("Preset %1").arg(i + 1), edits_[i]);
  }
  auto* hint =
      WithId(new QLabel(QString::fromUtf8(LoadString(str::kPresetNameHint))), ctl::kPresetNameHint);
  hint->setWordWrap(true);
  auto* set = WithId(new QPushButton(tr("Set")), ctl::kPresetNameSet);
  auto* cancel = WithId(new QPushButton(tr("Cancel")), ctl::kPresetNameCancel);
  set->setDefault(true);
  auto* buttons = new QDialogButtonBox;
  buttons->addButton(set, QDialogButtonBox::AcceptRole);
  buttons->addButton(cancel, QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(hint);
  layout->addWidget(buttons);
}

void PresetNameDialog::SetNames(const PresetNames& names, int selected) {
  names_ = names;
  for (int i = 0; i < kPresetCount; ++i) {
    const size_t length = strnlen(names[i].data(), names[i].size());
    edits_[i]->setText(QString::fromLatin1(names[i].data(), static_cast<qsizetype>(length)));
  }
  if (selected >= 0 && selected < kPresetCount) {
    edits_[selected]->setFocus();
    edits_[selected]->selectAll();
  }
}

void PresetNameDialog::accept() {
  std::array<std::u16string, kPresetCount> typed;
  for (int i = 0; i < kPresetCount; ++i) {
    typed[i] = edits_[i]->text().left(kPresetNameMaxLength).toStdU16String();
  }
  if (const std::optional<int> bad = FirstInvalidPresetName(typed)) {
    ShowMessageBox(this, QStringLiteral("入力しなおし"), QMessageBox::NoIcon);
    QLineEdit* edit = edits_[*bad];
    edit->setFocus();
    edit->selectAll();
    return;  // nothing stored, the dialog stays open
  }
  for (int i = 0; i < kPresetCount; ++i) {
    // Every character passed the check, so the text is plain ASCII.
    const std::string text =
        PresetSlotText(edits_[i]->text().left(kPresetNameMaxLength).toStdString(), i);
    names_[i].fill('\0');
    std::memcpy(names_[i].data(), text.data(), std::min(text.size(), names_[i].size() - 1));
  }
  QDialog::accept();
}

}  // namespace qtr90x
