#include "ui/network/network_control.h"

#include <QHostAddress>

#include "core/settings/registry_key.h"
#include "netcontrol/token_store.h"

namespace qtr90x::net {

const char NetworkSettings::kKey[] = "Software\\Orveda\\QTR90xControler\\1.0\\Network";

namespace {

bool OpenOrCreate(RegistryKey* key) {
  if (key->Open(NetworkSettings::kKey))
    return true;
  return key->CreateKeyPath(NetworkSettings::kKey) && key->Open(NetworkSettings::kKey);
}

QList<QHostAddress> Addresses(const QString& text) {
  if (text == QLatin1String("localhost"))
    return {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)};
  return {QHostAddress(text)};
}

}  // namespace

NetworkSettings NetworkSettings::Load() {
  NetworkSettings settings;
  RegistryKey key;
  if (!key.Open(kKey, true))
    return settings;
  std::uint32_t value = 0;
  if (key.QueryDword("Enabled", &value))
    settings.enabled = value != 0;
  if (key.QueryDword("Port", &value) && value >= 1 && value <= 65535)
    settings.port = static_cast<int>(value);
  char text[64] = {};
  if (key.QueryString("Address", text, sizeof text) && text[0] != '\0') {
    NetworkSettings stored = settings;
    stored.address = QString::fromLatin1(text);
    if (stored.AddressProblem().isEmpty())
      settings.address = stored.address;
  }
  return settings;
}

bool NetworkSettings::Save() const {
  RegistryKey key;
  return OpenOrCreate(&key) && key.SetDword("Enabled", enabled ? 1 : 0) &&
         key.SetDword("Port", static_cast<std::uint32_t>(port)) &&
         key.SetString("Address", address.toLatin1().constData());
}

QString NetworkSettings::AddressProblem() const {
  if (address == QLatin1String("localhost"))
    return {};
  QHostAddress parsed;
  if (address.size() > 45 || !parsed.setAddress(address))
    return QStringLiteral("\"%1\" is not an IP address").arg(address);
  return {};
}

NetworkControl::NetworkControl(CameraLink& link, Log log, QObject* parent)
    : QObject(parent), link_(link), log_(std::move(log)) {}

NetworkControl::~NetworkControl() {
  Stop();
}

void NetworkControl::Stop() {
  if (!service_)
    return;
  service_->Stop();
  service_.reset();
  hub_.reset();
  line_.reset();
  if (log_)
    log_(QStringLiteral("Network control: off"));
}

QString NetworkControl::TokenPath() {
  return qznet::TokenStore::DefaultPath();
}

QByteArray NetworkControl::Token(QString* error) {
  const qznet::TokenLoad load = qznet::TokenStore::LoadOrCreate(TokenPath());
  if (load.token.isEmpty() && error != nullptr)
    *error = load.error;
  return load.token;
}

bool NetworkControl::Apply(const NetworkSettings& settings, QString* error) {
  Stop();
  if (!settings.enabled)
    return true;
  if (const QString problem = settings.AddressProblem(); !problem.isEmpty()) {
    *error = problem;
    return false;
  }
  qznet::ServiceSettings service;
  service.addresses = Addresses(settings.address);
  service.port = static_cast<quint16>(settings.port);
  service.adminToken = Token(error);
  if (service.adminToken.isEmpty())
    return false;
  if (!service.addresses.first().isLoopback())
    service.allowedHosts = {settings.address};
  service.log = [this](const QString& line) {
    if (log_)
      log_(QStringLiteral("Network control: ") + line);
  };
  line_ = std::make_unique<LinkLine>(link_, link_.Port() != 0 ? link_.Port() : 1);
  hub_ = std::make_unique<LinkHub>();
  hub_->AddLine(line_.get());
  service_ = std::make_unique<qznet::NetControlService>(*hub_, service);
  connect(hub_.get(), &LinkHub::LocalOperator, service_.get(),
          &qznet::NetControlService::LocalOperator);
  if (!service_->Start(error)) {
    service_.reset();
    hub_.reset();
    line_.reset();
    return false;
  }
  if (log_)
    log_(QStringLiteral("Network control: on, %1 port %2").arg(settings.address).arg(Port()));
  return true;
}

}  // namespace qtr90x::net
