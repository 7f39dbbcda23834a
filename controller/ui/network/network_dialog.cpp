#include "ui/network/network_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/network/network_control.h"

namespace qtr90x::net {

NetworkDialog::NetworkDialog(NetworkControl& control, QWidget* parent)
    : QDialog(parent), control_(control) {
  setWindowTitle(tr("Network Control"));
  const NetworkSettings settings = NetworkSettings::Load();
  enabled_ = new QCheckBox(tr("&Enable the network control service"), this);
  enabled_->setObjectName(QStringLiteral("enabled"));
  enabled_->setChecked(settings.enabled);
  address_ = new QLineEdit(settings.address, this);
  address_->setObjectName(QStringLiteral("address"));
  address_->setToolTip(
      tr("localhost: this computer only (127.0.0.1 and ::1). Any other "
         "address is reachable from the network."));
  port_ = new QSpinBox(this);
  port_->setObjectName(QStringLiteral("port"));
  port_->setRange(1, 65535);
  port_->setValue(settings.port);

  QString error;
  token_ = new QLineEdit(QString::fromLatin1(NetworkControl::Token(&error)), this);
  token_->setObjectName(QStringLiteral("token"));
  token_->setReadOnly(true);
  token_->setMinimumWidth(token_->fontMetrics().horizontalAdvance(QString(66, '0')));
  if (token_->text().isEmpty())
    token_->setPlaceholderText(error);
  auto* copy = new QPushButton(tr("&Copy"), this);
  copy->setObjectName(QStringLiteral("copyToken"));
  connect(copy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(token_->text()); });
  auto* tokenRow = new QHBoxLayout;
  tokenRow->addWidget(token_);
  tokenRow->addWidget(copy);

  state_ = new QLabel(this);
  state_->setObjectName(QStringLiteral("state"));
  state_->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow(tr("&Listen on:"), address_);
  form->addRow(tr("&Port:"), port_);
  form->addRow(tr("Token:"), tokenRow);
  auto* note = new QLabel(tr("Clients send the token as \"Authorization: Bearer TOKEN\" "
                             "or, for the page and the WebSocket, as ?token=TOKEN. It is "
                             "kept in %1.")
                              .arg(NetworkControl::TokenPath()),
                          this);
  note->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(enabled_);
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(state_);
  layout->addWidget(buttons);
  ShowState();
}

void NetworkDialog::ShowState() {
  state_->setText(control_.Running() ? tr("The service is on: http://%1:%2/")
                                           .arg(address_->text() == QLatin1String("localhost")
                                                    ? QStringLiteral("127.0.0.1")
                                                    : address_->text())
                                           .arg(control_.Port())
                                     : tr("The service is off."));
}

void NetworkDialog::accept() {
  NetworkSettings settings;
  settings.enabled = enabled_->isChecked();
  settings.address = address_->text().trimmed();
  settings.port = port_->value();
  if (const QString problem = settings.AddressProblem(); !problem.isEmpty()) {
    state_->setText(problem);
    return;
  }
  QString error;
  if (!control_.Apply(settings, &error)) {
    state_->setText(tr("The service could not start: %1").arg(error));
    return;
  }
  settings.Save();
  QDialog::accept();
}

void ExecNetworkDialog(QWidget* parent, NetworkControl& control) {
  NetworkDialog dialog(control, parent);
  dialog.exec();
}

}  // namespace qtr90x::net
