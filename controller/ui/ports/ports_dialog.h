// Ports dialog: what COM1 to COM9 open, and the choice of a port's target
// among the serial devices present (refreshed as adapters come and go) or a
// device server's rfc2217:// address, with a test that opens the port and
// asks the cameras who they are. OK stores the changed ports in the settings
// through the library's port mapping; the caller reconnects when the target
// of its own port changed.
#pragma once

#include <QDialog>
#include <QFileSystemWatcher>
#include <QString>
#include <QTimer>

#include "camlink/serial_devices.h"
#include "core/ports/port_probe.h"
#include "core/ports/port_table.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace qtr90x {

class PortProber;

// Where the dialog looks for devices and what it runs for a test; tests put
// a temporary device folder and the application's file here.
struct PortsDialogSetup {
  qzlink::SerialDeviceFolders folders;
  qzlink::AccessCheck accessCheck = qzlink::CheckReadWriteAccess;
  QString probeProgram;  // empty: this program's own file
  int probeTimeoutMs = 20000;
};

// What the application knows of its own session: a test of the port it
// holds reports that instead of failing on a busy port.
struct ActiveSession {
  int port = 0;  // 1 to 9; 0 for none
  bool connected = false;
  int cameras = 0;
  int selectedCamera = 0;
  QString unitName;  // of the selected camera
};

class PortsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit PortsDialog(QWidget* parent = nullptr);
  ~PortsDialog() override;

  // For every dialog made afterwards in this process.
  static void SetSetupForTesting(const PortsDialogSetup& setup);

  void SetActiveSession(const ActiveSession& session);
  // Selects COM<port> in the table (1 to 9).
  void SelectPort(int port);
  int SelectedPort() const;

  const PortTable& Table() const { return table_; }
  QTreeWidget* PortList() const { return ports_; }
  QTreeWidget* DeviceList() const { return devices_; }
  QLineEdit* TargetEdit() const { return target_; }
  QPushButton* DefaultButton() const { return default_; }
  QPushButton* TestButton() const { return test_; }
  QPushButton* OkButton() const { return ok_; }
  QLabel* ResultLabel() const { return result_; }
  bool TestRunning() const;

  // OK: stores the ports whose target changed and ends the dialog; when the
  // store cannot be written the dialog stays open and says why.
  void accept() override;

 private:
  void BuildWidgets();
  void LoadTable();
  void UpdateRow(int port);
  void ShowSelectedPort();
  void UpdateNotes();
  void UpdateButtons();
  void ScheduleDeviceRefresh();
  void RefreshDevices();
  void WatchDeviceFolders();
  void OnTargetEdited(const QString& text);
  void OnDeviceChosen(QTreeWidgetItem* item);
  void UseDefault();
  void StartTest();
  void OnTestFinished(const ProbeResult& result);

  PortsDialogSetup setup_;
  PortTable table_;
  ActiveSession session_;
  QString sessionTarget_;  // what the session's port opens

  QTreeWidget* ports_ = nullptr;
  QLineEdit* target_ = nullptr;
  QLabel* targetLabel_ = nullptr;
  QLabel* notes_ = nullptr;
  QPushButton* default_ = nullptr;
  QTreeWidget* devices_ = nullptr;
  QPushButton* test_ = nullptr;
  QLabel* result_ = nullptr;
  QPushButton* ok_ = nullptr;

  QFileSystemWatcher watcher_;
  QTimer refreshTimer_;
  PortProber* prober_ = nullptr;
  QString testedTarget_;
  int testedPort_ = 0;
};

}  // namespace qtr90x
