#include "ui/ports/ports_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdlib>

#include "camlink/port_mapping.h"
#include "camlink/rfc2217_address.h"
#include "ui/ports/port_probe.h"

namespace qtr90x {

namespace {

PortsDialogSetup& Setup() {
  static PortsDialogSetup setup;
  return setup;
}

QString FromStd(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsNetworkTarget(const QString& target) {
  return target.startsWith(QLatin1String(qzlink::kRfc2217Scheme));
}

// True when both name the same port: the same text, or two names (a by-id
// link and its node) of one device.
bool SameTarget(const QString& a, const QString& b) {
  if (a == b) {
    return true;
  }
  if (IsNetworkTarget(a) || IsNetworkTarget(b)) {
    return false;
  }
  const QString canonical = QFileInfo(a).canonicalFilePath();
  return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

enum PortColumn { kPortColumn, kTargetColumn, kSourceColumn };
enum DeviceColumn { kDeviceColumn, kAccessColumn, kDescriptionColumn };

}  // namespace

void PortsDialog::SetSetupForTesting(const PortsDialogSetup& setup) {
  Setup() = setup;
}

PortsDialog::PortsDialog(QWidget* parent) : QDialog(parent), setup_(Setup()) {
  setWindowTitle(tr("Ports"));
  BuildWidgets();
  LoadTable();
  refreshTimer_.setSingleShot(true);
  refreshTimer_.setInterval(250);  // udev makes the by-id link just after the node
  connect(&refreshTimer_, &QTimer::timeout, this, [this] {
    WatchDeviceFolders();
    RefreshDevices();
  });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
          &PortsDialog::ScheduleDeviceRefresh);
  WatchDeviceFolders();
  RefreshDevices();
  SelectPort(1);
}

PortsDialog::~PortsDialog() {
  // A test still running ends while the widgets it reports to exist.
  delete prober_;
}

void PortsDialog::BuildWidgets() {
  auto* portsLabel = new QLabel(tr("&COM ports and what each one opens:"));
  ports_ = new QTreeWidget;
  ports_->setAccessibleName(tr("COM ports"));
  ports_->setHeaderLabels({tr("Port"), tr("Target"), tr("From")});
  ports_->setRootIsDecorated(false);
  ports_->setUniformRowHeights(true);
  ports_->header()->setStretchLastSection(false);
  ports_->header()->setSectionResizeMode(kTargetColumn, QHeaderView::Stretch);
  ports_->header()->setSectionResizeMode(kPortColumn, QHeaderView::ResizeToContents);
  ports_->header()->setSectionResizeMode(kSourceColumn, QHeaderView::ResizeToContents);
  portsLabel->setBuddy(ports_);
  for (int port = 1; port <= PortTable::kPorts; ++port) {
    auto* item = new QTreeWidgetItem(ports_);
    item->setText(kPortColumn, QStringLiteral("COM%1").arg(port));
    item->setData(kPortColumn, Qt::UserRole, port);
  }
  connect(ports_, &QTreeWidget::currentItemChanged, this, [this] { ShowSelectedPort(); });

  targetLabel_ = new QLabel;
  target_ = new QLineEdit;
  target_->setAccessibleName(tr("Target"));
  target_->setPlaceholderText(tr("a device, or a device server's port rfc2217://host:port"));
  targetLabel_->setBuddy(target_);
  connect(target_, &QLineEdit::textEdited, this, &PortsDialog::OnTargetEdited);
  default_ = new QPushButton(tr("&Default"));
  default_->setAccessibleName(tr("Default target"));
  default_->setToolTip(tr("No stored target: the port opens its built-in serial port"));
  default_->setAutoDefault(false);
  connect(default_, &QPushButton::clicked, this, &PortsDialog::UseDefault);
  notes_ = new QLabel;
  notes_->setWordWrap(true);

  auto* devicesLabel =
      new QLabel(tr("Serial de&vices present (choose one for the selected port):"));
  devices_ = new QTreeWidget;
  devices_->setAccessibleName(tr("Serial devices present"));
  devices_->setHeaderLabels({tr("Device"), tr("Access"), tr("What it is")});
  devices_->setRootIsDecorated(false);
  devices_->setUniformRowHeights(true);
  devices_->setWordWrap(false);
  devices_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  devicesLabel->setBuddy(devices_);
  connect(devices_, &QTreeWidget::itemClicked, this, &PortsDialog::OnDeviceChosen);
  connect(devices_, &QTreeWidget::itemActivated, this, &PortsDialog::OnDeviceChosen);

  test_ = new QPushButton(tr("&Test"));
  test_->setAccessibleName(tr("Test the port"));
  test_->setToolTip(
      tr("Opens the port and asks the cameras how many they are and who "
         "camera 1 is"));
  test_->setAutoDefault(false);
  connect(test_, &QPushButton::clicked, this, &PortsDialog::StartTest);
  result_ = new QLabel;
  result_->setWordWrap(true);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  result_->setMinimumHeight(fontMetrics().lineSpacing() * 2);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setAccessibleName(tr("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(tr("Cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* targetRow = new QGridLayout;
  targetRow->addWidget(targetLabel_, 0, 0);
  targetRow->addWidget(target_, 0, 1);
  targetRow->addWidget(default_, 0, 2);
  targetRow->addWidget(notes_, 1, 1, 1, 2);
  targetRow->setColumnStretch(1, 1);
  auto* testRow = new QGridLayout;
  testRow->addWidget(test_, 0, 0, Qt::AlignTop);
  testRow->addWidget(result_, 0, 1);
  testRow->setColumnStretch(1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(portsLabel);
  layout->addWidget(ports_);
  layout->addLayout(targetRow);
  layout->addSpacing(6);
  layout->addWidget(devicesLabel);
  layout->addWidget(devices_, 1);
  layout->addLayout(testRow);
  layout->addWidget(buttons);
  // The nine ports without scrolling; the devices take what room is left.
  ports_->setFixedHeight(ports_->header()->sizeHint().height() +
                         ports_->sizeHintForRow(0) * PortTable::kPorts + 2 * ports_->frameWidth());
  resize(760, 520);
}

void PortsDialog::LoadTable() {
  std::array<PortTable::Source, PortTable::kPorts> sources;
  for (int port = 1; port <= PortTable::kPorts; ++port) {
    const char* environment = std::getenv(qzlink::PortEnvironmentVariable(port).c_str());
    sources[static_cast<size_t>(port - 1)] = {environment != nullptr ? environment : "",
                                              qzlink::StoredPortTarget(port).value_or("")};
  }
  table_ = PortTable(sources);
  for (int port = 1; port <= PortTable::kPorts; ++port) {
    UpdateRow(port);
  }
}

void PortsDialog::SetActiveSession(const ActiveSession& session) {
  session_ = session;
  sessionTarget_ = session.port >= 1 && session.port <= PortTable::kPorts
                       ? FromStd(qzlink::CurrentPortTarget(session.port).target)
                       : QString();
  for (int port = 1; port <= PortTable::kPorts; ++port) {
    UpdateRow(port);
  }
}

void PortsDialog::SelectPort(int port) {
  if (port >= 1 && port <= PortTable::kPorts) {
    ports_->setCurrentItem(ports_->topLevelItem(port - 1));
  }
}

int PortsDialog::SelectedPort() const {
  const QTreeWidgetItem* item = ports_->currentItem();
  return item != nullptr ? item->data(kPortColumn, Qt::UserRole).toInt() : 1;
}

bool PortsDialog::TestRunning() const {
  return prober_ != nullptr && prober_->Running();
}

void PortsDialog::UpdateRow(int port) {
  QTreeWidgetItem* item = ports_->topLevelItem(port - 1);
  const qzlink::PortTarget effective = table_.Effective(port);
  QString source = QString::fromLatin1(qzlink::PortTargetSourceName(effective.source));
  if (effective.source == qzlink::PortTargetSource::kEnvironment) {
    source += QStringLiteral(" (%1)").arg(FromStd(qzlink::PortEnvironmentVariable(port)));
  }
  const std::vector<int> changed = table_.ChangedPorts();
  if (std::find(changed.begin(), changed.end(), port) != changed.end()) {
    source += tr(", changed");
  }
  QString name = QStringLiteral("COM%1").arg(port);
  if (port == session_.port) {
    name += session_.connected ? tr(" (connected)") : tr(" (not connected)");
  }
  item->setText(kPortColumn, name);
  item->setText(kTargetColumn, FromStd(effective.target));
  item->setText(kSourceColumn, source);
  item->setToolTip(kTargetColumn, FromStd(effective.target));
}

void PortsDialog::ShowSelectedPort() {
  const int port = SelectedPort();
  targetLabel_->setText(tr("Target of COM%1:").arg(port));
  target_->setText(FromStd(table_.Chosen(port)));
  target_->setPlaceholderText(tr("default %1; or a device, or rfc2217://host:port")
                                  .arg(FromStd(qzlink::DefaultPortTarget(port))));
  result_->clear();
  UpdateNotes();
  UpdateButtons();
}

void PortsDialog::UpdateNotes() {
  const int port = SelectedPort();
  QStringList notes;
  if (const std::string problem = table_.Problem(port); !problem.empty()) {
    notes << QStringLiteral("<span style=\"color:#b00000\">%1.</span>")
                 .arg(FromStd(problem).toHtmlEscaped());
  } else {
    const QString chosen = FromStd(table_.Chosen(port));
    if (!chosen.isEmpty() && !IsNetworkTarget(chosen) && !QFileInfo::exists(chosen)) {
      notes << tr("%1 is not there now; the port opens once it is.").arg(chosen.toHtmlEscaped());
    }
  }
  if (table_.EnvironmentOverrides(port)) {
    notes << tr("The variable %1 is set: the port opens %2 as long as it is.")
                 .arg(FromStd(qzlink::PortEnvironmentVariable(port)),
                      FromStd(table_.Effective(port).target).toHtmlEscaped());
  }
  notes_->setText(notes.join(QStringLiteral("<br>")));
  notes_->setVisible(!notes.isEmpty());
}

void PortsDialog::UpdateButtons() {
  const bool testing = TestRunning();
  ok_->setEnabled(!table_.AnyProblem() && !testing);
  test_->setEnabled(table_.Problem(SelectedPort()).empty() && !testing);
  default_->setEnabled(!table_.Chosen(SelectedPort()).empty());
}

void PortsDialog::OnTargetEdited(const QString& text) {
  const int port = SelectedPort();
  table_.Choose(port, text.trimmed().toLocal8Bit().toStdString());
  UpdateRow(port);
  result_->clear();
  UpdateNotes();
  UpdateButtons();
}

void PortsDialog::OnDeviceChosen(QTreeWidgetItem* item) {
  if (item == nullptr) {
    return;
  }
  const QString path = item->data(kDeviceColumn, Qt::UserRole).toString();
  target_->setText(path);
  OnTargetEdited(path);
}

void PortsDialog::UseDefault() {
  target_->clear();
  OnTargetEdited(QString());
}

void PortsDialog::ScheduleDeviceRefresh() {
  refreshTimer_.start();
}

void PortsDialog::WatchDeviceFolders() {
  const QString dev = FromStd(setup_.folders.dev);
  const QStringList wanted = {dev, dev + QStringLiteral("/serial"), FromStd(setup_.folders.byId)};
  const QStringList watched = watcher_.directories();
  for (const QString& folder : wanted) {
    if (!folder.isEmpty() && !watched.contains(folder) && QFileInfo(folder).isDir()) {
      watcher_.addPath(folder);
    }
  }
}

void PortsDialog::RefreshDevices() {
  const QTreeWidgetItem* current = devices_->currentItem();
  const QString selected =
      current != nullptr ? current->data(kDeviceColumn, Qt::UserRole).toString() : QString();
  devices_->clear();
  for (const qzlink::SerialDevice& device :
       qzlink::ListSerialDevices(setup_.folders, setup_.accessCheck)) {
    auto* item = new QTreeWidgetItem(devices_);
    const QString path = FromStd(device.path);
    QString description = FromStd(device.description);
    if (device.kind == qzlink::SerialDeviceKind::kById) {
      // The stable name is what to store; its node is only where it is now.
      item->setText(kDeviceColumn, QFileInfo(path).fileName());
      description += tr(", now %1").arg(FromStd(device.node));
    } else {
      item->setText(kDeviceColumn, path);
    }
    item->setData(kDeviceColumn, Qt::UserRole, path);
    item->setToolTip(kDeviceColumn, path);
    item->setText(kDescriptionColumn, description);
    item->setToolTip(kDescriptionColumn, description);
    item->setText(kAccessColumn, FromStd(qzlink::AccessText(device)));
    item->setToolTip(kAccessColumn, FromStd(qzlink::AccessText(device)));
    if (path == selected) {
      devices_->setCurrentItem(item);
    }
  }
  if (devices_->topLevelItemCount() == 0) {
    auto* none = new QTreeWidgetItem(devices_);
    none->setText(kDeviceColumn, tr("none found"));
    none->setFlags(Qt::NoItemFlags);
  }
}

void PortsDialog::StartTest() {
  const int port = SelectedPort();
  const QString target = FromStd(table_.Effective(port).target);
  testedTarget_ = target;
  testedPort_ = port;
  if (session_.connected && !sessionTarget_.isEmpty() && SameTarget(target, sessionTarget_)) {
    // The application holds this device; a second session would find it busy.
    result_->setText(FromStd(
        InUseSummary(session_.cameras, session_.selectedCamera, session_.unitName.toStdString())));
    return;
  }
  if (prober_ == nullptr) {
    const QString program = setup_.probeProgram.isEmpty() ? QCoreApplication::applicationFilePath()
                                                          : setup_.probeProgram;
    prober_ = new PortProber(program, setup_.probeTimeoutMs, this);
    connect(prober_, &PortProber::Finished, this, &PortsDialog::OnTestFinished);
  }
  result_->setText(tr("Testing COM%1 (%2) ...").arg(port).arg(target));
  prober_->Start(target);
  UpdateButtons();
}

void PortsDialog::OnTestFinished(const ProbeResult& result) {
  result_->setText(tr("COM%1: %2").arg(testedPort_).arg(FromStd(ProbeSummary(result))));
  result_->setToolTip(testedTarget_);
  UpdateButtons();
}

void PortsDialog::accept() {
  QStringList failures;
  for (int port : table_.ChangedPorts()) {
    const std::string& chosen = table_.Chosen(port);
    const std::string problem = chosen.empty() ? qzlink::ClearStoredPortTarget(port)
                                               : qzlink::StorePortTarget(port, chosen);
    if (!problem.empty()) {
      failures << tr("COM%1 was not stored: %2.").arg(port).arg(FromStd(problem));
    }
  }
  if (!failures.isEmpty()) {
    // The dialog stays with the operator's choices; OK tries again.
    result_->setText(failures.join(' '));
    return;
  }
  QDialog::accept();
}

}  // namespace qtr90x
