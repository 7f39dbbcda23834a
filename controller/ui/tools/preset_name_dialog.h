// Preset Name Settings dialog: names for the nine presets, at most 15
// printable characters each.
#pragma once

#include <QDialog>

#include "core/settings/settings.h"

class QLineEdit;

namespace qtr90x {

class PresetNameDialog : public QDialog {
 public:
  explicit PresetNameDialog(QWidget* parent = nullptr);

  // Fills the edits from the slots; `selected` (0 to 8, or -1) is the preset
  // list's selection, whose edit takes the focus with its text selected.
  void SetNames(const PresetNames& names, int selected);
  // The names stored by "Set" (empty names as their numbers).
  const PresetNames& Names() const { return names_; }

  QLineEdit* Edit(int index) const { return edits_[index]; }

  // "Set": checks the names; stores them and ends the dialog only if all pass.
  void accept() override;

 private:
  QLineEdit* edits_[9];
  PresetNames names_{};
};

}  // namespace qtr90x
