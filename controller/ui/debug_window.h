// Debug window: a list of the commands, answers and notifications exchanged.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

namespace qtr90x {

class DebugWindow : public QDialog {
 public:
  explicit DebugWindow(QWidget* parent = nullptr) : QDialog(parent) {}

  // Adds one row: a label (for example "command", "answer", "error") and a text.
  void AddRow(const QString& label, const QString& text) { rows_ << label + '\t' + text; }
  const QStringList& Rows() const { return rows_; }

 private:
  QStringList rows_;
};

}  // namespace qtr90x
