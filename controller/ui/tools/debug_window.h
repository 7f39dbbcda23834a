// Debug window: the commands sent and every answer and notification the
// camera returned, as hex text, one coloured row each; at most 1024 rows.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "core/tools/debug_log.h"

class QTreeWidget;

namespace qtr90x {

class PageHost;

class DebugWindow : public QDialog {
 public:
  explicit DebugWindow(QWidget* parent = nullptr);

  void SetHost(PageHost* host) { host_ = host; }

  // Appends one row: the label of `type` and `text`; the oldest row goes
  // when 1024 are shown.
  void AddLine(const QString& text, int type);

  // Fetches frame `sequence` from the library, hands its bytes to `store`
  // (which keeps them as hex text and returns that text) and adds the row.
  using TrafficStore = std::function<QString(int type, const std::uint8_t* bytes, int length)>;
  void AddMessage(int sequence, int type, const TrafficStore& store);

  // Appends a row with a label of the caller's choice (line type 0).
  void AddRow(const QString& label, const QString& text);
  // The rows as "label<TAB>text".
  QStringList Rows() const;
  int RowCount() const { return types_.Count(); }
  int RowType(int row) const { return types_.TypeAt(row); }
  QTreeWidget* List() const { return list_; }

  void Clear();

 protected:
  void reject() override;  // Escape and the close box
  void accept() override;
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Append(const QString& label, const QString& text, int type);
  void FitColumns();
  void Close();

  PageHost* host_ = nullptr;
  QTreeWidget* list_;
  DebugLogTypes types_;
};

}  // namespace qtr90x
